// Plays the other process in the kernel-object tests. Each command signals
// the named event "<name>.ready" once it has done its part, then holds what
// it made until it is killed, or exits as the command says.
#include "qor/kernel.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

void signal_ready(const std::string& name) {
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, (name + ".ready").c_str());
    SetEvent(ready);
    // The handle stays open so the event outlives this call.
}

[[noreturn]] void hold_forever() {
    for (;;) pause();
}

int usage() {
    std::fprintf(stderr,
                 "usage: helper_kernel hold-mutex|exit-owning|hold-event|set-event|release-mutex-after|"
                 "hold-mapping NAME [ARG]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    std::string command = argv[1];
    std::string name = argv[2];
    if (command == "hold-mutex" || command == "exit-owning" || command == "release-mutex-after") {
        HANDLE m = CreateMutexA(nullptr, FALSE, name.c_str());
        if (!m || WaitForSingleObject(m, INFINITE) == WAIT_FAILED) return 1;
        signal_ready(name);
        if (command == "exit-owning") _exit(0);
        if (command == "release-mutex-after") {
            usleep(useconds_t(std::atoi(argc > 3 ? argv[3] : "100")) * 1000u);
            return ReleaseMutex(m) ? 0 : 1;
        }
        hold_forever();
    }
    if (command == "hold-event") {
        if (!CreateEventA(nullptr, FALSE, FALSE, name.c_str())) return 1;
        signal_ready(name);
        hold_forever();
    }
    if (command == "set-event") {
        HANDLE e = OpenEventA(EVENT_ALL_ACCESS, FALSE, name.c_str());
        if (argc > 3) usleep(useconds_t(std::atoi(argv[3])) * 1000u);
        return e && SetEvent(e) ? 0 : 1;
    }
    if (command == "hold-mapping") {
        // Creates (or opens) a 4096-byte block and writes the pattern given.
        HANDLE m = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name.c_str());
        if (!m) return 1;
        auto* p = static_cast<char*>(MapViewOfFile(m, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        if (!p) return 1;
        const char* text = argc > 3 ? argv[3] : "";
        std::memcpy(p, text, std::strlen(text) + 1);
        signal_ready(name);
        hold_forever();
    }
    return usage();
}
