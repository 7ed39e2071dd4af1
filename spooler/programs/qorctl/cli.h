// What every qorctl command shares: its arguments, the way it reports a
// failure or a usage error, and the spooler calls it makes the same way.
#pragma once

#include "qor/spooler.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qorctl {

using Args = std::vector<std::string>;

// Exit codes.
constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

std::u16string wide(const std::string& s);
std::string narrow(LPCWSTR s);
// "printer \"Kiosk\"": names in messages, quoted so spaces show.
std::string quoted(const std::string& name);

// "qorctl: WHAT failed: <the error in words> (error N)" for the calling
// thread's last error; returns kFailed.
int fail(const std::string& what);
// The same with a reason of the caller's own.
int fail_because(const std::string& what, const std::string& reason);
// "qorctl: WHY" and the hint to --help; returns kUsage.
int usage_error(const std::string& why);
// "qorctl: WHAT" for input that cannot be used (a folder, an empty file);
// returns kUsage.
int bad_input(const std::string& what);

// A packed list from an Enum*/Get* call: size query, then the data.
template <class Call>
bool fetch(std::vector<uint8_t>& buf, DWORD& count, Call call) {
    DWORD needed = 0;
    count = 0;
    if (call(nullptr, 0, &needed, &count)) return true;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    buf.assign(needed, 0);
    return call(buf.data(), needed, &needed, &count);
}

// A printer handle with full access, closed at the end of the scope.
class Printer {
public:
    explicit Printer(const std::string& name);
    ~Printer();
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;
    HANDLE get() const { return h_; }

private:
    HANDLE h_ = nullptr;
};

}  // namespace qorctl
