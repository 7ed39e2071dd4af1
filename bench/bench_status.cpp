// The monitor side's per-chunk work: finding status frames in what the
// printer sends, and queueing the bytes in the Reply block.
#include "common/blocks.h"
#include "reply_decoder.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

// A 1023-byte chunk as a poll reads it: status frames among setting replies.
std::vector<BYTE> mixed_chunk() {
    std::vector<BYTE> chunk;
    while (chunk.size() + 13 <= 1023) {
        for (BYTE b : {0x18, 0x00, 0x0C, 0x00}) chunk.push_back(b);
        for (BYTE b : {0x55, 0x08, 0x01, 0x07, 0x00, 0x00, 0x00, 0x08, 0x0C}) chunk.push_back(b);
    }
    chunk.resize(1023, 0x12);
    return chunk;
}

void BM_ScanStatusBack(benchmark::State& state) {
    const auto chunk = mixed_chunk();
    qor::model::ReplyScanner scanner;
    std::array<BYTE, 4> frame{};
    for (auto _ : state) benchmark::DoNotOptimize(scanner.scan(chunk.data(), chunk.size(), frame));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(chunk.size()));
}
BENCHMARK(BM_ScanStatusBack);

void BM_ReplyBlockAppendTake(benchmark::State& state) {
    auto block = std::make_unique<qor::blocks::ReplyBlock>();
    std::memset(block.get(), 0, sizeof *block);
    const auto chunk = mixed_chunk();
    std::vector<BYTE> out(512);
    for (auto _ : state) {
        qor::blocks::reply_append(*block, chunk.data(), chunk.size());
        while (qor::blocks::reply_take(*block, out.data(), out.size()) == out.size()) {
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(chunk.size()));
}
BENCHMARK(BM_ReplyBlockAppendTake);

}  // namespace

BENCHMARK_MAIN();
