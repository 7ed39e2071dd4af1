// Heaps and global blocks shared by several threads (run under TSan).
#include "qor/memory.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

TEST(MemoryThreads, ConcurrentHeapAndGlobalUse) {
    HANDLE shared = HeapCreate(0, 0, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([shared, t] {
            for (int i = 0; i < 2000; ++i) {
                auto* block = static_cast<int*>(HeapAlloc(shared, HEAP_ZERO_MEMORY, 32 + (i % 64)));
                ASSERT_NE(nullptr, block);
                block[0] = t;
                block = static_cast<int*>(HeapReAlloc(shared, 0, block, 256));
                ASSERT_NE(nullptr, block);
                EXPECT_EQ(t, block[0]);
                if (i % 3) {
                    EXPECT_TRUE(HeapFree(shared, 0, block));  // the rest are left for HeapDestroy
                }
                HGLOBAL handle = GlobalAlloc(GHND, 16);
                auto* data = static_cast<int*>(GlobalLock(handle));
                ASSERT_NE(nullptr, data);
                data[0] = t;
                GlobalUnlock(handle);
                EXPECT_EQ(nullptr, GlobalFree(handle));
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_TRUE(HeapDestroy(shared));
}

}  // namespace
