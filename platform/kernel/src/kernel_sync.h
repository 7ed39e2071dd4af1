// Waitable kernel objects: the common wait protocol and the mutex, event and
// thread objects behind HANDLEs.
#pragma once

#include "futex.h"
#include "handles.h"
#include "named_region.h"

#include <atomic>
#include <memory>
#include <pthread.h>

namespace qor::kernel {

class Waitable : public Object {
public:
    using Object::Object;
    enum class Try { Ready, Abandoned, NotReady };

    // Takes the object if it is signalled (consumes an auto-reset event,
    // acquires a mutex).
    virtual Try try_acquire() = 0;
    // Bumped whenever the object may have become signalled.
    virtual std::atomic<uint32_t>* generation() = 0;
    // Count of sleepers on generation(); signallers skip the wake-up at 0.
    virtual std::atomic<uint32_t>* sleepers() = 0;
    // True when the object can become signalled without a generation bump
    // (a mutex whose owner dies): waiters must re-check on their own.
    virtual bool needs_polling() const { return false; }
    // Single-object wait; the default sleeps on generation().
    virtual DWORD wait(const Deadline& deadline);
};

// Shared layouts, identical in every process that maps the object.
// The pthread mutex keeps its owner and recursion count itself.
struct MutexState {
    pthread_mutex_t mutex;
    std::atomic<uint32_t> generation;
    std::atomic<uint32_t> sleepers;
    uint32_t reserved[4];
};

struct EventState {
    std::atomic<uint32_t> signalled;
    std::atomic<uint32_t> generation;
    std::atomic<uint32_t> sleepers;
    uint32_t manual_reset;
};

static_assert(sizeof(MutexState) == sizeof(pthread_mutex_t) + 24);
static_assert(offsetof(MutexState, sleepers) == sizeof(pthread_mutex_t) + 4);
static_assert(offsetof(MutexState, generation) == sizeof(pthread_mutex_t));
static_assert(sizeof(EventState) == 16);
static_assert(offsetof(EventState, manual_reset) == 12);
static_assert(sizeof(MutexState) <= NamedRegion::kPayloadOffset - NamedRegion::kStateOffset);
static_assert(std::atomic<uint32_t>::is_always_lock_free);

class MutexObject final : public Waitable {
public:
    // `keepalive` owns the memory of `state`, a private block.
    MutexObject(std::shared_ptr<void> keepalive, MutexState* state)
        : Waitable(ObjectType::Mutex), keepalive_(std::move(keepalive)), state_(state) {}
    // A named mutex, whose state lives in `region`.
    MutexObject(const std::shared_ptr<NamedRegion>& region, MutexState* state)
        : Waitable(ObjectType::Mutex), keepalive_(region), region_(region.get()), state_(state) {}
    ~MutexObject() override;
    Try try_acquire() override;
    std::atomic<uint32_t>* generation() override { return &state_->generation; }
    std::atomic<uint32_t>* sleepers() override { return &state_->sleepers; }
    bool needs_polling() const override { return true; }
    DWORD wait(const Deadline& deadline) override;
    bool release();

    static void initialise(MutexState* state);

private:
    Try finish_lock(int result);
    std::shared_ptr<void> keepalive_;
    NamedRegion* region_ = nullptr;  // owned through keepalive_
    MutexState* state_;
};

class EventObject final : public Waitable {
public:
    EventObject(std::shared_ptr<void> keepalive, EventState* state)
        : Waitable(ObjectType::Event), keepalive_(std::move(keepalive)), state_(state) {}
    Try try_acquire() override;
    std::atomic<uint32_t>* generation() override { return &state_->generation; }
    std::atomic<uint32_t>* sleepers() override { return &state_->sleepers; }
    void set();
    void reset();

private:
    std::shared_ptr<void> keepalive_;
    EventState* state_;
};

// The waitable object behind a handle, inside the caller's read section.
Waitable* find_waitable(HANDLE handle, const ReadSection& section);

// Bumps a generation word and wakes its sleepers, if any.
void signal_generation(std::atomic<uint32_t>* generation, std::atomic<uint32_t>* sleepers);

}  // namespace qor::kernel
