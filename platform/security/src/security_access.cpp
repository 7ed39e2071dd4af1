// Access checks, default descriptors and merging of descriptor updates.
#include "qor/security/access.h"
#include "security_layout.h"

#include <cstring>
#include <grp.h>
#include <pwd.h>

namespace qor::security {

namespace {

bool holds(const Caller& caller, const uint8_t* sid, size_t length) {
    auto is = [&](const Bytes& s) { return s.size() == length && std::memcmp(s.data(), sid, length) == 0; };
    if (is(world_sid()) || is(unix_user_sid(caller.uid))) return true;
    if (caller.uid == 0 && is(administrators_sid())) return true;
    for (gid_t g : caller.groups)
        if (is(unix_group_sid(g))) return true;
    return false;
}

// Walks the DACL's SID entries that `applies` selects, with the SID the
// entry stands for (`stand_in` may replace Creator Owner).
template <class Applies, class StandIn>
ACCESS_MASK evaluate(const Bytes& sd, const GenericMapping& m, Applies applies,
                     StandIn stand_in) {
    Parts parts;
    if (!read_descriptor(sd.data(), sd.size(), parts)) return 0;
    if (!(parts.control & SE_DACL_PRESENT) || !parts.dacl) return m.all;
    const auto* bytes = reinterpret_cast<const uint8_t*>(parts.dacl);
    ACCESS_MASK granted = 0, denied = 0;
    size_t at = sizeof(ACL);
    for (unsigned i = 0; i < parts.dacl->AceCount; ++i) {
        ACE_HEADER head;
        std::memcpy(&head, bytes + at, sizeof head);
        const uint8_t* ace = bytes + at;
        at += head.AceSize;
        if (head.AceType != ACCESS_ALLOWED_ACE_TYPE && head.AceType != ACCESS_DENIED_ACE_TYPE) continue;
        if (!applies(head.AceFlags)) continue;
        const uint8_t* sid = ace + offsetof(ACCESS_ALLOWED_ACE, SidStart);
        size_t length = sid_length(sid, head.AceSize - offsetof(ACCESS_ALLOWED_ACE, SidStart));
        if (!stand_in(sid, length)) continue;
        ACCESS_MASK mask;
        std::memcpy(&mask, ace + offsetof(ACCESS_ALLOWED_ACE, Mask), sizeof mask);
        mask = map_generic(mask, m);
        if (head.AceType == ACCESS_DENIED_ACE_TYPE) denied |= mask & ~granted;
        else granted |= mask & ~denied;
    }
    return granted;
}

void add_entry(Bytes& acl, BYTE flags, ACCESS_MASK mask, const Bytes& sid) {
    AddAccessAllowedAceEx(reinterpret_cast<PACL>(acl.data()), ACL_REVISION, flags, mask,
                          const_cast<uint8_t*>(sid.data()));
}

Bytes relative_of(SECURITY_DESCRIPTOR& absolute) {
    DWORD length = 0;
    MakeSelfRelativeSD(&absolute, nullptr, &length);
    Bytes out(length);
    if (!length || !MakeSelfRelativeSD(&absolute, out.data(), &length)) return {};
    return out;
}

}  // namespace

ACCESS_MASK map_generic(ACCESS_MASK mask, const GenericMapping& m) {
    ACCESS_MASK out = mask & 0x0FFFFFFFu;
    if (mask & GENERIC_READ) out |= m.read;
    if (mask & GENERIC_WRITE) out |= m.write;
    if (mask & GENERIC_EXECUTE) out |= m.execute;
    if (mask & GENERIC_ALL) out |= m.all;
    return out;
}

Caller caller_of(uid_t uid, gid_t gid) {
    Caller caller{uid, {gid}};
    std::vector<char> buffer(16384);
    passwd entry{}, *found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
        int count = 64;
        std::vector<gid_t> groups(static_cast<size_t>(count));
        if (getgrouplist(found->pw_name, gid, groups.data(), &count) < 0) {
            groups.resize(size_t(count));
            getgrouplist(found->pw_name, gid, groups.data(), &count);
        }
        groups.resize(size_t(count));
        caller.groups = groups;
    }
    return caller;
}

