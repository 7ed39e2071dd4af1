// SIDs, ACLs and descriptors built through the calls, read back in both
// forms, and damaged records from outside rejected.
#include "qor/security.h"
#include "qortest.h"
#include "security_layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace qor::security;

namespace {

struct Sid {
    PSID sid = nullptr;
    Sid(SID_IDENTIFIER_AUTHORITY authority, std::initializer_list<DWORD> subs) {
        DWORD s[8] = {};
        size_t i = 0;
        for (DWORD v : subs) s[i++] = v;
        EXPECT_TRUE(AllocateAndInitializeSid(&authority, BYTE(subs.size()), s[0], s[1], s[2], s[3], s[4], s[5], s[6],
                                             s[7], &sid));
    }
    ~Sid() { FreeSid(sid); }
};

// An ACL of `size` bytes with Everyone: use, and Administrators: all.
std::vector<uint8_t> sample_acl(DWORD size, const Sid& everyone, const Sid& admins) {
    std::vector<uint8_t> block(size);
    auto* acl = reinterpret_cast<PACL>(block.data());
    EXPECT_TRUE(InitializeAcl(acl, size, ACL_REVISION));
    EXPECT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, 0x8, everyone.sid));
    EXPECT_TRUE(AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE, GENERIC_ALL,
                                      admins.sid));
    return block;
}

std::vector<uint8_t> self_relative(PACL dacl, PSID owner) {
    SECURITY_DESCRIPTOR sd;
    EXPECT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
    EXPECT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, dacl, FALSE));
    EXPECT_TRUE(SetSecurityDescriptorOwner(&sd, owner, FALSE));
    DWORD length = 0;
    EXPECT_FALSE(MakeSelfRelativeSD(&sd, nullptr, &length));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    std::vector<uint8_t> block(length);
    EXPECT_TRUE(MakeSelfRelativeSD(&sd, block.data(), &length));
    EXPECT_EQ(block.size(), length);
    return block;
}

}  // namespace

TEST(SecuritySid, WellKnownSidsHaveThePlatformBytesAndCompare) {
    Sid everyone(SECURITY_WORLD_SID_AUTHORITY, {SECURITY_WORLD_RID});
    Sid admins(SECURITY_NT_AUTHORITY, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS});
    EXPECT_EQ(12u, GetLengthSid(everyone.sid));
    EXPECT_EQ(16u, GetLengthSid(admins.sid));
    EXPECT_EQ(0, std::memcmp(everyone.sid, world_sid().data(), 12));
    EXPECT_EQ("S-1-5-32-544", sid_text(static_cast<const SID*>(admins.sid)));
    EXPECT_TRUE(EqualSid(admins.sid, administrators_sid().data()));
    EXPECT_FALSE(EqualSid(admins.sid, everyone.sid));
    uint8_t bad[12] = {2, 1};
    EXPECT_FALSE(IsValidSid(bad));
    EXPECT_FALSE(EqualSid(bad, bad));
    EXPECT_EQ(DWORD(ERROR_INVALID_SID), GetLastError());
}

TEST(SecurityAccount, NamesWellKnownSidsAndUnixAccounts) {
    char name[80], domain[80];
    DWORD n = sizeof name, d = sizeof domain;
    SID_NAME_USE use{};
    EXPECT_TRUE(LookupAccountSidA(nullptr, world_sid().data(), name, &n, domain, &d, &use));
    EXPECT_STREQ("Everyone", name);
    EXPECT_STREQ("", domain);
    EXPECT_EQ(8u, n);
    n = d = 80;
    EXPECT_TRUE(LookupAccountSidA(nullptr, administrators_sid().data(), name, &n, domain, &d, &use));
    EXPECT_STREQ("Administrators", name);
    EXPECT_STREQ("BUILTIN", domain);
    n = d = 80;
    EXPECT_TRUE(LookupAccountSidA(nullptr, unix_user_sid(0).data(), name, &n, domain, &d, &use));
    EXPECT_STREQ("root", name);
    EXPECT_EQ(SidTypeUser, use);

    n = 3, d = 80;
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(LookupAccountSidA(nullptr, world_sid().data(), name, &n, domain, &d, &use));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(9u, n);

    // A user id nobody has, and an authority nobody knows.
    n = d = 80;
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(LookupAccountSidA(nullptr, unix_user_sid(0x7ffffff0).data(), name, &n, domain, &d, &use));
    EXPECT_EQ(DWORD(ERROR_NONE_MAPPED), GetLastError());
    EXPECT_FALSE(LookupAccountSidA(nullptr, make_sid(9, {1, 2}).data(), name, &n, domain, &d, &use));
    EXPECT_EQ(DWORD(ERROR_NONE_MAPPED), GetLastError());
}

