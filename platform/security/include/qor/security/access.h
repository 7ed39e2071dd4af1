// Access checks against self-relative descriptors, for services that guard
// objects (the spooler's printers and jobs) by their callers' identities.
#pragma once

#include "qor/security.h"

#include <cstdint>
#include <sys/types.h>
#include <vector>

namespace qor::security {

using Bytes = std::vector<uint8_t>;

// Who asks: the Unix user and its groups, Everyone, and Administrators for
// root.
struct Caller {
    uid_t uid = 0;
    std::vector<gid_t> groups;
};
// The caller with the groups the user database gives `uid` (plus `gid`).
Caller caller_of(uid_t uid, gid_t gid);

// How generic rights map onto an object's own rights.
struct GenericMapping {
    ACCESS_MASK read, write, execute, all;
};

// `mask` with its generic rights replaced by the object's own.
ACCESS_MASK map_generic(ACCESS_MASK mask, const GenericMapping& mapping);

// The rights the descriptor grants `caller` on the object itself (entries
// without INHERIT_ONLY_ACE), generic rights mapped. A descriptor without a
// DACL grants everything; an empty DACL nothing. Denied entries take rights
// away in order. `sd` must be a valid self-relative descriptor.
ACCESS_MASK granted_access(const Bytes& sd, const Caller& caller, const GenericMapping& mapping);
// The rights on an object created inside it (a job in a printer), from the
// object-inherit entries; Creator Owner's apply when the caller owns it.
ACCESS_MASK granted_child_access(const Bytes& sd, const Caller& caller, bool caller_owns_object,
                                 const GenericMapping& mapping);

// A new object's descriptor: Administrators and `owner` manage it and what
// is created in it, each creator its own children, Everyone uses it and
// reads its children.
Bytes default_descriptor(uid_t owner, ACCESS_MASK all_access, ACCESS_MASK use_access);

// The length of a valid self-relative descriptor of `size` bytes, or 0.
size_t valid_descriptor_length(const void* sd, size_t size);
// `current` with the parts `update` carries (owner, group, DACL when
// present) put in; empty when `update` is not valid.
Bytes merged_descriptor(const Bytes& current, const Bytes& update);
// Any descriptor of the caller's (absolute or self-relative) in the
// self-relative form; empty when it is not valid.
Bytes self_relative_copy(PSECURITY_DESCRIPTOR sd);

}  // namespace qor::security
