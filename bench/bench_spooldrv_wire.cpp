// Printing the reference page through the whole system with the line to the
// printer throttled to 38400 bps: qorspoold, the model module, QORLM2K, the
// COM1 port and the emulator, against the time the job's bytes need on the
// wire (bytes x 10 / 38400 s). Any stall of the spooler, the monitor or the
// port shows as the difference. One iteration takes about half a minute.
#include "bench_spooldrv_page.h"
#include "bench_system.h"

#include "common/exdevmode.h"
#include "qor/gdi.h"
#include "qor/spooler.h"
#include "qoremu/control_client.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <string>

namespace {

constexpr int kBitsPerSecond = 38400;

// The printer's defaults with a user-defined paper the size of the page.
bool PageDevmode(EXDEVMODE* devmode) {
    PpdBlock block;
    std::memset(&block, 0, sizeof(block));
    PPD_AttachTables(&block);
    const std::string path = QOR_DATA_DIR "/qorn5001.ppd";
    const std::u16string wide(path.begin(), path.end());
    if (!PPD_Init(&block.data, wide.c_str()) || !EngSetDefaultEXDEVMODE(devmode, u"QOR ZEM-Dx10P", &block.data))
        return false;
    const benchpage::Page& page = benchpage::ReferencePage();
    PaperMetrix paper = devmode->UserPaper;
    paper.Code = PAPER_CODE_USER;
    paper.AreaWidth = paper.PhysWidth = static_cast<LONG>(page.width);
    paper.AreaLength = paper.PhysLength = static_cast<LONG>(page.height);
    paper.AreaWidthMM = paper.AreaWidth / 8;
    paper.AreaLengthMM = paper.AreaLength / 8;
    devmode->UserPaper = paper;
    devmode->dm.dmPaperSize = PAPER_CODE_USER;
    devmode->PaperCode = PAPER_CODE_USER;
    devmode->dm.dmDitherType = 1;
    return true;
}

void BM_ThrottledPageOnTheWire(benchmark::State& state) {
    static benchsystem::System system(
        {"--model", "D610x", "--baud", std::to_string(kBitsPerSecond), "--print-speed", "0"});
    if (!system.ok()) {
        state.SkipWithError("the print system did not start");
        return;
    }
    EXDEVMODE devmode;
    if (!PageDevmode(&devmode)) {
        state.SkipWithError("no device mode");
        return;
    }
    const benchpage::Page& page = benchpage::ReferencePage();
    const BITMAPINFO info = benchpage::PageBitmapInfo(page);
    double wire_seconds = 0, bytes = 0;
    for (auto _ : state) {
        const size_t tickets = qoremu::list_tickets(system.tickets()).size();
        const uint64_t before = system.ReceivedBytes();
        const auto start = std::chrono::steady_clock::now();
        HDC hdc = CreateDCW(u"WINSPOOL", u"QOR ZEM-Dx10P", nullptr, &devmode.dm);
        DOCINFOW doc{sizeof(DOCINFOW), u"wire", nullptr, nullptr, 0};
        const bool printed = hdc && StartDocW(hdc, &doc) > 0 && StartPage(hdc) > 0 &&
                             StretchDIBits(hdc, 0, 0, static_cast<int>(page.width), static_cast<int>(page.height), 0,
                                           0, static_cast<int>(page.width), static_cast<int>(page.height),
                                           page.bgr.data(), &info, DIB_RGB_COLORS, SRCCOPY) != 0 &&
                             EndPage(hdc) > 0 && EndDoc(hdc) > 0;
        if (hdc) DeleteDC(hdc);
        if (!printed || !qoremu::wait_for_tickets(system.tickets(), tickets + 1, std::chrono::minutes(3))) {
            state.SkipWithError("the page did not come out");
            return;
        }
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(elapsed);
        bytes = static_cast<double>(system.ReceivedBytes() - before);
        wire_seconds = bytes * 10 / kBitsPerSecond;
        state.counters["wire_s"] = wire_seconds;
        state.counters["overhead_pct"] = (elapsed / wire_seconds - 1) * 100;
    }
    state.counters["bytes"] = bytes;
}
BENCHMARK(BM_ThrottledPageOnTheWire)->UseManualTime()->Iterations(2)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
