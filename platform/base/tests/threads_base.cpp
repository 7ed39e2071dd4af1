// Heaps, global blocks and the module loader used by several threads at
// once (run under TSan).
#include "qor/memory.h"
#include "qor/module.h"
#include "qor/strings.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

TEST(BaseMemoryThreads, ConcurrentHeapAndGlobalUse) {
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

TEST(BaseLoaderThreads, ConcurrentLoadsShareOneModule) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 200; ++i) {
                HMODULE module = LoadLibraryA(i % 2 ? "QORTESTRES.DLL" : "qortestres");
                ASSERT_NE(nullptr, module);
                WCHAR text[16];
                EXPECT_EQ(9, LoadStringW(module, 1, text, 16));
                EXPECT_NE(nullptr, GetProcAddress(module, "DllMain"));
                EXPECT_TRUE(FreeLibrary(module));
            }
        });
    }
    // Code-page tables are built on first use by whichever thread comes first.
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([] {
            WCHAR wide[4];
            EXPECT_EQ(2, MultiByteToWideChar(949, 0, "\xC7\xD1\xB1\xB9", 4, wide, 4));
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(nullptr, GetModuleHandleA("QORTESTRES.DLL"));
}

}  // namespace
