// The rendering side of printing one page: the reference page (a 640 x 3000
// picture of text, a photo, a barcode and blank stretches) printed through
// the graphics engine and QORKPDN5 into the stand-in spooler-side module,
// and the steps of it, next to a plain copy of the 24-bit page.
//
// QOR_BENCH_PAGE names another PNG page.
#include "fake_spooler.h"
#include "gdi_page.h"
#include "grey.h"

#include "qor/gdi.h"

#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr LONG kWidth = 640, kHeight = 3000;
constexpr size_t kPage24 = static_cast<size_t>(kWidth) * 3 * kHeight;

struct Picture {
    LONG width = 0, height = 0;
    std::vector<uint8_t> bgr;  // top-down, width * 3 per row
};

const Picture& page_picture() {
    static Picture picture = [] {
        Picture p;
        const char* path = std::getenv("QOR_BENCH_PAGE");
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, path ? path : QOR_BENCH_PAGE)) {
            std::fprintf(stderr, "cannot read the page %s\n", path ? path : QOR_BENCH_PAGE);
            std::exit(1);
        }
        image.format = PNG_FORMAT_BGR;
        p.width = static_cast<LONG>(image.width);
        p.height = static_cast<LONG>(image.height);
        p.bgr.resize(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, p.bgr.data(), 0, nullptr)) std::exit(1);
        return p;
    }();
    return picture;
}

std::string folder_of_program() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0) return ".";
    path[n] = 0;
    std::string full = path;
    return full.substr(0, full.rfind('/'));
}

// A driver folder in a fresh QOR_ROOT with a paper the size of the page.
struct Installation {
    std::string root;
    Installation() {
        char pattern[] = "/tmp/qor-bench-render-XXXXXX";
        root = mkdtemp(pattern);
        setenv("QOR_ROOT", root.c_str(), 1);
        setenv("QOR_STANDIN_DISCARD", "1", 1);
        std::string folder = root + "/drivers/3";
        std::string command = "mkdir -p '" + folder + "'";
        if (std::system(command.c_str()) != 0) std::exit(1);
        for (const char* module : {"QORKPDN5.so", "QORSTANDIN.so"}) {
            std::string target = folder_of_program() + "/" + module;
            if (symlink(target.c_str(), (folder + "/" + module).c_str()) != 0) std::exit(1);
        }
        const std::string ppd = "DefPaper=900\r\nDefBright=150\r\nDefDither=3\r\nNumPaper=1\r\n"
                                "900;\"page\";80;375;80;375;0;640;3000;640;3000;0;0;0;0;0\r\n"
                                "Name=\"QORSTANDIN.DLL\"\r\n";
        FILE* file = std::fopen((folder + "/qorn5001.ppd").c_str(), "wb");
        if (!file) std::exit(1);
        std::fwrite(ppd.data(), 1, ppd.size(), file);
        std::fclose(file);
        fakespooler::Printer printer;
        printer.name = u"ZEM Bench";
        printer.driver_folder = std::u16string(root.begin(), root.end()) + u"/drivers";
        printer.driver_path = printer.driver_folder + u"/3/QORKPDN5.so";
        printer.data_file = printer.driver_folder + u"/3/qorn5001.ppd";
        fakespooler::install(printer);
    }
    ~Installation() {
        std::string command = "rm -rf '" + root + "'";
        if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", root.c_str());
    }
};

Installation& installation() {
    static Installation instance;
    return instance;
}

void BM_CopyPage24(benchmark::State& state) {
    std::vector<uint8_t> from(kPage24, 0x80), to(kPage24);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kPage24);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPage24));
}
BENCHMARK(BM_CopyPage24)->Unit(benchmark::kMillisecond);

