// Heaps and local/global blocks over malloc. Every block and handle lives in
// a table, so a pointer or handle that was never ours, or was freed, is found
// missing and rejected rather than used.
#include "qor/memory.h"
#include "qor/guard.h"

#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

// Requests this large could never have been met on the platform; refusing
// them also keeps sanitizer builds from aborting on absurd sizes.
constexpr SIZE_T largest_block = 0x7FFFFFFF;

#ifndef ERROR_DISCARDED
constexpr DWORD error_discarded = 157;
#else
constexpr DWORD error_discarded = ERROR_DISCARDED;
#endif

void* allocate(SIZE_T bytes, bool zero) {
    SIZE_T n = bytes ? bytes : 1;
    return zero ? std::calloc(1, n) : std::malloc(n);
}

// Grows or shrinks a block; with `in_place` only when the allocation already
// has room. Returns null (the old block intact) on failure.
void* resize(void* block, SIZE_T old_size, SIZE_T new_size, bool zero, bool in_place) {
    void* result = block;
    if (new_size > malloc_usable_size(block)) {
        if (in_place) return nullptr;
        result = std::realloc(block, new_size ? new_size : 1);
        if (!result) return nullptr;
    }
    if (zero && new_size > old_size) std::memset(static_cast<char*>(result) + old_size, 0, new_size - old_size);
    return result;
}

// ---- heaps ----

struct Heap {
    std::mutex lock;
    std::unordered_map<void*, SIZE_T> blocks;
    SIZE_T maximum = 0;  // 0: grows without limit
    SIZE_T used = 0;
    bool destroyed = false;

    bool fits(SIZE_T more) const { return !maximum || (used <= maximum && more <= maximum - used); }
};

