#include "futex.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef SYS_futex_waitv
#define SYS_futex_waitv 449
#endif

namespace qor::kernel {
namespace {

constexpr int64_t kNsPerMs = 1000000;
constexpr int64_t kNsPerSec = 1000000000;

int64_t to_ns(const timespec& t) { return int64_t(t.tv_sec) * kNsPerSec + t.tv_nsec; }

timespec from_ns(int64_t ns) {
    timespec t{};
    t.tv_sec = time_t(ns / kNsPerSec);
    t.tv_nsec = long(ns % kNsPerSec);
    return t;
}

// The kernel's vectored futex wait record.
struct FutexWaitv {
    uint64_t val;
    uint64_t uaddr;
    uint32_t flags;
    uint32_t reserved;
};
static_assert(sizeof(FutexWaitv) == 24);

constexpr uint32_t kFutex2Size32 = 0x02;

std::atomic<bool> waitv_unsupported{false};

}  // namespace

timespec monotonic_now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t;
}

Deadline Deadline::after_ms(DWORD milliseconds) {
    Deadline d;
    if (milliseconds == 0xFFFFFFFFu) return d;
    d.infinite = false;
    d.at = from_ns(to_ns(monotonic_now()) + int64_t(milliseconds) * kNsPerMs);
    return d;
}

bool Deadline::passed() const { return !infinite && to_ns(monotonic_now()) >= to_ns(at); }

int64_t Deadline::remaining_ms(int64_t cap) const {
    if (infinite) return cap;
    int64_t left = to_ns(at) - to_ns(monotonic_now());
    if (left <= 0) return 0;
    int64_t ms = (left + kNsPerMs - 1) / kNsPerMs;
    return ms < cap ? ms : cap;
}

bool futex_wait(std::atomic<uint32_t>* word, uint32_t expected, const Deadline& deadline) {
    // FUTEX_WAIT_BITSET takes an absolute CLOCK_MONOTONIC time.
    const timespec* at = deadline.infinite ? nullptr : &deadline.at;
    long r = syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), FUTEX_WAIT_BITSET, expected, at,
                     nullptr, FUTEX_BITSET_MATCH_ANY);
    if (r == -1 && errno == ETIMEDOUT) return false;
    return true;
}

void futex_wake_all(std::atomic<uint32_t>* word) {
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

void futex_wait_any(std::atomic<uint32_t>* const* words, const uint32_t* expected, size_t count,
                    const Deadline& deadline, int64_t cap_ms) {
    int64_t slice_end = to_ns(monotonic_now()) + cap_ms * kNsPerMs;
    if (!deadline.infinite && to_ns(deadline.at) < slice_end) slice_end = to_ns(deadline.at);
    timespec until = from_ns(slice_end);
    if (count == 1) {
        Deadline d;
        d.infinite = false;
        d.at = until;
        futex_wait(words[0], expected[0], d);
        return;
    }
    if (!waitv_unsupported.load(std::memory_order_relaxed) && count <= 128) {
        FutexWaitv v[128];
        for (size_t i = 0; i < count; ++i)
            v[i] = FutexWaitv{expected[i], reinterpret_cast<uint64_t>(words[i]), kFutex2Size32, 0};
        long r = syscall(SYS_futex_waitv, v, unsigned(count), 0u, &until, CLOCK_MONOTONIC);
        if (r >= 0 || errno != ENOSYS) return;
        waitv_unsupported.store(true, std::memory_order_relaxed);
    }
    // Without vectored waits: sleep on the first word in short slices.
    Deadline d;
    d.infinite = false;
    d.at = from_ns(std::min<int64_t>(slice_end, to_ns(monotonic_now()) + 2 * kNsPerMs));
    futex_wait(words[0], expected[0], d);
}

}  // namespace qor::kernel
