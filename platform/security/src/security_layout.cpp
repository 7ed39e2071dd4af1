// Bounds-checked reading of the security records.
#include "security_layout.h"

#include <algorithm>
#include <cstring>

namespace qor::security {

size_t sid_length(const void* p, size_t available) {
    if (!p || available < 8) return 0;
    const auto* bytes = static_cast<const uint8_t*>(p);
    if (bytes[0] != SID_REVISION || bytes[1] > SID_MAX_SUB_AUTHORITIES) return 0;
    size_t length = 8 + 4 * size_t(bytes[1]);
    return length <= available ? length : 0;
}

namespace {

bool ace_valid(const uint8_t* ace, size_t size) {
    uint8_t type = ace[0];
    if (type != ACCESS_ALLOWED_ACE_TYPE && type != ACCESS_DENIED_ACE_TYPE) return true;  // opaque to us
    if (size < offsetof(ACCESS_ALLOWED_ACE, SidStart)) return false;
    size_t sid_at = offsetof(ACCESS_ALLOWED_ACE, SidStart);
    return sid_length(ace + sid_at, size - sid_at) != 0;
}

}  // namespace

bool acl_valid(const void* p, size_t available) {
    if (!p || available < sizeof(ACL)) return false;
    ACL head;
    std::memcpy(&head, p, sizeof head);
    if (head.AclRevision != ACL_REVISION && head.AclRevision != ACL_REVISION_DS) return false;
    if (head.AclSize < sizeof(ACL) || head.AclSize > available) return false;
    const auto* bytes = static_cast<const uint8_t*>(p);
    size_t at = sizeof(ACL);
    for (unsigned i = 0; i < head.AceCount; ++i) {
        if (head.AclSize - at < sizeof(ACE_HEADER)) return false;
        ACE_HEADER ace;
        std::memcpy(&ace, bytes + at, sizeof ace);
        if (ace.AceSize < sizeof(ACE_HEADER) || ace.AceSize % 4 != 0 || ace.AceSize > head.AclSize - at) return false;
        if (!ace_valid(bytes + at, ace.AceSize)) return false;
        at += ace.AceSize;
    }
    return true;
}

size_t acl_bytes_in_use(const ACL* acl) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(acl);
    size_t at = sizeof(ACL);
    for (unsigned i = 0; i < acl->AceCount; ++i) {
        ACE_HEADER ace;
        std::memcpy(&ace, bytes + at, sizeof ace);
        at += ace.AceSize;
    }
    return at;
}

namespace {

// A part at `offset` of a self-relative block: its pointer, or null when the
// offset is 0. False when it is out of bounds or invalid.
template <class T>
bool relative_part(const uint8_t* base, size_t available, uint32_t offset, bool is_acl, const T*& part,
                   size_t& end) {
    part = nullptr;
    if (offset == 0) return true;
    if (offset < sizeof(SECURITY_DESCRIPTOR_RELATIVE) || offset >= available || offset % 4 != 0) return false;
    size_t room = available - offset;
    size_t length = 0;
    if (is_acl) {
        if (!acl_valid(base + offset, room)) return false;
        WORD size;
        std::memcpy(&size, base + offset + offsetof(ACL, AclSize), sizeof size);
        length = size;
    } else {
        length = sid_length(base + offset, room);
        if (length == 0) return false;
    }
    part = reinterpret_cast<const T*>(base + offset);
    end = std::max(end, offset + length);
    return true;
}

}  // namespace

static bool read_relative(const uint8_t* bytes, size_t available, Parts& parts, size_t& end) {
    if (available < sizeof(SECURITY_DESCRIPTOR_RELATIVE)) return false;
    SECURITY_DESCRIPTOR_RELATIVE head;
    std::memcpy(&head, bytes, sizeof head);
    end = sizeof head;
    parts.control = head.Control;
    if (!relative_part(bytes, available, head.Owner, false, parts.owner, end)) return false;
    if (!relative_part(bytes, available, head.Group, false, parts.group, end)) return false;
    if (!relative_part(bytes, available, (head.Control & SE_SACL_PRESENT) ? head.Sacl : 0, true, parts.sacl, end))
        return false;
    return relative_part(bytes, available, (head.Control & SE_DACL_PRESENT) ? head.Dacl : 0, true, parts.dacl, end);
}

