// The widening of a printer's DACL on descriptors built here: what changes
// for Everyone's entries, what stays, and when nothing is written.
#include "access_update.h"
#include "qor/spooler.h"
#include "security_layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

using namespace qor::security;

namespace {

struct Entry {
    std::vector<uint8_t> sid;
    BYTE flags;
    DWORD mask;
};

// A self-relative descriptor with these DACL entries (or no DACL).
std::vector<uint8_t> descriptor(const std::optional<std::vector<Entry>>& entries) {
    std::vector<uint8_t> acl_block(512);
    auto* acl = reinterpret_cast<PACL>(acl_block.data());
    EXPECT_TRUE(InitializeAcl(acl, DWORD(acl_block.size()), ACL_REVISION));
    for (const Entry& e : entries.value_or(std::vector<Entry>{}))
        EXPECT_TRUE(AddAccessAllowedAceEx(acl, ACL_REVISION, e.flags, e.mask, const_cast<uint8_t*>(e.sid.data())));
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    if (entries) SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    DWORD length = 0;
    MakeSelfRelativeSD(&sd, nullptr, &length);
    std::vector<uint8_t> out(length);
    EXPECT_TRUE(MakeSelfRelativeSD(&sd, out.data(), &length));
    return out;
}

// What widen_descriptor writes, as a self-relative block; empty when nothing.
std::vector<uint8_t> widened(std::vector<uint8_t> old) {
    std::vector<uint8_t> written;
    prnaccess::widen_descriptor(old.data(), [&](PSECURITY_DESCRIPTOR sd) {
        DWORD length = 0;
        MakeSelfRelativeSD(sd, nullptr, &length);
        written.resize(length);
        EXPECT_TRUE(MakeSelfRelativeSD(sd, written.data(), &length));
    });
    return written;
}

std::vector<Entry> entries_of(std::vector<uint8_t>& sd) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    EXPECT_TRUE(GetSecurityDescriptorDacl(sd.data(), &present, &acl, &defaulted));
    std::vector<Entry> out;
    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
        void* p = nullptr;
        EXPECT_TRUE(GetAce(acl, i, &p));
        auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(p);
        auto* sid = reinterpret_cast<uint8_t*>(&ace->SidStart);
        out.push_back({std::vector<uint8_t>(sid, sid + GetLengthSid(sid)), ace->Header.AceFlags, ace->Mask});
    }
    return out;
}

bool same(const std::vector<Entry>& a, const std::vector<Entry>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].sid != b[i].sid || a[i].flags != b[i].flags || a[i].mask != b[i].mask) return false;
    return true;
}

}  // namespace

TEST(AccessUpdate, EveryonesEntriesAreWidenedAndASecondRunChangesNothing) {
    std::vector<Entry> before{
        {administrators_sid(), 0, PRINTER_ALL_ACCESS},
        {world_sid(), 0, PRINTER_ACCESS_USE},
        {world_sid(), OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE, GENERIC_READ},
        {creator_owner_sid(), OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE, GENERIC_ALL},
    };
    auto once = widened(descriptor(before));
    ASSERT_FALSE(once.empty());
    std::vector<Entry> expected = before;
    expected[1].mask = PRINTER_ACCESS_USE | PRINTER_ALL_ACCESS;
    expected[2].flags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE;
    expected[2].mask = GENERIC_ALL;
    EXPECT_TRUE(same(expected, entries_of(once)));
    auto twice = widened(once);
    EXPECT_TRUE(same(expected, entries_of(twice)));
}

TEST(AccessUpdate, WithoutAnEveryoneEntryTheEntriesAreWrittenBackUnchanged) {
    std::vector<Entry> before{{administrators_sid(), 0, PRINTER_ALL_ACCESS}, {unix_user_sid(0), 0, 0x8}};
    auto after = widened(descriptor(before));
    ASSERT_FALSE(after.empty());
    EXPECT_TRUE(same(before, entries_of(after)));
    // A descriptor without a DACL gets an empty one.
    auto none = widened(descriptor(std::nullopt));
    ASSERT_FALSE(none.empty());
    EXPECT_TRUE(entries_of(none).empty());
}

TEST(AccessUpdate, AnEntryWhoseSidDoesNotResolveStopsTheUpdate) {
    std::vector<Entry> before{{world_sid(), 0, PRINTER_ACCESS_USE}, {unix_user_sid(0x7ffffff0), 0, 0x8}};
    EXPECT_TRUE(widened(descriptor(before)).empty());
    // A DACL of an unknown revision cannot be read: nothing is written.
    auto damaged = descriptor(std::vector<Entry>{{world_sid(), 0, PRINTER_ACCESS_USE}});
    damaged[20] = 9;
    EXPECT_TRUE(widened(damaged).empty());
}
