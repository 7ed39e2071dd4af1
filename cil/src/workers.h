// The three workers that carry out every status query, send and receive.
// Each takes the system-wide request mutex, talks to the monitor side with
// one request name and moves data through the blocks, while the calling
// thread waits with a time limit.
#pragma once

#include "library.h"

#include "qor/kernel.h"

#include <memory>

namespace qor::cil {

void run_status_worker(Library& library, StatusTask& task);
void run_receive_worker(Library& library, ReceiveTask& task);
void run_send_worker(Library& library, SendTask& task);

// Starts `run` on a thread with the default stack; the thread handle is
// closed at once. 0, or the platform's error when no thread could be made.
template <class Task>
DWORD start_worker(std::shared_ptr<Library> library, std::shared_ptr<Task> task, void (*run)(Library&, Task&)) {
    struct Start {
        std::shared_ptr<Library> library;
        std::shared_ptr<Task> task;
        void (*run)(Library&, Task&);
    };
    auto* start = new Start{std::move(library), std::move(task), run};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            std::unique_ptr<Start> owned(static_cast<Start*>(parameter));
            owned->run(*owned->library, *owned->task);
            return 0;
        },
        start, 0, nullptr);
    if (!thread) {
        const DWORD error = GetLastError();
        delete start;
        return error ? error : DWORD(ERROR_NOT_ENOUGH_MEMORY);
    }
    CloseHandle(thread);
    return 0;
}

}  // namespace qor::cil
