// Shows the platform layer at work between two processes: a named
// shared-memory block guarded by a named mutex, events that wake the other
// side, and a mutex that is handed over abandoned when its owner is killed.
#include "qor/kernel.h"
#include "qor/sysinfo.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* kBlock = "QOR_DEMO_Shared_Block";
constexpr const char* kMutex = "QOR_DEMO_MUTEX_Block";
constexpr const char* kWritten = "QOR_DEMO_EVENT_Written";
constexpr const char* kHolding = "QOR_DEMO_EVENT_Holding";
constexpr DWORD kBlockSize = 4096;

struct Block {
    DWORD counter;
    char text[256];
};

int child(const char* self) {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kBlock);
    HANDLE mutex = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kMutex);
    HANDLE written = OpenEventA(EVENT_ALL_ACCESS, FALSE, kWritten);
    HANDLE holding = OpenEventA(EVENT_ALL_ACCESS, FALSE, kHolding);
    if (!mapping || !mutex || !written || !holding) {
        std::fprintf(stderr, "%s: cannot open the shared objects (error %u)\n", self, GetLastError());
        return 1;
    }
    auto* block = static_cast<Block*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    for (int i = 1; i <= 3; ++i) {
        WaitForSingleObject(mutex, INFINITE);
        block->counter = DWORD(i);
        std::snprintf(block->text, sizeof block->text, "message %d from process %d", i, int(getpid()));
        ReleaseMutex(mutex);
        SetEvent(written);
        Sleep(50);
    }
    // Take the mutex and keep it: the parent kills this process now.
    WaitForSingleObject(mutex, INFINITE);
    SetEvent(holding);
    for (;;) pause();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return child(argv[0]);
    if (argc > 1) {
        std::printf("usage: %s\n  Runs a short demonstration of named kernel objects shared by two processes.\n",
                    argv[0]);
        return std::strcmp(argv[1], "--help") == 0 ? 0 : 2;
    }
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBlockSize, kBlock);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kMutex);
    HANDLE written = CreateEventA(nullptr, FALSE, FALSE, kWritten);
    HANDLE holding = CreateEventA(nullptr, TRUE, FALSE, kHolding);
    if (!mapping || !mutex || !written || !holding) {
        std::fprintf(stderr, "cannot create the shared objects (error %u)\n", GetLastError());
        return 1;
    }
    auto* block = static_cast<Block*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    std::printf("Created shared block \"%s\" (%u bytes, zero-filled: %s)\n", kBlock, kBlockSize,
                block->counter == 0 ? "yes" : "no");

    pid_t pid = fork();
    if (pid == 0) {
        execl("/proc/self/exe", argv[0], "--child", static_cast<char*>(nullptr));
        _exit(127);
    }
    std::printf("Started process %d\n", int(pid));
    for (int i = 0; i < 3; ++i) {
        auto start = std::chrono::steady_clock::now();
        if (WaitForSingleObject(written, 5000) != WAIT_OBJECT_0) {
            std::fprintf(stderr, "the other process did not answer\n");
            kill(pid, SIGKILL);
            return 1;
        }
        auto us = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
        WaitForSingleObject(mutex, INFINITE);
        std::printf("  read under the mutex: #%u \"%s\" (woken after %lld us)\n", block->counter, block->text,
                    static_cast<long long>(us.count()));
        ReleaseMutex(mutex);
    }
    WaitForSingleObject(holding, 5000);
    std::printf("Process %d now owns the mutex; killing it with SIGKILL\n", int(pid));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    DWORD r = WaitForSingleObject(mutex, 5000);
    std::printf("Waiting for the mutex returned %s\n",
                r == WAIT_ABANDONED ? "WAIT_ABANDONED: the dead owner's mutex was handed over"
                : r == WAIT_OBJECT_0 ? "WAIT_OBJECT_0" : "a failure");
    if (r == WAIT_ABANDONED || r == WAIT_OBJECT_0) ReleaseMutex(mutex);
    UnmapViewOfFile(block);
    for (HANDLE h : {mapping, mutex, written, holding}) CloseHandle(h);
    return r == WAIT_ABANDONED ? 0 : 1;
}