bool read_descriptor(const void* p, size_t available, Parts& parts) {
    parts = Parts{};
    if (!p || available < 4) return false;
    const auto* bytes = static_cast<const uint8_t*>(p);
    if (bytes[0] != SECURITY_DESCRIPTOR_REVISION) return false;
    WORD control;
    std::memcpy(&control, bytes + 2, sizeof control);
    if (control & SE_SELF_RELATIVE) {
        size_t end = 0;
        return read_relative(bytes, available, parts, end);
    }
    // The absolute form lives in the caller's own memory; its parts are
    // checked as far as their own headers tell.
    if (available < sizeof(SECURITY_DESCRIPTOR)) return false;
    const auto* sd = static_cast<const SECURITY_DESCRIPTOR*>(p);
    parts.control = sd->Control;
    parts.owner = static_cast<const SID*>(sd->Owner);
    parts.group = static_cast<const SID*>(sd->Group);
    parts.sacl = (sd->Control & SE_SACL_PRESENT) ? sd->Sacl : nullptr;
    parts.dacl = (sd->Control & SE_DACL_PRESENT) ? sd->Dacl : nullptr;
    constexpr size_t kUnbounded = 0xFFFF;
    if (parts.owner && !sid_length(parts.owner, kUnbounded)) return false;
    if (parts.group && !sid_length(parts.group, kUnbounded)) return false;
    if (parts.sacl && !acl_valid(parts.sacl, kUnbounded)) return false;
    return !parts.dacl || acl_valid(parts.dacl, kUnbounded);
}

size_t relative_descriptor_length(const void* p, size_t available) {
    if (!p || available < sizeof(SECURITY_DESCRIPTOR_RELATIVE)) return 0;
    const auto* bytes = static_cast<const uint8_t*>(p);
    WORD control;
    std::memcpy(&control, bytes + 2, sizeof control);
    if (bytes[0] != SECURITY_DESCRIPTOR_REVISION || !(control & SE_SELF_RELATIVE)) return 0;
    Parts parts;
    size_t end = 0;
    return read_relative(bytes, available, parts, end) ? end : 0;
}

std::vector<uint8_t> make_sid(uint8_t authority, std::initializer_list<uint32_t> sub_authorities) {
    std::vector<uint8_t> sid(8 + 4 * sub_authorities.size());
    sid[0] = SID_REVISION;
    sid[1] = uint8_t(sub_authorities.size());
    sid[7] = authority;
    size_t at = 8;
    for (uint32_t s : sub_authorities) {
        std::memcpy(&sid[at], &s, 4);
        at += 4;
    }
    return sid;
}

std::vector<uint8_t> world_sid() { return make_sid(1, {SECURITY_WORLD_RID}); }
std::vector<uint8_t> administrators_sid() { return make_sid(5, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}); }
std::vector<uint8_t> creator_owner_sid() { return make_sid(3, {SECURITY_CREATOR_OWNER_RID}); }
std::vector<uint8_t> unix_user_sid(uint32_t uid) { return make_sid(22, {SECURITY_UNIX_USER_RID, uid}); }
std::vector<uint8_t> unix_group_sid(uint32_t gid) { return make_sid(22, {SECURITY_UNIX_GROUP_RID, gid}); }

std::string sid_text(const SID* sid) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(sid);
    uint64_t authority = 0;
    for (int i = 2; i < 8; ++i) authority = (authority << 8) | bytes[i];
    std::string text = "S-" + std::to_string(bytes[0]) + "-" + std::to_string(authority);
    for (unsigned i = 0; i < bytes[1]; ++i) {
        uint32_t s;
        std::memcpy(&s, bytes + 8 + 4 * i, 4);
        text += "-" + std::to_string(s);
    }
    return text;
}

}  // namespace qor::security
