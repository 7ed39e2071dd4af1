// The one guard every exported entry point runs its body through: nothing
// escapes to a caller across the module boundary. An allocation failure
// becomes the call's failure with ERROR_NOT_ENOUGH_MEMORY, anything else
// with ERROR_GEN_FAILURE.
#pragma once

#include "qor/base.h"

#include <new>
#include <stdexcept>

namespace qor {

// The error an exception stands for.
inline DWORD error_of_exception() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    } catch (const std::length_error&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    } catch (...) {
        return ERROR_GEN_FAILURE;
    }
}

// For calls that report failure through the last error: `failure` is
// returned and the last error set.
template <class R, class Body>
R guarded(R failure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        SetLastError(error_of_exception());
        return failure;
    }
}

// For calls without a result.
template <class Body>
void guarded_void(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
        SetLastError(error_of_exception());
    }
}

// For calls that return their error code (the registry, printer data).
template <class Body>
auto guarded_code(Body&& body) noexcept -> decltype(body()) {
    try {
        return body();
    } catch (...) {
        return static_cast<decltype(body())>(error_of_exception());
    }
}

}  // namespace qor
