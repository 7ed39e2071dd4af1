// The system-wide request mutex: one worker of any process talks to the
// monitor side at a time, and a worker gives up after 2000 ms. An
// abandoned mutex (its holder died) counts as obtained.
#pragma once

#include "qor/base.h"

namespace qor::cil {

class RequestLock {
public:
    RequestLock();
    ~RequestLock();
    RequestLock(const RequestLock&) = delete;
    RequestLock& operator=(const RequestLock&) = delete;

    bool held() const { return held_; }

private:
    HANDLE mutex_ = nullptr;
    bool held_ = false;
};

}  // namespace qor::cil
