// Self-relative security descriptors from outside (a level-3 printer record):
// a record the reader accepts must be walkable through the calls without
// reading past its end, and must survive a round trip through the absolute
// form.
#include "qor/security.h"
#include "qor/security/access.h"
#include "security_layout.h"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qor::security;
    // As the spooler takes a level-3 record: merged into a printer's
    // descriptor, and the access check run on the result.
    Bytes update(data, data + size);
    Bytes merged = merged_descriptor(default_descriptor(1000, 0xF000C, 0x8), update);
    if (!merged.empty()) {
        if (valid_descriptor_length(merged.data(), merged.size()) != merged.size()) std::abort();
        granted_access(merged, Caller{1000, {1000}}, GenericMapping{1, 2, 4, 0xF000C});
        granted_child_access(merged, Caller{0, {}}, true, GenericMapping{1, 2, 4, 0xF0030});
    }
    size_t length = relative_descriptor_length(data, size);
    if (length == 0) return 0;
    // Exactly the accepted bytes, so a read beyond them is caught.
    std::vector<uint8_t> record(data, data + length);
    if (!IsValidSecurityDescriptor(record.data()) || GetSecurityDescriptorLength(record.data()) != length) std::abort();

    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(record.data(), &present, &dacl, &defaulted)) std::abort();
    if (dacl) {
        ACL_SIZE_INFORMATION info{};
        if (!GetAclInformation(dacl, &info, sizeof info, AclSizeInformation)) std::abort();
        for (DWORD i = 0; i < info.AceCount; ++i) {
            void* ace = nullptr;
            if (!GetAce(dacl, i, &ace)) std::abort();
            auto* head = static_cast<ACE_HEADER*>(ace);
            if (head->AceType != ACCESS_ALLOWED_ACE_TYPE && head->AceType != ACCESS_DENIED_ACE_TYPE) continue;
            char name[80], domain[80];
            DWORD n = sizeof name, d = sizeof domain;
            SID_NAME_USE use;
            LookupAccountSidA(nullptr, &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart, name, &n, domain, &d, &use);
        }
    }

    SECURITY_DESCRIPTOR absolute;
    InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION);
    PSID owner = nullptr;
    GetSecurityDescriptorOwner(record.data(), &owner, &defaulted);
    SetSecurityDescriptorOwner(&absolute, owner, FALSE);
    SetSecurityDescriptorDacl(&absolute, present, dacl, FALSE);
    DWORD again = 0;
    MakeSelfRelativeSD(&absolute, nullptr, &again);
    std::vector<uint8_t> copy(again);
    if (!MakeSelfRelativeSD(&absolute, copy.data(), &again)) std::abort();
    if (relative_descriptor_length(copy.data(), copy.size()) != copy.size()) std::abort();
    return 0;
}
