// Description-file parsing and device-mode acceptance, the work every
// device creation and every interface-driver entry point repeats.
#include "common/exdevmode.h"
#include "common/ppd.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

std::filesystem::path Installed() {
    return std::filesystem::path(QOR_DATA_DIR) / "qorn5001.ppd";
}

std::string ReadInstalled() {
    std::ifstream in(Installed(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::unique_ptr<PpdBlock> NewBlock() {
    auto block = std::make_unique<PpdBlock>();
    PPD_AttachTables(block.get());
    return block;
}

void BM_ParseInMemory(benchmark::State& state) {
    const std::string text = ReadInstalled();
    auto block = NewBlock();
    for (auto _ : state) {
        benchmark::DoNotOptimize(PPD_Parse(&block->data, text.data(), static_cast<DWORD>(text.size())));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseInMemory);

void BM_InitFromFile(benchmark::State& state) {
    const std::string path = Installed().string();
    const std::u16string wide(path.begin(), path.end());
    auto block = NewBlock();
    for (auto _ : state) {
        if (!PPD_Init(&block->data, wide.c_str())) state.SkipWithError("PPD_Init failed");
    }
}
BENCHMARK(BM_InitFromFile);

void BM_AcceptDevMode(benchmark::State& state) {
    const std::string text = ReadInstalled();
    auto block = NewBlock();
    PPD_Parse(&block->data, text.data(), static_cast<DWORD>(text.size()));
    EXDEVMODE caller;
    EngSetDefaultEXDEVMODE(&caller, u"ZEM-D", &block->data);
    caller.dm.dmPaperSize = 269;  // the last paper of the table
    EXDEVMODE device;
    for (auto _ : state) {
        benchmark::DoNotOptimize(AcceptExDevMode(&device, &caller.dm, u"ZEM-D", &block->data));
        caller.dm.dmPaperSize = 269;
    }
}
BENCHMARK(BM_AcceptDevMode);

}  // namespace

BENCHMARK_MAIN();