class HeapTable {
public:
    HANDLE add(std::shared_ptr<Heap> heap) {
        std::lock_guard guard(lock_);
        HANDLE handle = reinterpret_cast<HANDLE>(next_++ * 16 + 0x4);
        heaps_.emplace(handle, std::move(heap));
        return handle;
    }
    std::shared_ptr<Heap> find(HANDLE handle) {
        std::lock_guard guard(lock_);
        auto it = heaps_.find(handle);
        if (it == heaps_.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        return it->second;
    }
    std::shared_ptr<Heap> remove(HANDLE handle) {
        std::lock_guard guard(lock_);
        auto it = heaps_.find(handle);
        if (it == heaps_.end()) return nullptr;
        auto heap = std::move(it->second);
        heaps_.erase(it);
        return heap;
    }

private:
    std::mutex lock_;
    std::unordered_map<HANDLE, std::shared_ptr<Heap>> heaps_;
    uintptr_t next_ = 0x100;
};

// Never destroyed: other libraries' destructors may still free at exit.
HeapTable& heaps() {
    static HeapTable* table = new HeapTable;
    return *table;
}

HANDLE process_heap() {
    static HANDLE handle = heaps().add(std::make_shared<Heap>());
    return handle;
}

void* fail_null(DWORD error) {
    SetLastError(error);
    return nullptr;
}

BOOL fail_false(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// ---- local and global blocks ----

struct Moveable {
    void* data = nullptr;  // null: discarded
    SIZE_T size = 0;
    UINT locks = 0;
    UINT flags = 0;
};

// Moveable handles have bit 3 set, which a malloc address (16-aligned) never
// has, so the two kinds cannot be confused.
class BlockTable {
public:
    std::mutex lock;
    std::unordered_map<void*, SIZE_T> fixed;
    std::unordered_map<HGLOBAL, Moveable> moveable;
    std::unordered_map<void*, HGLOBAL> handle_of;

    HGLOBAL new_handle() { return reinterpret_cast<HGLOBAL>(next_++ * 16 + 0x8); }
    Moveable* find_moveable(HGLOBAL handle) {
        auto it = moveable.find(handle);
        return it == moveable.end() ? nullptr : &it->second;
    }
    SIZE_T* find_fixed(HGLOBAL handle) {
        auto it = fixed.find(handle);
        return it == fixed.end() ? nullptr : &it->second;
    }

private:
    uintptr_t next_ = 0x100;
};

BlockTable& blocks() {
    static BlockTable* table = new BlockTable;
    return *table;
}

HGLOBAL block_alloc(UINT flags, SIZE_T bytes) {
    if (bytes >= largest_block) return fail_null(ERROR_NOT_ENOUGH_MEMORY);
    bool zero = flags & GMEM_ZEROINIT;
    auto& table = blocks();
    if (!(flags & GMEM_MOVEABLE)) {
        void* data = allocate(bytes, zero);
        if (!data) return fail_null(ERROR_NOT_ENOUGH_MEMORY);
        std::lock_guard guard(table.lock);
        table.fixed.emplace(data, bytes);
        return data;
    }
    Moveable block;
    block.flags = flags & (GMEM_DISCARDABLE | LMEM_DISCARDABLE);
    if (bytes) {
        block.data = allocate(bytes, zero);
        if (!block.data) return fail_null(ERROR_NOT_ENOUGH_MEMORY);
        block.size = bytes;
    }
    std::lock_guard guard(table.lock);
    HGLOBAL handle = table.new_handle();
    if (block.data) table.handle_of.emplace(block.data, handle);
    table.moveable.emplace(handle, block);
    return handle;
}

HGLOBAL block_free(HGLOBAL memory) {
    if (!memory) return nullptr;
    auto& table = blocks();
    std::lock_guard guard(table.lock);
    if (table.fixed.erase(memory)) {
        std::free(memory);
        return nullptr;
    }
    if (Moveable* block = table.find_moveable(memory)) {
        if (block->data) {
            table.handle_of.erase(block->data);
            std::free(block->data);
        }
        table.moveable.erase(memory);
        return nullptr;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return memory;
}

LPVOID block_lock(HGLOBAL memory) {
    auto& table = blocks();
    std::lock_guard guard(table.lock);
    if (table.find_fixed(memory)) return memory;
    Moveable* block = table.find_moveable(memory);
    if (!block) return fail_null(ERROR_INVALID_HANDLE);
    if (!block->data) return fail_null(error_discarded);
    if (block->locks < GMEM_LOCKCOUNT) ++block->locks;
    return block->data;
}

BOOL block_unlock(HGLOBAL memory) {
    auto& table = blocks();
    std::lock_guard guard(table.lock);
    if (table.find_fixed(memory)) return fail_false(ERROR_NOT_LOCKED);
    Moveable* block = table.find_moveable(memory);
    if (!block) return fail_false(ERROR_INVALID_HANDLE);
    if (block->locks == 0) return fail_false(ERROR_NOT_LOCKED);
    if (--block->locks) return TRUE;
    SetLastError(NO_ERROR);
    return FALSE;
}

SIZE_T block_size(HGLOBAL memory) {
    auto& table = blocks();
    std::lock_guard guard(table.lock);
    if (SIZE_T* size = table.find_fixed(memory)) return *size;
    if (Moveable* block = table.find_moveable(memory)) return block->size;
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
}

UINT block_flags(HGLOBAL memory) {
    auto& table = blocks();
    std::lock_guard guard(table.lock);
    if (table.find_fixed(memory)) return 0;
    if (Moveable* block = table.find_moveable(memory))
        return block->locks | (block->flags ? GMEM_DISCARDABLE : 0) | (block->data ? 0 : GMEM_DISCARDED);
    SetLastError(ERROR_INVALID_HANDLE);
    return GMEM_INVALID_HANDLE;
}

HGLOBAL block_handle(LPCVOID address) {
    auto& table = blocks();
    std::lock_guard guard(table.lock);
    void* key = const_cast<void*>(address);
    if (table.find_fixed(key)) return key;
    auto it = table.handle_of.find(key);
    if (it != table.handle_of.end()) return it->second;
    return fail_null(ERROR_INVALID_HANDLE);
}

HGLOBAL realloc_fixed(BlockTable& table, HGLOBAL memory, SIZE_T& size, SIZE_T bytes, UINT flags) {
    if (flags & GMEM_MODIFY) {
        if (!(flags & GMEM_MOVEABLE)) return memory;
        // Turn the fixed block into a moveable one around the same memory.
        Moveable block;
        block.data = memory;
        block.size = size;
        table.fixed.erase(memory);
        HGLOBAL handle = table.new_handle();
        table.handle_of.emplace(memory, handle);
        table.moveable.emplace(handle, block);
        return handle;
    }
    // A fixed block's address is what the caller holds: it may only move
    // when the caller says so.
    void* data = resize(memory, size, bytes, flags & GMEM_ZEROINIT, !(flags & GMEM_MOVEABLE));
    if (!data) return fail_null(ERROR_NOT_ENOUGH_MEMORY);
    if (data == memory) {
        size = bytes;
    } else {
        table.fixed.erase(memory);
        table.fixed.emplace(data, bytes);
    }
    return data;
}

HGLOBAL realloc_moveable(BlockTable& table, HGLOBAL memory, Moveable& block, SIZE_T bytes, UINT flags) {
    if (flags & GMEM_MODIFY) {
        if (flags & GMEM_DISCARDABLE) block.flags |= GMEM_DISCARDABLE;
        return memory;
    }
    if (bytes == 0) {
        // Size 0 discards the contents but keeps the handle.
        if (block.locks) return fail_null(ERROR_NOT_ENOUGH_MEMORY);
        if (block.data) {
            table.handle_of.erase(block.data);
            std::free(block.data);
        }
        block.data = nullptr;
        block.size = 0;
        return memory;
    }
    void* data = block.data ? resize(block.data, block.size, bytes, flags & GMEM_ZEROINIT,
                                     block.locks && !(flags & GMEM_MOVEABLE))
                            : allocate(bytes, flags & GMEM_ZEROINIT);
    if (!data) return fail_null(ERROR_NOT_ENOUGH_MEMORY);
    if (data != block.data) {
        if (block.data) table.handle_of.erase(block.data);
        table.handle_of.emplace(data, memory);
        block.data = data;
    }
    block.size = bytes;
    return memory;
}

HGLOBAL block_realloc(HGLOBAL memory, SIZE_T bytes, UINT flags) {
    if (bytes >= largest_block) return fail_null(ERROR_NOT_ENOUGH_MEMORY);
    auto& table = blocks();
    std::lock_guard guard(table.lock);
    if (SIZE_T* size = table.find_fixed(memory)) return realloc_fixed(table, memory, *size, bytes, flags);
    if (Moveable* block = table.find_moveable(memory)) return realloc_moveable(table, memory, *block, bytes, flags);
    return fail_null(ERROR_INVALID_HANDLE);
}

}  // namespace

extern "C" {

QORAPI HANDLE HeapCreate(DWORD, SIZE_T, SIZE_T maximum_size) {
    return qor::guarded(static_cast<HANDLE>(nullptr), [&]() -> HANDLE {
        auto heap = std::make_shared<Heap>();
        heap->maximum = maximum_size;
        return heaps().add(std::move(heap));
    });
}

QORAPI BOOL HeapDestroy(HANDLE heap) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (heap == process_heap()) return fail_false(ERROR_INVALID_PARAMETER);
        auto found = heaps().remove(heap);
        if (!found) return fail_false(ERROR_INVALID_HANDLE);
        std::lock_guard guard(found->lock);
        for (auto& [block, size] : found->blocks) std::free(block);
        found->blocks.clear();
        found->used = 0;
        found->destroyed = true;
        return TRUE;
    });
}

