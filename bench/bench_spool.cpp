// WritePrinter throughput next to plain write() of the same data, for 4 KiB
// and 64 KiB writes. Each iteration is one 8 MiB job (StartDocPrinter,
// writes, EndDocPrinter) on a printer whose FILE: port stands for /dev/null,
// so the despooler's copy to the port does not fill the disk; the plain
// write() goes to a file in the same folder as the spool files.
#include "qor/spooler.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kJobBytes = 8u << 20;

// A private service in a temporary folder for the whole run.
struct Sandbox {
    std::string dir;
    HANDLE printer = nullptr;
    Sandbox() {
        char tmpl[] = "/tmp/bench_spool.XXXXXX";
        dir = mkdtemp(tmpl);
        setenv("QOR_ROOT", (dir + "/root").c_str(), 1);
        setenv("QOR_RUNTIME_DIR", (dir + "/run").c_str(), 1);
        std::u16string env = u"Windows NT x86", drv = u"Bench Driver", file = u"QORKPDN5.so", none(1, u'\0');
        DRIVER_INFO_3W d{};
        d.cVersion = 3, d.pName = drv.data(), d.pEnvironment = env.data(), d.pDriverPath = file.data();
        d.pDependentFiles = none.data();
        AddPrinterDriverW(nullptr, 3, reinterpret_cast<LPBYTE>(&d));
        QorConfigurePortW(u"FILE:", u"/dev/null", nullptr);
        std::u16string name = u"Bench", port = u"FILE:";
        PRINTER_INFO_2W p{};
        p.pPrinterName = name.data(), p.pPortName = port.data(), p.pDriverName = drv.data();
        printer = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&p));
    }
    ~Sandbox() {
        if (printer) ClosePrinter(printer);
        QorSpoolerControl(QOR_SPOOLER_STOP);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Sandbox& sandbox() {
    static Sandbox s;
    return s;
}

void BM_PlainWrite(benchmark::State& state) {
    size_t piece = size_t(state.range(0));
    std::vector<char> data(piece, 'x');
    std::string path = sandbox().dir + "/plain.bin";
    for (auto _ : state) {
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        for (size_t done = 0; done < kJobBytes; done += piece)
            if (write(fd, data.data(), piece) != ssize_t(piece)) state.SkipWithError("write failed");
        close(fd);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kJobBytes));
}

void BM_WritePrinter(benchmark::State& state) {
    size_t piece = size_t(state.range(0));
    std::vector<char> data(piece, 'x');
    HANDLE h = sandbox().printer;
    if (!h) return state.SkipWithError("no printer");
    std::u16string doc = u"bench", type = u"RAW";
    DOC_INFO_1W di{doc.data(), nullptr, type.data()};
    for (auto _ : state) {
        if (!StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&di))) return state.SkipWithError("StartDocPrinter");
        for (size_t done = 0; done < kJobBytes; done += piece) {
            DWORD written = 0;
            if (!WritePrinter(h, data.data(), DWORD(piece), &written)) return state.SkipWithError("WritePrinter");
        }
        if (!EndDocPrinter(h)) return state.SkipWithError("EndDocPrinter");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kJobBytes));
}

BENCHMARK(BM_PlainWrite)->Arg(4096)->Arg(65536)->UseRealTime();
BENCHMARK(BM_WritePrinter)->Arg(4096)->Arg(65536)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
