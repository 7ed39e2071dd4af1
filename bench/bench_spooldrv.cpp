// The spooler-side driver's time per page for each halftoning method on the
// reference page (640 x 3000), next to a plain copy of the 24-bit page in
// the same run. The writes go to a counter instead of the spooler; the
// counter "stream" is the command stream's size for the page.
#include "bench_spooldrv_page.h"
#include "spooldrv_testing.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

void BM_SpoolerSidePage(benchmark::State& state) {
    const benchpage::Page& page = benchpage::ReferencePage();
    spooltest::Recorder recorder;
    recorder.count_only(true);
    spooltest::Job job;
    EXDEVMODE dm = spooltest::MakeDevmode(static_cast<LONG>(page.width), static_cast<LONG>(page.height));
    dm.dm.dmDitherType = static_cast<DWORD>(state.range(0));
    const spooltest::Bytes start = spooltest::DevmodeRecord(dm);
    const spooltest::Bytes band = spooltest::BandRecord();
    const spooltest::Bytes end = spooltest::EndPageRecord();
    job.write(start);  // the job start commands go out once, before timing
    job.write(end);
    uint64_t before = recorder.bytes();
    for (auto _ : state) {
        before = recorder.bytes();
        job.write(start);
        job.write(band);
        job.write(page.grey.data(), static_cast<DWORD>(page.grey.size()));
        job.write(end);
    }
    state.counters["stream"] = static_cast<double>(recorder.bytes() - before);
    state.counters["raw_1bit"] = static_cast<double>(page.width / 8 * page.height);
}
BENCHMARK(BM_SpoolerSidePage)->DenseRange(1, 5)->ArgName("method")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
