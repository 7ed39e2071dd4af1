#include "qor/memory.h"
#include "qortest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

bool all_zero(const void* block, size_t bytes) {
    auto p = static_cast<const unsigned char*>(block);
    for (size_t i = 0; i < bytes; ++i)
        if (p[i]) return false;
    return true;
}

TEST(BaseHeap, AllocResizeAndFree) {
    HANDLE heap = HeapCreate(0, 0, 0);
    ASSERT_NE(nullptr, heap);
    auto* block = static_cast<char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 100));
    ASSERT_NE(nullptr, block);
    EXPECT_TRUE(all_zero(block, 100));
    EXPECT_EQ(100u, HeapSize(heap, 0, block));
    std::memset(block, 'x', 100);

    block = static_cast<char*>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, block, 5000));
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(5000u, HeapSize(heap, 0, block));
    EXPECT_EQ('x', block[99]);
    EXPECT_TRUE(all_zero(block + 100, 4900));

    SetLastError(qortest::kStaleError);
    EXPECT_EQ(nullptr, HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, block, 1 << 20));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    EXPECT_EQ(5000u, HeapSize(heap, 0, block));  // untouched by the failure
    EXPECT_TRUE(HeapValidate(heap, 0, block));
    EXPECT_TRUE(HeapFree(heap, 0, block));
    EXPECT_TRUE(HeapFree(heap, 0, nullptr));
    EXPECT_TRUE(HeapDestroy(heap));
}

TEST(BaseHeap, ForeignAndStalePointersAreRejected) {
    HANDLE first = HeapCreate(0, 0, 0);
    HANDLE second = HeapCreate(0, 0, 0);
    void* block = HeapAlloc(first, 0, 16);
    int on_stack = 0;
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(HeapFree(second, 0, block));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_FALSE(HeapFree(first, 0, &on_stack));
    EXPECT_EQ(static_cast<SIZE_T>(-1), HeapSize(first, 0, &on_stack));
    EXPECT_TRUE(HeapFree(first, 0, block));
    EXPECT_FALSE(HeapFree(first, 0, block));  // a double free is refused, not repeated
    EXPECT_EQ(nullptr, HeapReAlloc(first, 0, block, 32));
    EXPECT_TRUE(HeapDestroy(first));
    EXPECT_TRUE(HeapDestroy(second));
}

TEST(BaseHeap, DestroyFreesEverythingAndRetiresTheHandle) {
    HANDLE heap = HeapCreate(0, 4096, 0);
    for (int i = 0; i < 100; ++i) ASSERT_NE(nullptr, HeapAlloc(heap, 0, 64 + i));  // left for destroy (ASan checks)
    EXPECT_TRUE(HeapDestroy(heap));
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(nullptr, HeapAlloc(heap, 0, 8));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_FALSE(HeapDestroy(heap));
    EXPECT_FALSE(HeapDestroy(GetProcessHeap()));
    EXPECT_EQ(nullptr, HeapAlloc(reinterpret_cast<HANDLE>(0x1234), 0, 8));
}

TEST(BaseHeap, BoundedHeapAndHugeRequestsFailCleanly) {
    HANDLE heap = HeapCreate(0, 0, 1000);
    void* a = HeapAlloc(heap, 0, 600);
    ASSERT_NE(nullptr, a);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(nullptr, HeapAlloc(heap, 0, 600));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    EXPECT_EQ(nullptr, HeapReAlloc(heap, 0, a, 1200));
    EXPECT_TRUE(HeapFree(heap, 0, a));
    EXPECT_NE(nullptr, HeapAlloc(heap, 0, 1000));
    EXPECT_EQ(nullptr, HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(-1)));
    EXPECT_EQ(nullptr, GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(1) << 40));
    EXPECT_TRUE(HeapDestroy(heap));
}