ACCESS_MASK granted_access(const Bytes& sd, const Caller& caller, const GenericMapping& mapping) {
    return evaluate(
        sd, mapping, [](BYTE flags) { return !(flags & INHERIT_ONLY_ACE); },
        [&](const uint8_t* sid, size_t length) { return holds(caller, sid, length); });
}

ACCESS_MASK granted_child_access(const Bytes& sd, const Caller& caller, bool caller_owns_object,
                                 const GenericMapping& mapping) {
    const Bytes creator = creator_owner_sid();
    return evaluate(
        sd, mapping, [](BYTE flags) { return (flags & OBJECT_INHERIT_ACE) != 0; },
        [&](const uint8_t* sid, size_t length) {
            if (length == creator.size() && std::memcmp(sid, creator.data(), length) == 0)
                return caller_owns_object;
            return holds(caller, sid, length);
        });
}

Bytes default_descriptor(uid_t owner, ACCESS_MASK all_access, ACCESS_MASK use_access) {
    const BYTE children = OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE;
    Bytes acl(512);
    InitializeAcl(reinterpret_cast<PACL>(acl.data()), DWORD(acl.size()), ACL_REVISION);
    Bytes owner_sid = unix_user_sid(owner);
    add_entry(acl, 0, all_access, administrators_sid());
    add_entry(acl, children, GENERIC_ALL, administrators_sid());
    add_entry(acl, 0, all_access, owner_sid);
    add_entry(acl, children, GENERIC_ALL, owner_sid);
    add_entry(acl, children, GENERIC_ALL, creator_owner_sid());
    add_entry(acl, 0, use_access, world_sid());
    add_entry(acl, children, GENERIC_READ, world_sid());
    auto* head = reinterpret_cast<PACL>(acl.data());
    head->AclSize = WORD(acl_bytes_in_use(head));
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorOwner(&sd, owner_sid.data(), FALSE);
    SetSecurityDescriptorDacl(&sd, TRUE, head, FALSE);
    return relative_of(sd);
}

size_t valid_descriptor_length(const void* sd, size_t size) { return relative_descriptor_length(sd, size); }

Bytes merged_descriptor(const Bytes& current, const Bytes& update) {
    Parts now, in;
    if (!relative_descriptor_length(update.data(), update.size()) ||
        !read_descriptor(update.data(), update.size(), in))
        return {};
    if (!read_descriptor(current.data(), current.size(), now)) now = Parts{};
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorOwner(&sd, const_cast<SID*>(in.owner ? in.owner : now.owner), FALSE);
    SetSecurityDescriptorGroup(&sd, const_cast<SID*>(in.group ? in.group : now.group), FALSE);
    if (in.control & SE_DACL_PRESENT) {
        SetSecurityDescriptorDacl(&sd, TRUE, const_cast<ACL*>(in.dacl), FALSE);
    } else if (now.control & SE_DACL_PRESENT) {
        SetSecurityDescriptorDacl(&sd, TRUE, const_cast<ACL*>(now.dacl), FALSE);
    }
    return relative_of(sd);
}

Bytes self_relative_copy(PSECURITY_DESCRIPTOR sd) {
    if (!IsValidSecurityDescriptor(sd)) return {};
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(sd, &control, &revision);
    if (control & SE_SELF_RELATIVE) {
        DWORD length = GetSecurityDescriptorLength(sd);
        const auto* bytes = static_cast<const uint8_t*>(sd);
        return Bytes(bytes, bytes + length);
    }
    return relative_of(*static_cast<SECURITY_DESCRIPTOR*>(sd));
}

}  // namespace qor::security
