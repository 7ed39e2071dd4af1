// The whole printing pipeline for the reference page, per halftoning
// method: the graphics engine records and plays the picture, QORKPDN5
// renders and greys the band, QORCPDN7 halftones it and writes the command
// stream, which WritePrinter here only counts. Next to a plain copy of the
// 24-bit page in the same run.
#include "bench_spooldrv_page.h"
#include "fake_spooler.h"

#include "qor/gdi.h"
#include "qor/spooler.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

std::atomic<uint64_t> g_bytes{0};

namespace fs = std::filesystem;

// A driver folder in a fresh QOR_ROOT with both drivers and a paper the
// size of the page; the description names the halftoning method.
class Installation {
public:
    Installation() {
        char pattern[] = "/tmp/qor-bench-pipeline-XXXXXX";
        root_ = mkdtemp(pattern);
        setenv("QOR_ROOT", root_.c_str(), 1);
        const fs::path three = fs::path(root_) / "drivers" / "3";
        fs::create_directories(three);
        const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
        for (const char* module : {"QORKPDN5.so", "QORCPDN7.so"}) fs::create_symlink(bin / module, three / module);
        fakespooler::Printer printer;
        printer.name = u"ZEM Pipeline";
        const std::string folder = (fs::path(root_) / "drivers").string();
        printer.driver_folder = std::u16string(folder.begin(), folder.end());
        printer.driver_path = printer.driver_folder + u"/3/QORKPDN5.so";
        printer.data_file = printer.driver_folder + u"/3/qorn5001.ppd";
        fakespooler::install(printer);
        description_ = (three / "qorn5001.ppd").string();
    }
    ~Installation() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    void SetMethod(int method) const {
        const benchpage::Page& page = benchpage::ReferencePage();
        const std::string w = std::to_string(page.width), h = std::to_string(page.height);
        const std::string text = "DefPaper=900\r\nDefOrient=1\r\nDefBright=150\r\nDefDither=" + std::to_string(method) +
                                 "\r\nNumPaper=1\r\n900;\"page\";80;375;80;375;0;" + w + ";" + h + ";" + w + ";" + h +
                                 ";0;0;0;0;0\r\nName=\"QORCPDN7.DLL\"\r\n";
        FILE* file = std::fopen(description_.c_str(), "wb");
        if (!file) std::exit(1);
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }

private:
    std::string root_;
    std::string description_;
};

const Installation& TheInstallation() {
    static Installation installation;
    return installation;
}

void BM_WholePipelinePage(benchmark::State& state) {
    const benchpage::Page& page = benchpage::ReferencePage();
    TheInstallation().SetMethod(static_cast<int>(state.range(0)));
    HDC hdc = CreateDCW(u"WINSPOOL", u"ZEM Pipeline", nullptr, nullptr);
    if (!hdc) {
        state.SkipWithError("no device context");
        return;
    }
    const BITMAPINFO info = benchpage::PageBitmapInfo(page);
    DOCINFOW doc{sizeof(DOCINFOW), u"pipeline", nullptr, nullptr, 0};
    if (StartDocW(hdc, &doc) <= 0) {
        state.SkipWithError("no document: is QORCPDN7.so next to the benchmark?");
        DeleteDC(hdc);
        return;
    }
    const int width = static_cast<int>(page.width), height = static_cast<int>(page.height);
    // A page's last bytes leave at the next page's start or at the end of
    // the document, so the stream is counted over the whole document.
    const uint64_t before = g_bytes.load();
    for (auto _ : state) {
        StartPage(hdc);
        StretchDIBits(hdc, 0, 0, width, height, 0, 0, width, height, page.bgr.data(), &info, DIB_RGB_COLORS,
                      SRCCOPY);
        if (EndPage(hdc) <= 0) {
            state.SkipWithError("page failed");
            break;
        }
    }
    EndDoc(hdc);
    DeleteDC(hdc);
    constexpr double kJobStart = 35;
    state.counters["stream"] = (static_cast<double>(g_bytes.load() - before) - kJobStart) /
                               static_cast<double>(state.iterations());
}
BENCHMARK(BM_WholePipelinePage)->DenseRange(1, 5)->ArgName("method")->Unit(benchmark::kMillisecond);

}  // namespace

// The spooler's WritePrinter, here a counter: QORCPDN7 resolves it from
// this program, which exports its symbols.
extern "C" QORAPI BOOL WritePrinter(HANDLE, LPVOID, DWORD size, LPDWORD written) {
    g_bytes += size;
    *written = size;
    return TRUE;
}

BENCHMARK_MAIN();