TEST(BaseGlobalMemory, MoveableBlockGivesAHandleAndCountsLocks) {
    HGLOBAL handle = GlobalAlloc(GHND, 64);
    ASSERT_NE(nullptr, handle);
    auto* data = static_cast<char*>(GlobalLock(handle));
    ASSERT_NE(nullptr, data);
    EXPECT_NE(static_cast<void*>(data), handle);
    EXPECT_TRUE(all_zero(data, 64));
    EXPECT_EQ(data, GlobalLock(handle));
    EXPECT_EQ(2u, GlobalFlags(handle) & GMEM_LOCKCOUNT);
    EXPECT_EQ(handle, GlobalHandle(data));
    EXPECT_EQ(64u, GlobalSize(handle));
    std::strcpy(data, "kept");

    EXPECT_TRUE(GlobalUnlock(handle));
    SetLastError(1);
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(GlobalUnlock(handle));
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), GetLastError());
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(GlobalUnlock(handle));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_LOCKED), GetLastError());

    EXPECT_EQ(handle, GlobalReAlloc(handle, 1 << 20, GMEM_ZEROINIT));
    EXPECT_EQ(static_cast<SIZE_T>(1 << 20), GlobalSize(handle));
    data = static_cast<char*>(GlobalLock(handle));
    EXPECT_STREQ("kept", data);
    EXPECT_TRUE(all_zero(data + 64, (1 << 20) - 64));
    // Locked and not allowed to move: growing far cannot succeed in place.
    EXPECT_EQ(nullptr, GlobalReAlloc(handle, 8 << 20, 0));
    EXPECT_EQ(handle, GlobalReAlloc(handle, 8 << 20, GMEM_MOVEABLE));
    EXPECT_EQ(nullptr, GlobalFree(handle));
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(handle, GlobalFree(handle));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(nullptr, GlobalLock(handle));
    EXPECT_EQ(0u, GlobalSize(handle));
}

TEST(BaseGlobalMemory, ZeroSizedMoveableBlockIsDiscarded) {
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(nullptr, handle);
    EXPECT_EQ(nullptr, GlobalLock(handle));
    EXPECT_TRUE(GlobalFlags(handle) & GMEM_DISCARDED);
    ASSERT_EQ(handle, GlobalReAlloc(handle, 10, GMEM_MOVEABLE));
    EXPECT_NE(nullptr, GlobalLock(handle));
    GlobalUnlock(handle);
    EXPECT_EQ(handle, GlobalReAlloc(handle, 0, GMEM_MOVEABLE));
    EXPECT_EQ(nullptr, GlobalLock(handle));
    EXPECT_EQ(nullptr, GlobalFree(handle));
}

TEST(BaseLocalMemory, FixedBlocksAreTheirOwnAddress) {
    auto* block = static_cast<char*>(LocalAlloc(LPTR, 40));
    ASSERT_NE(nullptr, block);
    EXPECT_TRUE(all_zero(block, 40));
    EXPECT_EQ(block, LocalLock(block));
    EXPECT_FALSE(LocalUnlock(block));
    EXPECT_EQ(block, LocalHandle(block));
    EXPECT_EQ(40u, LocalSize(block));
    // A fixed block only moves when allowed to.
    EXPECT_EQ(nullptr, LocalReAlloc(block, 1 << 20, LMEM_ZEROINIT));
    auto* moved = static_cast<char*>(LocalReAlloc(block, 1 << 20, LMEM_MOVEABLE | LMEM_ZEROINIT));
    ASSERT_NE(nullptr, moved);
    EXPECT_TRUE(all_zero(moved, 1 << 20));
    // Global and local calls accept each other's blocks.
    EXPECT_EQ(static_cast<SIZE_T>(1 << 20), GlobalSize(moved));
    EXPECT_EQ(nullptr, LocalFree(moved));

    char on_stack[8];
    EXPECT_EQ(static_cast<HLOCAL>(on_stack), LocalFree(on_stack));
    EXPECT_EQ(nullptr, LocalHandle(on_stack));
    EXPECT_EQ(nullptr, LocalFree(nullptr));
}

TEST(BaseLocalMemory, ModifyTurnsAFixedBlockMoveable) {
    void* fixed = GlobalAlloc(GPTR, 16);
    HGLOBAL handle = GlobalReAlloc(fixed, 0, GMEM_MODIFY | GMEM_MOVEABLE);
    ASSERT_NE(nullptr, handle);
    EXPECT_NE(fixed, handle);
    EXPECT_EQ(fixed, GlobalLock(handle));
    EXPECT_EQ(16u, GlobalSize(handle));
    GlobalUnlock(handle);
    EXPECT_EQ(nullptr, GlobalFree(handle));
}

}  // namespace
