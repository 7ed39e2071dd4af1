// Kernel objects across threads and real processes.
#include "qor/kernel.h"
#include "qortest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sys/resource.h>
#include <thread>

using namespace std::chrono;
using qortest::Child;

namespace {

// Starts helper_kernel and waits until it has done its part.
Child start_helper(const std::string& command, const std::string& name, const std::string& arg = "") {
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, (name + ".ready").c_str());
    std::vector<std::string> args{command, name};
    if (!arg.empty()) args.push_back(arg);
    Child child = Child::spawn("qortest_helper_kernel", args);
    EXPECT_EQ(WaitForSingleObject(ready, 10000), WAIT_OBJECT_0) << "helper did not get ready";
    CloseHandle(ready);
    return child;
}

int64_t elapsed_ms(steady_clock::time_point since) {
    return duration_cast<milliseconds>(steady_clock::now() - since).count();
}

}  // namespace

TEST(KernelNames, OpenOfMissingNameFailsAtOnceWithFileNotFound) {
    auto start = steady_clock::now();
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, "never-made"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, "never-made"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(OpenEventA(SYNCHRONIZE, FALSE, "never-made"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_LT(elapsed_ms(start), 50);
}

TEST(KernelNames, CreateOrOpenReportsExistingWhileAnotherProcessHoldsIt) {
    Child holder = start_helper("hold-event", "held");
    SetLastError(qortest::kStaleError);
    HANDLE e = CreateEventA(nullptr, FALSE, FALSE, "held");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    CloseHandle(e);
    holder.kill();
    // The killed holder leaves nothing that makes the name look taken.
    SetLastError(qortest::kStaleError);
    e = CreateEventA(nullptr, FALSE, FALSE, "held");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
    CloseHandle(e);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(OpenEventA(SYNCHRONIZE, FALSE, "held"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST(KernelNames, NameOfAnotherKindIsRefused) {
    HANDLE m = CreateMutexA(nullptr, FALSE, "shared-name");
    ASSERT_NE(m, nullptr);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(CreateEventA(nullptr, FALSE, FALSE, "shared-name"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    CloseHandle(m);
}

TEST(KernelNames, EachRuntimeFolderIsItsOwnNamespace) {
    std::string other = qortest::sandbox() + "/other-run";
    std::string mine = std::getenv("QOR_RUNTIME_DIR");
    setenv("QOR_RUNTIME_DIR", other.c_str(), 1);
    Child holder = start_helper("hold-event", "private");
    setenv("QOR_RUNTIME_DIR", mine.c_str(), 1);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(OpenEventA(SYNCHRONIZE, FALSE, "private"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST(KernelNames, WideAndNarrowNamesMeet) {
    HANDLE a = CreateEventA(nullptr, TRUE, FALSE, "Global\\QOR_wide");
    HANDLE w = OpenEventW(SYNCHRONIZE, FALSE, u"QOR_wide");
    ASSERT_NE(w, nullptr);
    SetEvent(a);
    EXPECT_EQ(WaitForSingleObject(w, 0), WAIT_OBJECT_0);
    CloseHandle(a);
    CloseHandle(w);
}

TEST(KernelMutex, RecursiveForOwnerAndRefusedToOthers) {
    HANDLE m = CreateMutexA(nullptr, TRUE, nullptr);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
    std::atomic<DWORD> other_release_error{0};
    std::atomic<DWORD> other_wait{0};
    std::thread other([&] {
        other_wait = WaitForSingleObject(m, 50);
        other_release_error = ReleaseMutex(m) ? 0u : GetLastError();
    });
    other.join();
    EXPECT_EQ(other_wait.load(), DWORD(WAIT_TIMEOUT));
    EXPECT_EQ(other_release_error.load(), DWORD(ERROR_NOT_OWNER));
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_TRUE(ReleaseMutex(m));
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(ReleaseMutex(m));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_OWNER));
    CloseHandle(m);
}

TEST(KernelMutex, OwnerThreadEndingAbandonsIt) {
    HANDLE m = CreateMutexA(nullptr, FALSE, "thread-abandon");
    std::thread owner([&] { EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0); });
    owner.join();
    EXPECT_EQ(WaitForSingleObject(m, 1000), WAIT_ABANDONED);
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(m));
    CloseHandle(m);
}

TEST(KernelMutex, KilledOwnerProcessHandsItOverAbandoned) {
    HANDLE m = CreateMutexA(nullptr, FALSE, "process-abandon");
    Child owner = start_helper("hold-mutex", "process-abandon");
    EXPECT_EQ(WaitForSingleObject(m, 100), WAIT_TIMEOUT);
    std::thread killer([&] {
        std::this_thread::sleep_for(milliseconds(50));
        owner.kill();
    });
    auto start = steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(m, 5000), WAIT_ABANDONED);
    EXPECT_LT(elapsed_ms(start), 1000);
    killer.join();
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(m));
    CloseHandle(m);
}

TEST(KernelMutex, OwnerProcessExitingWithoutReleaseAbandonsIt) {
    HANDLE m = CreateMutexA(nullptr, FALSE, "exit-abandon");
    Child owner = start_helper("exit-owning", "exit-abandon");
    EXPECT_EQ(owner.wait(), 0);
    EXPECT_EQ(WaitForSingleObject(m, 1000), WAIT_ABANDONED);
    EXPECT_TRUE(ReleaseMutex(m));
    CloseHandle(m);
}

TEST(KernelMutex, CreatorMayOwnAtCreationButNotWhenItExisted) {
    HANDLE first = CreateMutexA(nullptr, TRUE, "initial-owner");
    SetLastError(qortest::kStaleError);
    HANDLE second = CreateMutexA(nullptr, TRUE, "initial-owner");
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    // Same thread: recursive, so one release per successful acquisition.
    EXPECT_TRUE(ReleaseMutex(first));
    EXPECT_FALSE(ReleaseMutex(second));
    CloseHandle(first);
    CloseHandle(second);
}

TEST(KernelMutex, LastCloseFreesTheNameEvenWhileItsThreadOwnsIt) {
    std::thread owner([] {
        HANDLE m = CreateMutexA(nullptr, TRUE, "owned-at-close");
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
        EXPECT_TRUE(CloseHandle(m));
        EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, "owned-at-close"), nullptr);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
        // Another process makes the name afresh and owns it at once.
        Child other = start_helper("hold-mutex", "owned-at-close");
        other.kill();
        // The closed mutex is still on this thread's robust list; locking and
        // unlocking another one rewrites that list around it.
        HANDLE second = CreateMutexA(nullptr, TRUE, "locked-after-close");
        EXPECT_TRUE(ReleaseMutex(second));
        CloseHandle(second);
    });
    owner.join();  // the thread's end walks its robust list through the kept page
    HANDLE again = CreateMutexA(nullptr, FALSE, "owned-at-close");
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(WaitForSingleObject(again, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(again));
    CloseHandle(again);
}

TEST(KernelWait, TimeoutsHonourTheirLimit) {
    HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    for (DWORD limit : {0u, 100u, 250u}) {
        auto start = steady_clock::now();
        EXPECT_EQ(WaitForSingleObject(e, limit), DWORD(WAIT_TIMEOUT));
        int64_t took = elapsed_ms(start);
        EXPECT_GE(took, int64_t(limit));
        EXPECT_LT(took, int64_t(limit) + 400);  // generous: sanitizer builds on a busy machine
    }
    HANDLE m = CreateMutexA(nullptr, FALSE, "timed");
    Child owner = start_helper("hold-mutex", "timed");
    auto start = steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(m, 100), DWORD(WAIT_TIMEOUT));
    EXPECT_GE(elapsed_ms(start), 100);
    EXPECT_LT(elapsed_ms(start), 500);
    CloseHandle(e);
    CloseHandle(m);
}

TEST(KernelWait, MultipleWakesOnTheFirstSignalledByAnotherProcess) {
    HANDLE events[3];
    for (int i = 0; i < 3; ++i)
        events[i] = CreateEventA(nullptr, FALSE, FALSE, ("multi-" + std::to_string(i)).c_str());
    Child setter = Child::spawn("qortest_helper_kernel", {"set-event", "multi-2", "50"});
    auto start = steady_clock::now();
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 5000), DWORD(WAIT_OBJECT_0 + 2));
    EXPECT_LT(elapsed_ms(start), 1000);
    EXPECT_EQ(setter.wait(), 0);
    // Consumed: an automatic-reset event lets one wait through.
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 50), DWORD(WAIT_TIMEOUT));
    for (HANDLE e : events) CloseHandle(e);
}

