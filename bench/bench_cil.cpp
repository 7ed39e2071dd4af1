// QORCIL through the whole stack: one GetQorPrinterStatus round trip and one
// 4096-byte send with CommQorPrinterData, from QORCIL loaded by name through
// qorspoold, the model module, QORLM2K and COM1 to the emulator. Next to
// each, the fixed pauses QORCIL makes on that path, slept and timed in the
// same run: what is left is what the library and the monitor side add.
#include "bench_system.h"
#include "qorcil_binding.h"

#include "qor/sysinfo.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

// The fixed pauses: 50 ms after the connection check of every connect;
// 50 ms after the send worker's check on a local printer and 100 ms after a
// completed send.
double SleptMs(const std::vector<DWORD>& pauses) {
    const auto start = Clock::now();
    for (DWORD ms : pauses) Sleep(ms);
    return Milliseconds(Clock::now() - start);
}

class Session {
public:
    Session() : system_({"--print-speed", "0"}) {
        std::string error;
        if (!system_.ok() || !cil_.load(&error)) return;
        if (cil_->OpenQorPrinterA("QOR ZEM-Dx10P", &handle_) != QORCIL_OK) handle_ = nullptr;
    }
    ~Session() {
        if (handle_) cil_->CloseQorPrinter(handle_);
    }
    bool ok() const { return handle_ != nullptr; }
    const qorcil::Entries& cil() const { return *cil_.operator->(); }
    HANDLE handle() const { return handle_; }

private:
    benchsystem::System system_;
    qorcil::Binding cil_;
    HANDLE handle_ = nullptr;
};

Session& TheSession() {
    static Session session;
    return session;
}

template <class Call>
void RoundTrips(benchmark::State& state, const std::vector<DWORD>& pauses, Call call) {
    Session& session = TheSession();
    if (!session.ok()) {
        state.SkipWithError("no session on the printer");
        return;
    }
    double total_ms = 0, slept_ms = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!call(session)) {
            state.SkipWithError("the call failed");
            return;
        }
        const double ms = Milliseconds(Clock::now() - start);
        state.SetIterationTime(ms / 1000);
        total_ms += ms;
        slept_ms += SleptMs(pauses);
    }
    const double n = double(state.iterations());
    state.counters["call_ms"] = total_ms / n;
    state.counters["pauses_ms"] = slept_ms / n;
    state.counters["added_ms"] = (total_ms - slept_ms) / n;
}

void BM_StatusRoundTrip(benchmark::State& state) {
    RoundTrips(state, {50}, [](Session& session) {
        DWORD status = 0xDEAD;
        return session.cil().GetQorPrinterStatus(session.handle(), &status, QORCIL_CURRENT) == QORCIL_OK &&
               status == 0;
    });
}
BENCHMARK(BM_StatusRoundTrip)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

void BM_Send4096(benchmark::State& state) {
    const std::vector<BYTE> bytes(4096, 0x0D);  // carriage returns: the printer ignores them
    RoundTrips(state, {50, 50, 100}, [&](Session& session) {
        DWORD sent = 0;
        return session.cil().CommQorPrinterData(session.handle(), bytes.data(), DWORD(bytes.size()), &sent, nullptr,
                                                0, nullptr) == QORCIL_OK &&
               sent == bytes.size();
    });
}
BENCHMARK(BM_Send4096)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
