// Security descriptor calls. Reading calls accept both forms; the setters
// work on the absolute form only, as the parts are pointers there.
#include "security_layout.h"

#include <cstring>

using namespace qor::security;

namespace {

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// The caller's own descriptor: a self-relative one is trusted as far as its
// parts' headers tell, within the largest block its offsets can reach.
constexpr size_t kCallerBlock = 0x40000;

bool read_caller(PSECURITY_DESCRIPTOR sd, Parts& parts) {
    return read_descriptor(sd, kCallerBlock, parts);
}

SECURITY_DESCRIPTOR* absolute(PSECURITY_DESCRIPTOR sd) {
    auto* a = static_cast<SECURITY_DESCRIPTOR*>(sd);
    if (!a || a->Revision != SECURITY_DESCRIPTOR_REVISION) {
        SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return nullptr;
    }
    if (a->Control & SE_SELF_RELATIVE) {
        SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return nullptr;
    }
    return a;
}

size_t acl_size(const ACL* acl) { return acl ? acl->AclSize : 0; }

void put_part(uint8_t* block, size_t& at, const void* part, size_t size, DWORD& offset) {
    if (!part) {
        offset = 0;
        return;
    }
    std::memcpy(block + at, part, size);
    offset = DWORD(at);
    at += (size + 3) & ~size_t(3);
}

// The owner or the group of a descriptor, and its defaulted flag.
BOOL get_sid_part(PSECURITY_DESCRIPTOR sd, PSID* sid, LPBOOL defaulted, const SID* Parts::*part, WORD flag) {
    Parts parts;
    if (!sid || !defaulted) return fail(ERROR_INVALID_PARAMETER);
    if (!read_caller(sd, parts)) return fail(ERROR_INVALID_SECURITY_DESCR);
    *sid = const_cast<SID*>(parts.*part);
    *defaulted = (parts.control & flag) ? TRUE : FALSE;
    return TRUE;
}

BOOL set_sid_part(PSECURITY_DESCRIPTOR sd, PSID sid, BOOL defaulted, PSID SECURITY_DESCRIPTOR::*part, WORD flag) {
    SECURITY_DESCRIPTOR* a = absolute(sd);
    if (!a) return FALSE;
    a->*part = sid;
    a->Control = WORD(defaulted ? a->Control | flag : a->Control & ~flag);
    return TRUE;
}

}  // namespace

extern "C" QORAPI BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR sd, DWORD revision) {
    if (!sd) return fail(ERROR_INVALID_PARAMETER);
    if (revision != SECURITY_DESCRIPTOR_REVISION) return fail(ERROR_UNKNOWN_REVISION);
    *static_cast<SECURITY_DESCRIPTOR*>(sd) = SECURITY_DESCRIPTOR{SECURITY_DESCRIPTOR_REVISION, 0, 0, nullptr,
                                                                 nullptr, nullptr, nullptr};
    return TRUE;
}

extern "C" QORAPI BOOL IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR sd) {
    Parts parts;
    if (!read_caller(sd, parts)) return fail(ERROR_INVALID_SECURITY_DESCR);
    return TRUE;
}

extern "C" QORAPI DWORD GetSecurityDescriptorLength(PSECURITY_DESCRIPTOR sd) {
    Parts parts;
    if (!read_caller(sd, parts)) return 0;
    if (parts.control & SE_SELF_RELATIVE) return DWORD(relative_descriptor_length(sd, kCallerBlock));
    auto sid_size = [](const SID* s) { return s ? (sid_length(s, SECURITY_MAX_SID_SIZE) + 3) & ~size_t(3) : 0; };
    return DWORD(sizeof(SECURITY_DESCRIPTOR_RELATIVE) + sid_size(parts.owner) + sid_size(parts.group) +
                 acl_size(parts.sacl) + acl_size(parts.dacl));
}

