#include "library.h"

#include "connection.h"

#include "common/status.h"

#include <cstring>

namespace qor::cil {

namespace {

std::mutex g_mutex;
std::shared_ptr<Library> g_library;

}  // namespace

Library::Library() {
    for (const char* name : {names::kStatusMutex, names::kDataMutex, names::kReplyMutex, names::kRequestMutex})
        if (HANDLE held = CreateMutexA(nullptr, FALSE, name)) kept_mutexes_.push_back(held);
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (GetVersionExA(&info)) {
        version_major = info.dwMajorVersion;
        version_minor = info.dwMinorVersion;
    }
}

// Unloaded with a session open: the session ends with the library.
Library::~Library() {
    disconnect(*this);
    if (session_mutex) CloseHandle(session_mutex);
    for (HANDLE held : kept_mutexes_) CloseHandle(held);
}

std::shared_ptr<Library> library() {
    std::lock_guard lock(g_mutex);
    return g_library;
}

bool attach() {
    auto state = std::make_shared<Library>();
    if (!state->valid()) return false;
    std::lock_guard lock(g_mutex);
    g_library = std::move(state);
    return true;
}

void detach() {
    std::shared_ptr<Library> last;
    {
        std::lock_guard lock(g_mutex);
        last.swap(g_library);
    }
}

}  // namespace qor::cil