TEST(KernelWait, MultipleWakesOnAMutexReleasedByAnotherProcess) {
    HANDLE m = CreateMutexA(nullptr, FALSE, "multi-mutex");
    HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    Child owner = start_helper("release-mutex-after", "multi-mutex", "100");
    HANDLE both[2] = {e, m};
    auto start = steady_clock::now();
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 5000), DWORD(WAIT_OBJECT_0 + 1));
    EXPECT_GE(elapsed_ms(start), 50);
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_EQ(owner.wait(), 0);
    CloseHandle(m);
    CloseHandle(e);
}

TEST(KernelWait, BadHandlesAndArgumentsFail) {
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(0x12345), 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(WaitForMultipleObjects(0, nullptr, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(0x12345)));
    HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_TRUE(CloseHandle(e));
    EXPECT_FALSE(CloseHandle(e));  // closed handles are not reused
    EXPECT_FALSE(SetEvent(e));
}

TEST(KernelEvent, AutoResetReleasesOneWaiterPerSet) {
    HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> woke{0};
    auto waiter = [&] {
        if (WaitForSingleObject(e, 2000) == WAIT_OBJECT_0) ++woke;
    };
    std::thread a(waiter), b(waiter);
    std::this_thread::sleep_for(milliseconds(50));
    SetEvent(e);
    EXPECT_TRUE(qortest::eventually([&] { return woke.load() == 1; }));
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(woke.load(), 1);
    SetEvent(e);
    a.join();
    b.join();
    EXPECT_EQ(woke.load(), 2);
    CloseHandle(e);
}

