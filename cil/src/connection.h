// One call's connection: a spooler handle held from connect to disconnect.
// Only the call that connected disconnects; a call refused because another
// thread is connected leaves that connection alone.
#pragma once

#include "library.h"

namespace qor::cil {

class Connection {
public:
    explicit Connection(Library& library) : library_(library) {}
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The connect steps; 0 when connected, else the result code.
    DWORD connect();
    // The spooler handle the requests go to (null when not connected).
    HANDLE requests() const { return requests_; }

private:
    Library& library_;
    bool owner_ = false;
    HANDLE requests_ = nullptr;
};

// Ends the connection held in the library, if any: the end request, then
// the handle is closed.
void disconnect(Library& library);

}  // namespace qor::cil
