// Text conversion, heap and global-block costs of the platform layer.
#include "qor/memory.h"
#include "qor/strings.h"
#include "qor/sysinfo.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// 4 KiB of text in the page: ASCII mixed with the page's own characters.
std::string sample(UINT page) {
    std::u16string unit = page == 1252 ? u"Paper near end \u00e9\u00fc\u20ac. " : u"Paper \u65e5\u672c\u8a9e \uD55C ";
    std::u16string wide;
    while (wide.size() < 4096) wide += unit;
    if (page == 949) {
        for (auto& c : wide)
            if (c >= 0x6000 && c < 0xA000) c = u'\uAD6D';
    } else if (page == 950) {
        for (auto& c : wide)
            if (c == 0xD55C) c = u'\u4E2D';
    }
    int n = WideCharToMultiByte(page, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(page, 0, wide.data(), int(wide.size()), text.data(), n, nullptr, nullptr);
    return text.substr(0, 4096);
}

void BM_MultiByteToWideChar(benchmark::State& state) {
    UINT page = static_cast<UINT>(state.range(0));
    std::string text = sample(page);
    std::vector<WCHAR> wide(text.size() + 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            MultiByteToWideChar(page, 0, text.data(), int(text.size()), wide.data(), int(wide.size())));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_MultiByteToWideChar)->Arg(1252)->Arg(932)->Arg(949)->Arg(950)->Arg(CP_UTF8);

void BM_WideCharToMultiByte(benchmark::State& state) {
    UINT page = static_cast<UINT>(state.range(0));
    std::string text = sample(page);
    std::vector<WCHAR> wide(text.size());
    int units = MultiByteToWideChar(page, 0, text.data(), int(text.size()), wide.data(), int(wide.size()));
    std::vector<char> back(text.size() * 3);
    for (auto _ : state)
        benchmark::DoNotOptimize(WideCharToMultiByte(page, 0, wide.data(), units, back.data(), int(back.size()),
                                                     nullptr, nullptr));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_WideCharToMultiByte)->Arg(1252)->Arg(932)->Arg(CP_UTF8);

void BM_HeapAllocFree(benchmark::State& state) {
    HANDLE heap = HeapCreate(0, 0, 0);
    for (auto _ : state) {
        void* block = HeapAlloc(heap, 0, static_cast<SIZE_T>(state.range(0)));
        benchmark::DoNotOptimize(block);
        HeapFree(heap, 0, block);
    }
    HeapDestroy(heap);
}
BENCHMARK(BM_HeapAllocFree)->Arg(64)->Arg(4096)->ThreadRange(1, 2);

void BM_MallocFree(benchmark::State& state) {
    for (auto _ : state) {
        void* block = std::malloc(static_cast<size_t>(state.range(0)));
        benchmark::DoNotOptimize(block);
        std::free(block);
    }
}
BENCHMARK(BM_MallocFree)->Arg(64)->Arg(4096);

void BM_GlobalMoveableCycle(benchmark::State& state) {
    for (auto _ : state) {
        HGLOBAL handle = GlobalAlloc(GHND, 892);
        benchmark::DoNotOptimize(GlobalLock(handle));
        GlobalUnlock(handle);
        GlobalFree(handle);
    }
}
BENCHMARK(BM_GlobalMoveableCycle);

void BM_GetTickCount(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(GetTickCount());
}
BENCHMARK(BM_GetTickCount);

}  // namespace

BENCHMARK_MAIN();
