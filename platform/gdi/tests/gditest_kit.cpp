#include "gditest_kit.h"

#include "gdi_objects.h"
#include "qortest.h"

#include "qor/module.h"
#include "qor/support/utf.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

namespace gditest {

GDITEST_DEVMODE devmode(const Settings& settings) {
    GDITEST_DEVMODE dm{};
    std::memcpy(dm.dm.dmDeviceName, kDevice, sizeof(kDevice));
    dm.dm.dmSpecVersion = DM_SPECVERSION;
    dm.dm.dmSize = sizeof(DEVMODEW);
    dm.dm.dmDriverExtra = sizeof(GDITEST_SETTINGS);
    dm.settings = {GDITEST_MAGIC, settings.width, settings.height, settings.band_height, settings.fonts,
                   settings.fail};
    return dm;
}

std::u16string driver_path() { return qor::utf8_to_utf16(qortest::bin_dir() + "/QORGDITEST.so"); }

HDC create_dc(const Settings& settings) {
    GDITEST_DEVMODE dm = devmode(settings);
    return CreateDCW(driver_path().c_str(), kDevice, nullptr, &dm.dm);
}

ULONG Image::at(LONG x, LONG y) const {
    const BYTE* p = bytes.data() + (static_cast<size_t>(y) * width + x) * 3;
    return (ULONG{p[2]} << 16) | (ULONG{p[1]} << 8) | p[0];
}

RECT Image::ink(ULONG background) const {
    RECT box{width, height, 0, 0};
    for (LONG y = 0; y < height; ++y)
        for (LONG x = 0; x < width; ++x)
            if (at(x, y) != background)
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                       std::max(box.bottom, y + 1)};
    return box.right ? box : RECT{0, 0, 0, 0};
}

size_t Image::count(ULONG colour) const {
    size_t n = 0;
    for (LONG y = 0; y < height; ++y)
        for (LONG x = 0; x < width; ++x) n += at(x, y) == colour;
    return n;
}

namespace {

template <class F>
F export_of(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

void EngineTest::SetUp() {
    // A device named with its driver needs no spooler; none may be started.
    setenv("QOR_SPOOLER_NO_AUTOSTART", "1", 1);
    setenv("QOR_FONT_DIRS", "/usr/share/fonts/truetype/dejavu", 1);
    module_ = LoadLibraryW(driver_path().c_str());
    ASSERT_NE(module_, nullptr) << "QORGDITEST.so not built";
    log_ = export_of<PFN_GdiTestLog>(module_, "GdiTestLog");
    clear_ = export_of<PFN_GdiTestClear>(module_, "GdiTestClear");
    page_ = export_of<PFN_GdiTestPage>(module_, "GdiTestPage");
    ASSERT_TRUE(log_ && clear_ && page_);
    clear_();
}

void EngineTest::TearDown() {
    if (module_) FreeLibrary(module_);
}

std::vector<std::string> EngineTest::log() const {
    std::vector<std::string> result;
    std::istringstream in(log_());
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

std::vector<std::string> EngineTest::lines(const std::string& prefix) const {
    std::vector<std::string> result;
    for (const auto& line : log())
        if (line.rfind(prefix, 0) == 0) result.push_back(line);
    return result;
}

size_t EngineTest::page_count() const {
    LONG w = 0, h = 0;
    size_t n = 0;
    while (page_(static_cast<ULONG>(n), &w, &h)) ++n;
    return n;
}

Image EngineTest::page(ULONG index) const {
    Image image;
    const BYTE* bytes = page_(index, &image.width, &image.height);
    if (bytes) image.bytes.assign(bytes, bytes + static_cast<size_t>(image.width) * image.height * 3);
    return image;
}

void EngineTest::clear() const { clear_(); }

bool print_page(HDC hdc, const std::function<void()>& draw) {
    DOCINFOW doc{sizeof(DOCINFOW), u"page", nullptr, nullptr, 0};
    if (StartDocW(hdc, &doc) <= 0 || StartPage(hdc) <= 0) return false;
    if (draw) draw();
    bool ok = EndPage(hdc) > 0;
    return EndDoc(hdc) > 0 && ok;
}

size_t objects_left_by(const std::function<void()>& action) {
    // Engine handles are handed out in steps of 4, never reused: whatever
    // lies between two fresh brushes came from `action`.
    HBRUSH before = CreateSolidBrush(0);
    action();
    HBRUSH after = CreateSolidBrush(0);
    size_t alive = 0;
    for (auto h = reinterpret_cast<uintptr_t>(before) + 4; h < reinterpret_cast<uintptr_t>(after); h += 4)
        alive += qor::gdi::lookup_object(reinterpret_cast<HANDLE>(h)) != nullptr;
    DeleteObject(before);
    DeleteObject(after);
    return alive;
}

Dib make_dib(WORD bits, const std::vector<std::vector<ULONG>>& rows, const std::vector<ULONG>& palette,
             bool top_down) {
    Dib dib;
    const LONG width = static_cast<LONG>(rows.at(0).size()), height = static_cast<LONG>(rows.size());
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = top_down ? -height : height;
    header.biPlanes = 1;
    header.biBitCount = bits;
    header.biCompression = BI_RGB;
    header.biClrUsed = static_cast<DWORD>(palette.size());
    dib.info.resize(sizeof(header) + palette.size() * 4);
    std::memcpy(dib.info.data(), &header, sizeof(header));
    for (size_t i = 0; i < palette.size(); ++i) {
        BYTE quad[4] = {static_cast<BYTE>(palette[i]), static_cast<BYTE>(palette[i] >> 8),
                        static_cast<BYTE>(palette[i] >> 16), 0};
        std::memcpy(dib.info.data() + sizeof(header) + i * 4, quad, 4);
    }
    const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    dib.bits.assign(stride * height, 0);
    for (LONG y = 0; y < height; ++y) {
        BYTE* row = dib.bits.data() + stride * static_cast<size_t>(top_down ? y : height - 1 - y);
        for (LONG x = 0; x < width; ++x) {
            ULONG v = rows[y][x];
            if (bits == 1) {
                if (v) row[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
            } else if (bits == 8) {
                row[x] = static_cast<BYTE>(v);
            } else {
                BYTE* p = row + x * (bits / 8);
                p[0] = static_cast<BYTE>(v), p[1] = static_cast<BYTE>(v >> 8), p[2] = static_cast<BYTE>(v >> 16);
            }
        }
    }
    return dib;
}

}  // namespace gditest