QORAPI HANDLE GetProcessHeap(void) { return process_heap(); }

QORAPI LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    return qor::guarded(static_cast<LPVOID>(nullptr), [&]() -> LPVOID {
        auto found = heaps().find(heap);
        if (!found) return nullptr;
        if (bytes >= largest_block) return fail_null(ERROR_NOT_ENOUGH_MEMORY);
        {
            std::lock_guard guard(found->lock);
            if (found->destroyed) return fail_null(ERROR_INVALID_HANDLE);
            if (!found->fits(bytes)) return fail_null(ERROR_NOT_ENOUGH_MEMORY);
            found->used += bytes;  // reserved before the allocation, so a bounded heap never overshoots
        }
        void* block = allocate(bytes, flags & HEAP_ZERO_MEMORY);
        std::lock_guard guard(found->lock);
        if (!block || found->destroyed) {
            std::free(block);
            if (!found->destroyed) found->used -= bytes;
            return fail_null(block ? ERROR_INVALID_HANDLE : ERROR_NOT_ENOUGH_MEMORY);
        }
        found->blocks.emplace(block, bytes);
        return block;
    });
}

QORAPI LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes) {
    return qor::guarded(static_cast<LPVOID>(nullptr), [&]() -> LPVOID {
        auto found = heaps().find(heap);
        if (!found) return nullptr;
        if (bytes >= largest_block) return fail_null(ERROR_NOT_ENOUGH_MEMORY);
        // The resize runs under the heap's lock so the block cannot be freed or
        // moved by another thread meanwhile.
        std::lock_guard guard(found->lock);
        auto it = found->blocks.find(block);
        if (it == found->blocks.end()) return fail_null(ERROR_INVALID_PARAMETER);
        SIZE_T old_size = it->second;
        if (bytes > old_size && !found->fits(bytes - old_size)) return fail_null(ERROR_NOT_ENOUGH_MEMORY);
        void* result = resize(block, old_size, bytes, flags & HEAP_ZERO_MEMORY, flags & HEAP_REALLOC_IN_PLACE_ONLY);
        if (!result) return fail_null(ERROR_NOT_ENOUGH_MEMORY);
        found->used = found->used - old_size + bytes;
        if (result == block) {
            it->second = bytes;
        } else {
            found->blocks.erase(it);
            found->blocks.emplace(result, bytes);
        }
        return result;
    });
}