TEST(KernelEvent, ManualResetStaysSignalledUntilReset) {
    HANDLE e = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    ResetEvent(e);
    EXPECT_EQ(WaitForSingleObject(e, 0), DWORD(WAIT_TIMEOUT));
    CloseHandle(e);
}

TEST(KernelMapping, NewBlockIsZeroAndSharedWithAnotherProcess) {
    SetLastError(qortest::kStaleError);
    HANDLE m = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4112, "block");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
    auto* p = static_cast<unsigned char*>(MapViewOfFile(m, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 4112; ++i) ASSERT_EQ(p[i], 0) << i;
    Child writer = start_helper("hold-mapping", "block", "from the other side");
    EXPECT_STREQ(reinterpret_cast<char*>(p), "from the other side");
    EXPECT_TRUE(UnmapViewOfFile(p));
    EXPECT_FALSE(UnmapViewOfFile(p));
    CloseHandle(m);
}

TEST(KernelMapping, ReadOnlyOpenGivesReadOnlyViews) {
    Child writer = start_helper("hold-mapping", "ro-block", "data");
    HANDLE ro = OpenFileMappingA(FILE_MAP_READ, FALSE, "ro-block");
    ASSERT_NE(ro, nullptr);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(MapViewOfFile(ro, FILE_MAP_WRITE, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    auto* p = static_cast<const char*>(MapViewOfFile(ro, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p, "data");
    EXPECT_EQ(MapViewOfFile(ro, FILE_MAP_READ, 0, 0, 8192), nullptr);  // beyond the block
    UnmapViewOfFile(p);
    CloseHandle(ro);
}

TEST(KernelMapping, StaleBlockOfKilledCreatorComesBackZeroed) {
    {
        Child writer = start_helper("hold-mapping", "stale", "old contents");
        writer.kill();
    }
    SetLastError(qortest::kStaleError);
    HANDLE m = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, "stale");
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
    auto* p = static_cast<const char*>(MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[0], 0);
    UnmapViewOfFile(p);
    CloseHandle(m);
}

TEST(KernelMapping, OrdinaryFileMapsReadOnly) {
    std::string path = qortest::sandbox() + "/file.txt";
    std::ofstream(path) << "line one\r\nline two\r\n";
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(f, nullptr), 20u);
    HANDLE m = CreateFileMappingA(f, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(m, nullptr);
    auto* p = static_cast<const char*>(MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::string(p, 8), "line one");
    EXPECT_EQ(CreateFileMappingA(f, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
    UnmapViewOfFile(p);
    CloseHandle(m);
    CloseHandle(f);

    std::string empty = qortest::sandbox() + "/empty.txt";
    std::ofstream(empty).flush();
    f = CreateFileA(empty.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(CreateFileMappingA(f, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_INVALID));
    CloseHandle(f);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(CreateFileA((qortest::sandbox() + "\\missing").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                          nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

namespace {
DWORD thread_body(LPVOID param) {
    auto* gate = static_cast<std::atomic<int>*>(param);
    while (gate->load() == 0) std::this_thread::sleep_for(milliseconds(1));
    return 42;
}
}  // namespace

TEST(KernelThread, HandleSignalsEndAndKeepsExitCode) {
    std::atomic<int> gate{0};
    DWORD tid = 0;
    HANDLE t = CreateThread(nullptr, 16 * 1024, thread_body, &gate, 0, &tid);
    ASSERT_NE(t, nullptr);
    EXPECT_NE(tid, 0u);
    EXPECT_TRUE(SetThreadPriority(t, THREAD_PRIORITY_LOWEST));
    EXPECT_EQ(GetThreadPriority(t), THREAD_PRIORITY_LOWEST);
    errno = 0;
    EXPECT_EQ(getpriority(PRIO_PROCESS, id_t(tid)), 10);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, DWORD(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(t, 20), DWORD(WAIT_TIMEOUT));
    gate = 1;
    EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, 42u);
    CloseHandle(t);
}

namespace {
DWORD deep_stack_body(LPVOID) {
    volatile char buffer[256 * 1024];  // far more than the 16 KB asked for
    for (size_t i = 0; i < sizeof buffer; i += 512) buffer[i] = char(i);
    return DWORD(buffer[512]);
}
}  // namespace

TEST(KernelThread, SmallStackRequestStillReservesTheDefault) {
    HANDLE t = CreateThread(nullptr, 16 * 1024, deep_stack_body, nullptr, 0, nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, DWORD(char(512)));
    CloseHandle(t);
}

TEST(KernelThread, SuspendedThreadRunsOnResume) {
    std::atomic<int> gate{1};
    HANDLE t = CreateThread(nullptr, 0, thread_body, &gate, CREATE_SUSPENDED, nullptr);
    EXPECT_EQ(WaitForSingleObject(t, 50), DWORD(WAIT_TIMEOUT));
    EXPECT_EQ(ResumeThread(t), 1u);
    EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
    CloseHandle(t);
}

TEST(KernelCriticalSection, RecursiveAndExclusive) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EXPECT_TRUE(TryEnterCriticalSection(&cs));
    std::atomic<BOOL> other{TRUE};
    std::thread([&] { other = TryEnterCriticalSection(&cs); }).join();
    EXPECT_FALSE(other.load());
    LeaveCriticalSection(&cs);
    LeaveCriticalSection(&cs);
    std::thread([&] {
        other = TryEnterCriticalSection(&cs);
        if (other) LeaveCriticalSection(&cs);
    }).join();
    EXPECT_TRUE(other.load());
    DeleteCriticalSection(&cs);
}
