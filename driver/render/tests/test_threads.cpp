// Two applications' threads printing at once through one engine: the
// object table, the font cache and the driver's per-device state must not
// meet.
#include "render_testkit.h"

#include <algorithm>
#include <cstring>
#include <thread>

using namespace rendertest;

namespace {

using RenderThreads = InstalledDriver;

TEST_F(RenderThreads, TwoDocumentsPrintAtOnce) {
    auto print = [](BYTE bright, bool* ok) {
        DevmodeChanges changes;
        changes.paper = 300;
        changes.bright = bright;
        HDC hdc = create_dc(make_devmode(changes));
        if (!hdc) return;
        LOGFONTW logfont{};
        logfont.lfHeight = -20;
        std::memcpy(logfont.lfFaceName, u"DejaVu Sans", sizeof(u"DejaVu Sans"));
        HFONT font = CreateFontIndirectW(&logfont);
        HBRUSH brush = CreateSolidBrush(RGB(10, 20, 30));
        RECT box{5, 5, 50, 30};
        *ok = print_document(hdc, 3, [&](int) {
            SelectObject(hdc, font);
            TextOutW(hdc, 60, 5, u"thread", 6);
            FillRect(hdc, &box, brush);
        });
        DeleteObject(brush);
        DeleteObject(font);
        *ok = DeleteDC(hdc) && *ok;
    };
    bool first = false, second = false;
    std::thread a(print, 150, &first);
    std::thread b(print, 200, &second);
    a.join();
    b.join();
    EXPECT_TRUE(first);
    EXPECT_TRUE(second);
    // The stand-in's log interleaves the two jobs; count what each wrote.
    auto lines = calls();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "write 900"), 6);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "write " + std::to_string(580 * 40)), 6);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "close"), 2);
}

}  // namespace
