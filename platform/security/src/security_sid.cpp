// SID calls.
#include "qor/guard.h"
#include "security_layout.h"

#include <cstdlib>
#include <cstring>

using namespace qor::security;

namespace {
// A caller's SID is read as far as its own header says, at most this far.
constexpr size_t kMaxSid = SECURITY_MAX_SID_SIZE;

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}
}  // namespace

extern "C" QORAPI BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD s0, DWORD s1,
                                                DWORD s2, DWORD s3, DWORD s4, DWORD s5, DWORD s6, DWORD s7,
                                                PSID* sid) {
    if (!authority || !sid || count > 8) return fail(ERROR_INVALID_PARAMETER);
    const DWORD subs[8] = {s0, s1, s2, s3, s4, s5, s6, s7};
    size_t length = 8 + 4 * size_t(count);
    auto* bytes = static_cast<uint8_t*>(std::calloc(1, length));
    if (!bytes) return fail(ERROR_NOT_ENOUGH_MEMORY);
    bytes[0] = SID_REVISION;
    bytes[1] = count;
    std::memcpy(bytes + 2, authority->Value, 6);
    std::memcpy(bytes + 8, subs, 4 * size_t(count));
    *sid = bytes;
    return TRUE;
}

extern "C" QORAPI PVOID FreeSid(PSID sid) {
    std::free(sid);
    return nullptr;
}

extern "C" QORAPI BOOL IsValidSid(PSID sid) { return sid_length(sid, kMaxSid) != 0; }

extern "C" QORAPI DWORD GetLengthSid(PSID sid) { return DWORD(sid_length(sid, kMaxSid)); }

extern "C" QORAPI BOOL EqualSid(PSID a, PSID b) {
    size_t la = sid_length(a, kMaxSid), lb = sid_length(b, kMaxSid);
    if (!la || !lb) return fail(ERROR_INVALID_SID);
    SetLastError(ERROR_SUCCESS);
    return la == lb && std::memcmp(a, b, la) == 0;
}

extern "C" QORAPI BOOL CopySid(DWORD length, PSID destination, PSID source) {
    size_t n = sid_length(source, kMaxSid);
    if (!n || !destination) return fail(ERROR_INVALID_SID);
    if (length < n) return fail(ERROR_INSUFFICIENT_BUFFER);
    std::memmove(destination, source, n);
    return TRUE;
}
