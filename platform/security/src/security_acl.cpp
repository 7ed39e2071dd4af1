// ACL calls. Entries are kept packed from the start of the ACL; its free
// space is what lies between the last entry and AclSize.
#include "security_layout.h"

#include <cstring>

using namespace qor::security;

namespace {

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// A caller's ACL is trusted as far as its own AclSize.
bool valid(PACL acl) { return acl && acl_valid(acl, acl->AclSize); }

uint8_t* bytes_of(PACL acl) { return reinterpret_cast<uint8_t*>(acl); }

// Offset of entry `index` (or of the end when index == AceCount).
size_t offset_of(PACL acl, DWORD index) {
    size_t at = sizeof(ACL);
    for (DWORD i = 0; i < index; ++i) {
        ACE_HEADER head;
        std::memcpy(&head, bytes_of(acl) + at, sizeof head);
        at += head.AceSize;
    }
    return at;
}

// Number of entries in a list of `length` bytes, or -1 when they do not
// tile it exactly.
long count_entries(const uint8_t* list, size_t length) {
    long count = 0;
    size_t at = 0;
    while (at < length) {
        if (length - at < sizeof(ACE_HEADER)) return -1;
        ACE_HEADER head;
        std::memcpy(&head, list + at, sizeof head);
        if (head.AceSize < sizeof(ACE_HEADER) || head.AceSize % 4 != 0 || head.AceSize > length - at) return -1;
        at += head.AceSize;
        ++count;
    }
    return count;
}

BOOL add_sid_ace(PACL acl, DWORD revision, BYTE type, DWORD flags, DWORD mask, PSID sid) {
    size_t sid_size = sid_length(sid, SECURITY_MAX_SID_SIZE);
    if (!sid_size) return fail(ERROR_INVALID_SID);
    if (!valid(acl)) return fail(ERROR_INVALID_ACL);
    if (flags & ~DWORD(VALID_INHERIT_FLAGS)) return fail(ERROR_INVALID_PARAMETER);
    std::vector<uint8_t> ace(offsetof(ACCESS_ALLOWED_ACE, SidStart) + sid_size);
    ACE_HEADER head{type, BYTE(flags), WORD(ace.size())};
    std::memcpy(ace.data(), &head, sizeof head);
    std::memcpy(ace.data() + offsetof(ACCESS_ALLOWED_ACE, Mask), &mask, 4);
    std::memcpy(ace.data() + offsetof(ACCESS_ALLOWED_ACE, SidStart), sid, sid_size);
    return AddAce(acl, revision, MAXDWORD, ace.data(), DWORD(ace.size()));
}

}  // namespace

extern "C" QORAPI BOOL InitializeAcl(PACL acl, DWORD length, DWORD revision) {
    if (!acl || (revision != ACL_REVISION && revision != ACL_REVISION_DS)) return fail(ERROR_INVALID_PARAMETER);
    if (length < sizeof(ACL)) return fail(ERROR_INSUFFICIENT_BUFFER);
    if (length > 0xFFFC) return fail(ERROR_INVALID_PARAMETER);
    ACL head{BYTE(revision), 0, WORD(length & ~3u), 0, 0};
    std::memcpy(acl, &head, sizeof head);
    return TRUE;
}

extern "C" QORAPI BOOL IsValidAcl(PACL acl) { return valid(acl); }

extern "C" QORAPI BOOL GetAclInformation(PACL acl, LPVOID information, DWORD length, ACL_INFORMATION_CLASS kind) {
    if (!valid(acl)) return fail(ERROR_INVALID_ACL);
    if (kind == AclRevisionInformation) {
        if (!information || length < sizeof(ACL_REVISION_INFORMATION)) return fail(ERROR_INSUFFICIENT_BUFFER);
        static_cast<ACL_REVISION_INFORMATION*>(information)->AclRevision = acl->AclRevision;
        return TRUE;
    }
    if (kind != AclSizeInformation) return fail(ERROR_INVALID_PARAMETER);
    if (!information || length < sizeof(ACL_SIZE_INFORMATION)) return fail(ERROR_INSUFFICIENT_BUFFER);
    DWORD in_use = DWORD(acl_bytes_in_use(acl));
    *static_cast<ACL_SIZE_INFORMATION*>(information) = {acl->AceCount, in_use, DWORD(acl->AclSize) - in_use};
    return TRUE;
}

extern "C" QORAPI BOOL GetAce(PACL acl, DWORD index, LPVOID* ace) {
    if (!valid(acl)) return fail(ERROR_INVALID_ACL);
    if (!ace || index >= acl->AceCount) return fail(ERROR_INVALID_PARAMETER);
    *ace = bytes_of(acl) + offset_of(acl, index);
    return TRUE;
}

extern "C" QORAPI BOOL AddAce(PACL acl, DWORD revision, DWORD start_index, LPVOID aces, DWORD length) {
    if (!valid(acl)) return fail(ERROR_INVALID_ACL);
    if (revision != ACL_REVISION && revision != ACL_REVISION_DS) return fail(ERROR_INVALID_PARAMETER);
    if (length == 0) return TRUE;
    if (!aces) return fail(ERROR_INVALID_PARAMETER);
    const auto* list = static_cast<const uint8_t*>(aces);
    long added = count_entries(list, length);
    if (added < 0) return fail(ERROR_INVALID_PARAMETER);
    size_t in_use = acl_bytes_in_use(acl);
    if (length > acl->AclSize - in_use) return fail(ERROR_ALLOTTED_SPACE_EXCEEDED);
    if (acl->AceCount + unsigned(added) > 0xFFFF) return fail(ERROR_ALLOTTED_SPACE_EXCEEDED);
    size_t at = offset_of(acl, start_index < acl->AceCount ? start_index : acl->AceCount);
    std::memmove(bytes_of(acl) + at + length, bytes_of(acl) + at, in_use - at);
    std::memmove(bytes_of(acl) + at, list, length);
    acl->AceCount = WORD(acl->AceCount + added);
    if (revision > acl->AclRevision) acl->AclRevision = BYTE(revision);
    if (!valid(acl)) {  // an entry's SID did not fit its entry: undo
        acl->AceCount = WORD(acl->AceCount - added);
        std::memmove(bytes_of(acl) + at, bytes_of(acl) + at + length, in_use - at);
        return fail(ERROR_INVALID_PARAMETER);
    }
    return TRUE;
}

extern "C" QORAPI BOOL AddAccessAllowedAce(PACL acl, DWORD revision, DWORD mask, PSID sid) {
    return add_sid_ace(acl, revision, ACCESS_ALLOWED_ACE_TYPE, 0, mask, sid);
}

extern "C" QORAPI BOOL AddAccessAllowedAceEx(PACL acl, DWORD revision, DWORD flags, DWORD mask, PSID sid) {
    return add_sid_ace(acl, revision, ACCESS_ALLOWED_ACE_TYPE, flags, mask, sid);
}

extern "C" QORAPI BOOL AddAccessDeniedAce(PACL acl, DWORD revision, DWORD mask, PSID sid) {
    return add_sid_ace(acl, revision, ACCESS_DENIED_ACE_TYPE, 0, mask, sid);
}
