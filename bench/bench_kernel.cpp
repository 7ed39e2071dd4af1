// Named kernel objects shared by two processes: the cost of an uncontended
// mutex acquire+release next to a bare process-shared pthread mutex, and the
// latency from SetEvent in one process to the wake-up in the other.
#include "qor/kernel.h"

#include <benchmark/benchmark.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <pthread.h>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Each benchmark process gets its own object namespace, removed at exit.
std::string namespace_dir;
pid_t namespace_owner = 0;

void remove_namespace() {
    if (getpid() != namespace_owner) return;
    std::error_code ignored;
    std::filesystem::remove_all(namespace_dir, ignored);
}

void private_namespace() {
    if (namespace_owner != 0) return;
    namespace_owner = getpid();
    namespace_dir = "/tmp/qor-bench-" + std::to_string(namespace_owner);
    setenv("QOR_RUNTIME_DIR", namespace_dir.c_str(), 1);
    std::atexit(remove_namespace);
}

// A second process that opens `names` and keeps them open until killed.
pid_t start_holder(const char* mutex_name) {
    pid_t pid = fork();
    if (pid == 0) {
        HANDLE m = CreateMutexA(nullptr, FALSE, mutex_name);
        (void)m;
        for (;;) pause();
    }
    return pid;
}

void stop(pid_t pid) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// Named mutex open in a second process; `limit` is the wait's time-out.
void named_mutex_loop(benchmark::State& state, const char* name, DWORD limit) {
    private_namespace();
    HANDLE m = CreateMutexA(nullptr, FALSE, name);
    pid_t other = start_holder(name);
    for (auto _ : state) {
        WaitForSingleObject(m, limit);
        ReleaseMutex(m);
    }
    stop(other);
    CloseHandle(m);
}

void BM_NamedMutexInfinite(benchmark::State& state) { named_mutex_loop(state, "bench-mutex", INFINITE); }
BENCHMARK(BM_NamedMutexInfinite);

void BM_NamedMutexTimed(benchmark::State& state) { named_mutex_loop(state, "bench-mutex-timed", 5000); }
BENCHMARK(BM_NamedMutexTimed);

// A bare pthread mutex in shared memory, for comparison.
void bare_mutex_loop(benchmark::State& state, bool robust_recursive) {
    void* p = mmap(nullptr, sizeof(pthread_mutex_t), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    auto* mutex = static_cast<pthread_mutex_t*>(p);
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    if (robust_recursive) {
        pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
        pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    }
    pthread_mutex_init(mutex, &attr);
    for (auto _ : state) {
        pthread_mutex_lock(mutex);
        pthread_mutex_unlock(mutex);
    }
    pthread_mutex_destroy(mutex);
    munmap(p, sizeof(pthread_mutex_t));
}

void BM_BarePsharedPthreadMutex(benchmark::State& state) { bare_mutex_loop(state, false); }
BENCHMARK(BM_BarePsharedPthreadMutex);

// What the platform's mutex is built on: robust and recursive as well.
void BM_BareRobustRecursivePthreadMutex(benchmark::State& state) { bare_mutex_loop(state, true); }
BENCHMARK(BM_BareRobustRecursivePthreadMutex);

// Ping-pong between two processes: one iteration is two set-to-wake hops.
void BM_EventSetToWakeAcrossProcesses(benchmark::State& state) {
    private_namespace();
    HANDLE ping = CreateEventA(nullptr, FALSE, FALSE, "bench-ping");
    HANDLE pong = CreateEventA(nullptr, FALSE, FALSE, "bench-pong");
    pid_t other = fork();
    if (other == 0) {
        HANDLE a = OpenEventA(EVENT_ALL_ACCESS, FALSE, "bench-ping");
        HANDLE b = OpenEventA(EVENT_ALL_ACCESS, FALSE, "bench-pong");
        for (;;) {
            if (WaitForSingleObject(a, INFINITE) != WAIT_OBJECT_0) _exit(1);
            SetEvent(b);
        }
    }
    for (auto _ : state) {
        SetEvent(ping);
        WaitForSingleObject(pong, INFINITE);
    }
    state.counters["set_to_wake_us"] = benchmark::Counter(
        double(state.iterations()) * 2, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    stop(other);
    CloseHandle(ping);
    CloseHandle(pong);
}
BENCHMARK(BM_EventSetToWakeAcrossProcesses)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
