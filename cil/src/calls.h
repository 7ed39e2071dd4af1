// The printer handle API's calls on the library state; the exports
// (exports.cpp) find the state and forward here.
#pragma once

#include "library.h"

#include <memory>

namespace qor::cil {

// 0, or 100005 when the handle cannot be waited on. A time-out (another
// thread owns the session) is accepted; a hold the wait took is given back.
DWORD check_session(HANDLE session);

DWORD open_session(const std::shared_ptr<Library>& library, const char* name, HANDLE* session);
DWORD close_session(Library& library, HANDLE session);
DWORD query_status(const std::shared_ptr<Library>& library, HANDLE session, DWORD* status, DWORD option);
DWORD exchange_data(const std::shared_ptr<Library>& library, HANDLE session, const BYTE* send, DWORD send_length,
                    DWORD* sent, BYTE* receive, DWORD receive_size, DWORD* received);

}  // namespace qor::cil
