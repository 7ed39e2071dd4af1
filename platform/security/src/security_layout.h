// Bounds-checked reading of SIDs, ACLs and self-relative descriptors. Every
// function takes the bytes available at `p`, so records from outside (a
// level-3 printer record, a stored descriptor) are never read past their end.
#pragma once

#include "qor/security.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qor::security {

// Length of the SID at `p`, or 0 when it is not a valid SID within `available`.
size_t sid_length(const void* p, size_t available);
// True when the ACL at `p` lies within `available` and each of its entries
// (with the SID of each allowed or denied entry) lies within the ACL.
bool acl_valid(const void* p, size_t available);
// Offset just past the last entry of a valid ACL.
size_t acl_bytes_in_use(const ACL* acl);

// The parts of a descriptor in either form; null when absent.
struct Parts {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    const SID* owner = nullptr;
    const SID* group = nullptr;
    const ACL* sacl = nullptr;
    const ACL* dacl = nullptr;
};
// Reads a descriptor (either form) whose bytes, for the self-relative form,
// are `available` long; false when anything lies outside them or is invalid.
bool read_descriptor(const void* p, size_t available, Parts& parts);
// Length of a valid self-relative descriptor of `available` bytes (the end of
// its last part), or 0.
size_t relative_descriptor_length(const void* p, size_t available);

// A SID as bytes, built from an authority and sub-authorities.
std::vector<uint8_t> make_sid(uint8_t authority, std::initializer_list<uint32_t> sub_authorities);
std::vector<uint8_t> world_sid();
std::vector<uint8_t> administrators_sid();
std::vector<uint8_t> creator_owner_sid();
std::vector<uint8_t> unix_user_sid(uint32_t uid);
std::vector<uint8_t> unix_group_sid(uint32_t gid);
// "S-1-5-32-544".
std::string sid_text(const SID* sid);

}  // namespace qor::security
