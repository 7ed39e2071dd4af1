// The emulator: how fast it takes a job apart, lays it on paper and writes
// the ticket, and what the socket transport carries, free and throttled.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "device.h"
#include "png_writer.h"
#include "qoremu/control_client.h"
#include "qoremu/emulator.h"
#include "qoremu/link.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A 80 mm page of raster blocks: 3000 rows of 80 bytes in blocks of 100
// rows, as the spooler-side driver sends them, then a cut.
Bytes raster_page() {
    Bytes job = {0x1B, 0x40, 0x12, 0x6B, 0x18, 0x07, 0x04, 0xC8};  // 80 mm paper
    for (int block = 0; block < 30; ++block) {
        Bytes head = {0x1B, 0x24, 0x00, 0x00, 0x1D, 0x76, 0x30, 0x00, 80, 0, 100, 0};
        job.insert(job.end(), head.begin(), head.end());
        for (int i = 0; i < 8000; ++i) job.push_back(uint8_t(i * 37 + block));
    }
    job.insert(job.end(), {0x1D, 0x56, 0x00});
    return job;
}

Bytes text_page() {
    Bytes job = {0x1B, 0x40};
    std::string line = "Ticket 0042  Gate B  Seat 17A  10:35 ok";
    for (int i = 0; i < 100; ++i) {
        job.insert(job.end(), line.begin(), line.end());
        job.push_back(0x0A);
    }
    job.insert(job.end(), {0x1D, 0x56, 0x00});
    return job;
}

void run_job(benchmark::State& state, const Bytes& job) {
    qoremu::DeviceOptions options;
    options.fonts = std::make_shared<qoremu::Fonts>();
    options.receive_buffer = 1 << 16;
    auto now = qoremu::Clock::now();
    for (auto _ : state) {
        qoremu::Device device(options);
        for (size_t at = 0; at < job.size();) {
            size_t n = std::min(job.size() - at, device.room(now));
            device.accept(job.data() + at, n, now);
            at += n;
            device.run(now);
        }
        benchmark::DoNotOptimize(device.take_output());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(job.size()));
}

void BM_DeviceRasterPage(benchmark::State& state) { run_job(state, raster_page()); }
void BM_DeviceTextPage(benchmark::State& state) { run_job(state, text_page()); }

void BM_TicketPng(benchmark::State& state) {
    qoremu::Bitmap paper(640, 3000);
    for (int y = 0; y < 3000; ++y)
        for (int x = 0; x < 640; x += 3 + (y % 5)) paper.set(x, y);
    std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/bench-ticket.png";
    for (auto _ : state) {
        std::string error;
        if (!qoremu::write_png(path, paper, &error)) state.SkipWithError(error.c_str());
    }
    ::unlink(path.c_str());
}

// The raster page through the socket into a running emulator until its
// ticket exists; with range(0) > 0 the line is throttled to that speed.
void BM_SocketPage(benchmark::State& state) {
    std::string base = std::string("/tmp/qor-bench-emu-") + std::to_string(::getpid());
    setenv("QOR_RUNTIME_DIR", (base + "/run").c_str(), 1);
    setenv("QOR_ROOT", (base + "/root").c_str(), 1);
    qoremu::EmulatorOptions options;
    options.name = "bench";
    options.tickets_dir = base + "/tickets";
    options.state_path = "none";
    options.baud = int(state.range(0));
    std::string error;
    auto emulator = qoremu::Emulator::start(options, &error);
    if (!emulator) {
        state.SkipWithError(error.c_str());
        return;
    }
    Bytes job = state.range(0) ? Bytes(3840, 0x20) : raster_page();
    if (state.range(0)) job.insert(job.end(), {0x0A, 0x1D, 0x56, 0x00});
    size_t tickets = 0;
    qoremu::Link link;
    if (!link.connect(emulator->socket_path())) state.SkipWithError(link.error().c_str());
    for (auto _ : state) {
        link.send(job.data(), job.size(), std::chrono::seconds(60));
        emulator->wait_for_tickets(++tickets, std::chrono::seconds(60));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(job.size()));
    link.close();
    emulator.reset();
    std::string command = "rm -rf " + base;
    if (std::system(command.c_str()) != 0) state.SkipWithError("cleanup failed");
}

}  // namespace

BENCHMARK(BM_DeviceRasterPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeviceTextPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TicketPng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SocketPage)->Arg(0)->Arg(38400)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
