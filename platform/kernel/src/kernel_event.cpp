// Events, manual or automatic reset, unnamed or named.
#include "kernel_sync.h"
#include "qor/guard.h"
#include "qor/kernel.h"
#include "object_names.h"

namespace qor::kernel {

Waitable::Try EventObject::try_acquire() {
    if (state_->manual_reset)
        return state_->signalled.load(std::memory_order_seq_cst) ? Try::Ready : Try::NotReady;
    uint32_t expected = 1;
    // An automatic-reset event lets exactly one waiter through per set.
    return state_->signalled.compare_exchange_strong(expected, 0, std::memory_order_seq_cst) ? Try::Ready
                                                                                             : Try::NotReady;
}

void EventObject::set() {
    state_->signalled.store(1, std::memory_order_seq_cst);
    signal_generation(&state_->generation, &state_->sleepers);
}

void EventObject::reset() { state_->signalled.store(0, std::memory_order_seq_cst); }

}  // namespace qor::kernel

using namespace qor::kernel;

namespace {

struct PrivateEvent {
    EventState state;
};

void initialise_event(EventState* s, BOOL manual_reset, BOOL initial_state) {
    s->manual_reset = manual_reset ? 1 : 0;
    s->generation.store(0);
    s->sleepers.store(0);
    s->signalled.store(initial_state ? 1 : 0);
}

HANDLE create_event(BOOL manual_reset, BOOL initial_state, const std::optional<std::string>& name) {
    if (!name) {
        auto block = std::make_shared<PrivateEvent>();
        initialise_event(&block->state, manual_reset, initial_state);
        SetLastError(ERROR_SUCCESS);
        return insert_handle(std::make_shared<EventObject>(block, &block->state));
    }
    auto r = open_named(*name, NamedKind::Event, 0, true, [&](void* s) {
        initialise_event(static_cast<EventState*>(s), manual_reset, initial_state);
    });
    if (!r.region) {
        SetLastError(r.error);
        return nullptr;
    }
    auto* state = static_cast<EventState*>(r.region->state());
    HANDLE h = insert_handle(std::make_shared<EventObject>(r.region, state));
    SetLastError(r.existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

HANDLE open_event(const std::string& name) {
    auto r = open_named(name, NamedKind::Event, 0, false, nullptr);
    if (!r.region) {
        SetLastError(r.error);
        return nullptr;
    }
    auto* state = static_cast<EventState*>(r.region->state());
    return insert_handle(std::make_shared<EventObject>(r.region, state));
}

}  // namespace

extern "C" QORAPI HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manual_reset, BOOL initial_state, LPCSTR name) {
    return qor::guarded(static_cast<HANDLE>(nullptr), [&]() -> HANDLE {
        return create_event(manual_reset, initial_state, object_name(name));
    });
}

extern "C" QORAPI HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manual_reset, BOOL initial_state, LPCWSTR name) {
    return qor::guarded(static_cast<HANDLE>(nullptr), [&]() -> HANDLE {
        return create_event(manual_reset, initial_state, object_name(name));
    });
}

extern "C" QORAPI HANDLE OpenEventA(DWORD, BOOL, LPCSTR name) {
    return qor::guarded(static_cast<HANDLE>(nullptr), [&]() -> HANDLE {
        return with_required_name(name, HANDLE(nullptr), open_event);
    });
}

extern "C" QORAPI HANDLE OpenEventW(DWORD, BOOL, LPCWSTR name) {
    return qor::guarded(static_cast<HANDLE>(nullptr), [&]() -> HANDLE {
        return with_required_name(name, HANDLE(nullptr), open_event);
    });
}

extern "C" QORAPI BOOL SetEvent(HANDLE event) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        ReadSection section;
        auto* e = find_as<EventObject>(event, ObjectType::Event, section);
        if (!e) return FALSE;
        e->set();
        return TRUE;
    });
}

extern "C" QORAPI BOOL ResetEvent(HANDLE event) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        ReadSection section;
        auto* e = find_as<EventObject>(event, ObjectType::Event, section);
        if (!e) return FALSE;
        e->reset();
        return TRUE;
    });
}