TEST(SecurityAcl, EntriesAreAddedInPlaceAndSpaceIsAccounted) {
    Sid everyone(SECURITY_WORLD_SID_AUTHORITY, {SECURITY_WORLD_RID});
    Sid admins(SECURITY_NT_AUTHORITY, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS});
    auto block = sample_acl(64, everyone, admins);
    auto* acl = reinterpret_cast<PACL>(block.data());
    ACL_SIZE_INFORMATION size{};
    ASSERT_TRUE(GetAclInformation(acl, &size, sizeof size, AclSizeInformation));
    EXPECT_EQ(2u, size.AceCount);
    EXPECT_EQ(8u + 20u + 24u, size.AclBytesInUse);
    EXPECT_EQ(64u - size.AclBytesInUse, size.AclBytesFree);

    // An entry that does not fit leaves the ACL as it was.
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(AddAccessAllowedAce(acl, ACL_REVISION, 1, admins.sid));
    EXPECT_EQ(DWORD(ERROR_ALLOTTED_SPACE_EXCEEDED), GetLastError());
    EXPECT_EQ(2, acl->AceCount);

    // Copying an entry to the front moves the others back.
    void* second = nullptr;
    ASSERT_TRUE(GetAce(acl, 1, &second));
    std::vector<uint8_t> copy(static_cast<uint8_t*>(second), static_cast<uint8_t*>(second) + 24);
    std::vector<uint8_t> bigger(128);
    auto* acl2 = reinterpret_cast<PACL>(bigger.data());
    ASSERT_TRUE(InitializeAcl(acl2, 128, ACL_REVISION));
    ASSERT_TRUE(AddAce(acl2, ACL_REVISION, MAXDWORD, block.data() + 8, size.AclBytesInUse - 8));
    ASSERT_TRUE(AddAce(acl2, ACL_REVISION, 0, copy.data(), DWORD(copy.size())));
    void* first = nullptr;
    ASSERT_TRUE(GetAce(acl2, 0, &first));
    EXPECT_EQ(INHERIT_ONLY_ACE | OBJECT_INHERIT_ACE, static_cast<ACE_HEADER*>(first)->AceFlags);
    ASSERT_TRUE(GetAce(acl2, 1, &first));
    EXPECT_EQ(0x8u, static_cast<ACCESS_ALLOWED_ACE*>(first)->Mask);
    EXPECT_FALSE(GetAce(acl2, 3, &first));

    // A list that does not tile into whole entries is refused.
    copy[2] = 200;
    EXPECT_FALSE(AddAce(acl2, ACL_REVISION, MAXDWORD, copy.data(), DWORD(copy.size())));
    EXPECT_EQ(3, acl2->AceCount);
}

TEST(SecurityDescriptor, SelfRelativeFormReadsBackAsTheAbsoluteOne) {
    Sid everyone(SECURITY_WORLD_SID_AUTHORITY, {SECURITY_WORLD_RID});
    Sid admins(SECURITY_NT_AUTHORITY, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS});
    auto acl_block = sample_acl(52, everyone, admins);
    auto block = self_relative(reinterpret_cast<PACL>(acl_block.data()), admins.sid);
    EXPECT_EQ(20u + 16u + 52u, block.size());
    EXPECT_TRUE(IsValidSecurityDescriptor(block.data()));
    EXPECT_EQ(block.size(), relative_descriptor_length(block.data(), block.size()));
    EXPECT_EQ(block.size(), GetSecurityDescriptorLength(block.data()));

    BOOL present = FALSE, defaulted = TRUE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(block.data(), &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_FALSE(defaulted);
    ASSERT_NE(nullptr, dacl);
    EXPECT_EQ(0, std::memcmp(dacl, acl_block.data(), acl_block.size()));
    PSID owner = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorOwner(block.data(), &owner, &defaulted));
    EXPECT_TRUE(EqualSid(owner, admins.sid));
    // The setters need the absolute form.
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(SetSecurityDescriptorDacl(block.data(), FALSE, nullptr, FALSE));
    EXPECT_EQ(DWORD(ERROR_INVALID_SECURITY_DESCR), GetLastError());
}

TEST(SecurityDescriptor, DamagedRecordsFromOutsideAreRejected) {
    Sid everyone(SECURITY_WORLD_SID_AUTHORITY, {SECURITY_WORLD_RID});
    Sid admins(SECURITY_NT_AUTHORITY, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS});
    auto acl_block = sample_acl(52, everyone, admins);
    const auto good = self_relative(reinterpret_cast<PACL>(acl_block.data()), admins.sid);
    auto damaged = [&](auto change) {
        auto copy = good;
        change(copy);
        return relative_descriptor_length(copy.data(), copy.size());
    };
    EXPECT_EQ(0u, relative_descriptor_length(good.data(), good.size() - 1));  // truncated
    EXPECT_EQ(0u, damaged([](auto& b) { b[16] = 0xF0; }));                  // DACL offset past the end
    EXPECT_EQ(0u, damaged([](auto& b) { b[4] = 2; }));                      // owner inside the header
    EXPECT_EQ(0u, damaged([](auto& b) { b[36 + 2] = 0xFF; }));              // ACL larger than the block
    EXPECT_EQ(0u, damaged([](auto& b) { b[36 + 8 + 2] = 0x40; }));          // entry past its ACL
    EXPECT_EQ(0u, damaged([](auto& b) { b[36 + 8 + 8 + 1] = 12; }));        // SID past its entry
    EXPECT_EQ(0u, damaged([](auto& b) { b[2] = 0; b[3] = 0; }));            // not self-relative
    EXPECT_EQ(0u, damaged([](auto& b) { b[0] = 2; }));                      // unknown revision
    // Without a DACL present the offset is not looked at.
    EXPECT_EQ(36u, damaged([](auto& b) { b[2] &= ~SE_DACL_PRESENT; b[16] = 0xF0; }));
}