void BM_BandFill(benchmark::State& state) {
    std::vector<uint8_t> band(kPage24);
    for (auto _ : state) {
        ClearBandBuffer(band.data(), band.size());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BandFill)->Unit(benchmark::kMillisecond);

void BM_ImagePlayback(benchmark::State& state) {
    const Picture& picture = page_picture();
    HBITMAP bitmap = EngCreateBitmap(SIZEL{kWidth, kHeight}, kWidth * 3, BMF_24BPP, BMF_TOPDOWN, nullptr);
    SURFOBJ* surface = EngLockSurface(bitmap);
    qor::gdi::ImageCommand image;
    image.width = kWidth;
    image.height = kHeight;
    image.src_width = picture.width;
    image.src_height = picture.height;
    image.bgr = std::make_shared<const std::vector<uint8_t>>(picture.bgr);
    for (auto _ : state) {
        qor::gdi::draw_image(image, surface, POINTL{0, 0});
        benchmark::ClobberMemory();
    }
    EngDeleteSurface(bitmap);
}
BENCHMARK(BM_ImagePlayback)->Unit(benchmark::kMillisecond);

void BM_GreyConversion(benchmark::State& state) {
    const Picture& picture = page_picture();
    std::vector<uint8_t> band(kPage24);
    BYTE table[256];
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(band.data(), picture.bgr.data(), std::min(band.size(), picture.bgr.size()));
        state.ResumeTiming();
        BuildBrightnessTable(150, table);
        ConvertBandToGrey(band.data(), kWidth, kHeight, table);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_GreyConversion)->Unit(benchmark::kMillisecond);

// The whole page: recording the picture, band fill, playback, grey
// conversion and the writes into the stand-in.
void BM_PrintPage(benchmark::State& state) {
    installation();
    const Picture& picture = page_picture();
    HDC hdc = CreateDCW(u"WINSPOOL", u"ZEM Bench", nullptr, nullptr);
    if (!hdc) {
        state.SkipWithError("no device context");
        return;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    DOCINFOW doc{sizeof(DOCINFOW), u"bench", nullptr, nullptr, 0};
    StartDocW(hdc, &doc);
    for (auto _ : state) {
        StartPage(hdc);
        StretchDIBits(hdc, 0, 0, kWidth, kHeight, 0, 0, picture.width, picture.height, picture.bgr.data(), &info,
                      DIB_RGB_COLORS, SRCCOPY);
        if (EndPage(hdc) <= 0) {
            state.SkipWithError("page failed");
            break;
        }
    }
    EndDoc(hdc);
    DeleteDC(hdc);
}
BENCHMARK(BM_PrintPage)->Unit(benchmark::kMillisecond);

// Measuring a line of system-font text, as qorprint does for every
// candidate break: shaping with HarfBuzz, and per-character fallback faces
// for the ideographs DejaVu Sans Mono lacks.
void MeasureLine(benchmark::State& state, const char16_t* text) {
    installation();
    HDC hdc = CreateDCW(u"WINSPOOL", u"ZEM Bench", nullptr, nullptr);
    if (!hdc) {
        state.SkipWithError("no device context");
        return;
    }
    LOGFONTW logfont{};
    logfont.lfHeight = 24;
    std::memcpy(logfont.lfFaceName, u"DejaVu Sans Mono", sizeof(u"DejaVu Sans Mono"));
    HFONT font = CreateFontIndirectW(&logfont);
    SelectObject(hdc, font);
    const int length = static_cast<int>(std::char_traits<char16_t>::length(text));
    for (auto _ : state) {
        SIZE extent{};
        GetTextExtentPoint32W(hdc, text, length, &extent);
        benchmark::DoNotOptimize(extent);
    }
    state.SetItemsProcessed(state.iterations() * length);
    DeleteDC(hdc);
    DeleteObject(font);
}

void BM_MeasureLatinLine(benchmark::State& state) {
    MeasureLine(state, u"Cafe creme 3,50 EUR Zurich Strasse, Total 12.40");
}
BENCHMARK(BM_MeasureLatinLine)->Unit(benchmark::kMicrosecond);

void BM_MeasureJapaneseLine(benchmark::State& state) {
    MeasureLine(state, u"日本語のテキストは空白なしで折り返されます。合計金額は千二百円です。");
}
BENCHMARK(BM_MeasureJapaneseLine)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