QORAPI BOOL HeapFree(HANDLE heap, DWORD, LPVOID block) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        auto found = heaps().find(heap);
        if (!found) return FALSE;
        if (!block) return TRUE;
        {
            std::lock_guard guard(found->lock);
            auto it = found->blocks.find(block);
            if (it == found->blocks.end()) return fail_false(ERROR_INVALID_PARAMETER);
            found->used -= it->second;
            found->blocks.erase(it);
        }
        std::free(block);
        return TRUE;
    });
}

QORAPI SIZE_T HeapSize(HANDLE heap, DWORD, LPCVOID block) {
    return qor::guarded(SIZE_T(-1), [&]() -> SIZE_T {
        auto found = heaps().find(heap);
        if (!found) return static_cast<SIZE_T>(-1);
        std::lock_guard guard(found->lock);
        auto it = found->blocks.find(const_cast<void*>(block));
        if (it == found->blocks.end()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return static_cast<SIZE_T>(-1);
        }
        return it->second;
    });
}

QORAPI BOOL HeapValidate(HANDLE heap, DWORD, LPCVOID block) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        auto found = heaps().find(heap);
        if (!found) return FALSE;
        if (!block) return TRUE;
        std::lock_guard guard(found->lock);
        return found->blocks.count(const_cast<void*>(block)) ? TRUE : FALSE;
    });
}

QORAPI HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) { return block_alloc(flags, bytes); }
QORAPI HGLOBAL GlobalReAlloc(HGLOBAL memory, SIZE_T bytes, UINT flags) { return block_realloc(memory, bytes, flags); }
QORAPI HGLOBAL GlobalFree(HGLOBAL memory) { return block_free(memory); }
QORAPI LPVOID GlobalLock(HGLOBAL memory) { return block_lock(memory); }
QORAPI BOOL GlobalUnlock(HGLOBAL memory) { return block_unlock(memory); }
QORAPI SIZE_T GlobalSize(HGLOBAL memory) { return block_size(memory); }
QORAPI UINT GlobalFlags(HGLOBAL memory) { return block_flags(memory); }
QORAPI HGLOBAL GlobalHandle(LPCVOID address) { return block_handle(address); }

// Local and global blocks are one kind, so the local calls are the global
// ones under their other names.
QORAPI HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) __attribute__((alias("GlobalAlloc")));
QORAPI HLOCAL LocalReAlloc(HLOCAL memory, SIZE_T bytes, UINT flags) __attribute__((alias("GlobalReAlloc")));
QORAPI HLOCAL LocalFree(HLOCAL memory) __attribute__((alias("GlobalFree")));
QORAPI LPVOID LocalLock(HLOCAL memory) __attribute__((alias("GlobalLock")));
QORAPI BOOL LocalUnlock(HLOCAL memory) __attribute__((alias("GlobalUnlock")));
QORAPI SIZE_T LocalSize(HLOCAL memory) __attribute__((alias("GlobalSize")));
QORAPI UINT LocalFlags(HLOCAL memory) __attribute__((alias("GlobalFlags")));
QORAPI HLOCAL LocalHandle(LPCVOID address) __attribute__((alias("GlobalHandle")));

}  // extern "C"
