// The guard every exported entry point runs through: what escapes a body
// becomes the call's failure and the matching error, never an exception.
#include "qor/guard.h"

#include "qortest.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

namespace {

TEST(Guard, AllocationFailureBecomesNotEnoughMemory) {
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(qor::guarded(BOOL(FALSE), []() -> BOOL { throw std::bad_alloc(); }), FALSE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    SetLastError(qortest::kStaleError);
    // A container asked for more than it can hold is an allocation failure too.
    static int marker = 0;
    EXPECT_EQ(qor::guarded(static_cast<HANDLE>(nullptr), []() -> HANDLE {
                  std::string s;
                  s.reserve(s.max_size() + 1);
                  return &marker;
              }),
              nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
}

TEST(Guard, AnythingElseBecomesAGeneralFailure) {
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(qor::guarded(-1, []() -> int { throw std::runtime_error("x"); }), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_GEN_FAILURE));
    SetLastError(qortest::kStaleError);
    qor::guarded_void([] { throw 42; });
    EXPECT_EQ(GetLastError(), DWORD(ERROR_GEN_FAILURE));
}

TEST(Guard, CodeCallsReturnTheErrorAndLeaveTheLastErrorAlone) {
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(qor::guarded_code([]() -> LONG { throw std::bad_alloc(); }), LONG(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(GetLastError(), qortest::kStaleError);
    EXPECT_EQ(qor::guarded_code([]() -> DWORD { return 5; }), 5u);
}

TEST(Guard, ASuccessfulBodyPassesItsResultAndErrorThrough) {
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(qor::guarded(BOOL(FALSE), [] {
                  SetLastError(ERROR_SUCCESS);
                  return BOOL(TRUE);
              }),
              TRUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
}

}  // namespace