extern "C" QORAPI BOOL GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR sd, LPBOOL present, PACL* dacl,
                                                  LPBOOL defaulted) {
    Parts parts;
    if (!present || !dacl || !defaulted) return fail(ERROR_INVALID_PARAMETER);
    if (!read_caller(sd, parts)) return fail(ERROR_INVALID_SECURITY_DESCR);
    *present = (parts.control & SE_DACL_PRESENT) ? TRUE : FALSE;
    *dacl = const_cast<PACL>(parts.dacl);
    *defaulted = (parts.control & SE_DACL_DEFAULTED) ? TRUE : FALSE;
    return TRUE;
}

extern "C" QORAPI BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR sd, BOOL present, PACL dacl, BOOL defaulted) {
    SECURITY_DESCRIPTOR* a = absolute(sd);
    if (!a) return FALSE;
    a->Control &= WORD(~(SE_DACL_PRESENT | SE_DACL_DEFAULTED));
    if (present) {
        a->Control |= SE_DACL_PRESENT;
        if (defaulted) a->Control |= SE_DACL_DEFAULTED;
        a->Dacl = dacl;
    } else {
        a->Dacl = nullptr;
    }
    return TRUE;
}

extern "C" QORAPI BOOL GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR sd, PSID* owner, LPBOOL defaulted) {
    return get_sid_part(sd, owner, defaulted, &Parts::owner, SE_OWNER_DEFAULTED);
}

extern "C" QORAPI BOOL SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR sd, PSID owner, BOOL defaulted) {
    return set_sid_part(sd, owner, defaulted, &SECURITY_DESCRIPTOR::Owner, SE_OWNER_DEFAULTED);
}

extern "C" QORAPI BOOL GetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR sd, PSID* group, LPBOOL defaulted) {
    return get_sid_part(sd, group, defaulted, &Parts::group, SE_GROUP_DEFAULTED);
}

extern "C" QORAPI BOOL SetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR sd, PSID group, BOOL defaulted) {
    return set_sid_part(sd, group, defaulted, &SECURITY_DESCRIPTOR::Group, SE_GROUP_DEFAULTED);
}

extern "C" QORAPI BOOL GetSecurityDescriptorControl(PSECURITY_DESCRIPTOR sd, PSECURITY_DESCRIPTOR_CONTROL control,
                                                     LPDWORD revision) {
    Parts parts;
    if (!control || !revision) return fail(ERROR_INVALID_PARAMETER);
    if (!read_caller(sd, parts)) return fail(ERROR_INVALID_SECURITY_DESCR);
    *control = parts.control;
    *revision = SECURITY_DESCRIPTOR_REVISION;
    return TRUE;
}

extern "C" QORAPI BOOL MakeSelfRelativeSD(PSECURITY_DESCRIPTOR sd, PSECURITY_DESCRIPTOR relative, LPDWORD length) {
    if (!length) return fail(ERROR_INVALID_PARAMETER);
    SECURITY_DESCRIPTOR* a = absolute(sd);
    if (!a) return FALSE;
    Parts parts;
    if (!read_caller(sd, parts)) return fail(ERROR_INVALID_SECURITY_DESCR);
    DWORD needed = GetSecurityDescriptorLength(sd);
    if (!relative || *length < needed) {
        *length = needed;
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    auto* block = static_cast<uint8_t*>(relative);
    std::memset(block, 0, needed);
    SECURITY_DESCRIPTOR_RELATIVE head{SECURITY_DESCRIPTOR_REVISION, 0, WORD(parts.control | SE_SELF_RELATIVE), 0, 0,
                                      0, 0};
    size_t at = sizeof head;
    put_part(block, at, parts.owner, sid_length(parts.owner, SECURITY_MAX_SID_SIZE), head.Owner);
    put_part(block, at, parts.group, sid_length(parts.group, SECURITY_MAX_SID_SIZE), head.Group);
    put_part(block, at, parts.sacl, acl_size(parts.sacl), head.Sacl);
    put_part(block, at, parts.dacl, acl_size(parts.dacl), head.Dacl);
    std::memcpy(block, &head, sizeof head);
    *length = needed;
    return TRUE;
}
