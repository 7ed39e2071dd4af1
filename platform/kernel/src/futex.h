// Futex waits on 32-bit words, shared between processes when the word lives
// in shared memory, and the monotonic deadlines every kernel wait uses.
#pragma once

#include "qor/base.h"

#include <atomic>
#include <cstdint>
#include <ctime>

namespace qor::kernel {

// A point on CLOCK_MONOTONIC; `infinite` never passes.
struct Deadline {
    bool infinite = true;
    timespec at{};

    static Deadline after_ms(DWORD milliseconds);
    bool passed() const;
    // Milliseconds left, clamped to `cap` (and to 0 once passed).
    int64_t remaining_ms(int64_t cap) const;
};

timespec monotonic_now();

// Sleeps while *word == expected, until woken or the deadline passes.
// Returns false on time-out.
bool futex_wait(std::atomic<uint32_t>* word, uint32_t expected, const Deadline& deadline);
void futex_wake_all(std::atomic<uint32_t>* word);

// Sleeps while every word still holds its expected value. `cap_ms` bounds one
// sleep so that conditions without a wake-up (a dead mutex owner) are seen.
void futex_wait_any(std::atomic<uint32_t>* const* words, const uint32_t* expected, size_t count,
                    const Deadline& deadline, int64_t cap_ms);

}  // namespace qor::kernel
