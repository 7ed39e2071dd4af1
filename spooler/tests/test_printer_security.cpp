// Printer descriptors through the client: the default a new printer gets,
// level-3 updates kept across a restart, and damaged records refused.
#include "qor/security.h"
#include "qor/spooler.h"
#include "spool_testing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <pwd.h>
#include <unistd.h>

namespace {

constexpr const char* kPrinter = "Kiosk";

struct Open {
    HANDLE h = nullptr;
    explicit Open(DWORD access = PRINTER_ALL_ACCESS) {
        PRINTER_DEFAULTSA defaults{nullptr, nullptr, access};
        EXPECT_TRUE(OpenPrinterA(const_cast<LPSTR>(kPrinter), &h, &defaults));
    }
    ~Open() { ClosePrinter(h); }
};

std::vector<uint8_t> level3(HANDLE printer) {
    DWORD needed = 0;
    SetLastError(0);
    EXPECT_FALSE(GetPrinterA(printer, 3, nullptr, 0, &needed));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    std::vector<uint8_t> record(needed);
    EXPECT_TRUE(GetPrinterA(printer, 3, record.data(), needed, &needed));
    return record;
}

PSECURITY_DESCRIPTOR sd_of(std::vector<uint8_t>& record) {
    return reinterpret_cast<PRINTER_INFO_3*>(record.data())->pSecurityDescriptor;
}

}  // namespace

TEST(PrinterSecurity, NewPrinterIsOwnedByItsCreatorAndUsableByEveryone) {
    qorspool::PrivateSpooler spooler;
    ASSERT_TRUE(spooler.ok());
    ASSERT_TRUE(spooler.add_printer(kPrinter, "FILE:", spooler.output_path()));
    Open printer;
    auto record = level3(printer.h);
    PSECURITY_DESCRIPTOR sd = sd_of(record);
    ASSERT_TRUE(IsValidSecurityDescriptor(sd));
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    ASSERT_TRUE(GetSecurityDescriptorOwner(sd, &owner, &defaulted));
    char name[80], domain[80];
    DWORD n = sizeof name, d = sizeof domain;
    SID_NAME_USE use;
    ASSERT_TRUE(LookupAccountSidA(nullptr, owner, name, &n, domain, &d, &use));
    const passwd* me = getpwuid(getuid());
    ASSERT_NE(nullptr, me);
    EXPECT_STREQ(me->pw_name, name);

    BOOL present = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted));
    bool everyone_uses = false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, &ace));
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        n = d = 80;
        ASSERT_TRUE(LookupAccountSidA(nullptr, &allowed->SidStart, name, &n, domain, &d, &use));
        if (!std::strcmp(name, "Everyone") && allowed->Header.AceFlags == 0)
            everyone_uses = allowed->Mask == PRINTER_ACCESS_USE;
    }
    EXPECT_TRUE(everyone_uses);
}

TEST(PrinterSecurity, LevelThreeUpdateIsKeptAcrossARestartAndDamagedRecordsAreRefused) {
    std::vector<uint8_t> written;
    {
        qorspool::PrivateSpooler spooler;
        ASSERT_TRUE(spooler.ok());
        ASSERT_TRUE(spooler.add_printer(kPrinter, "FILE:", spooler.output_path()));
        Open printer;
        auto record = level3(printer.h);
        // A descriptor with only a DACL: the printer keeps its owner.
        BOOL present = FALSE, defaulted = FALSE;
        PACL dacl = nullptr;
        ASSERT_TRUE(GetSecurityDescriptorDacl(sd_of(record), &present, &dacl, &defaulted));
        std::vector<uint8_t> acl(dacl->AclSize + 32);
        std::memcpy(acl.data(), dacl, dacl->AclSize);
        reinterpret_cast<PACL>(acl.data())->AclSize = WORD(acl.size());
        static SID_IDENTIFIER_AUTHORITY unix_authority = SECURITY_UNIX_AUTHORITY;
        PSID group = nullptr;
        ASSERT_TRUE(AllocateAndInitializeSid(&unix_authority, 2, 2, 4321, 0, 0, 0, 0, 0, 0, &group));
        ASSERT_TRUE(AddAccessAllowedAce(reinterpret_cast<PACL>(acl.data()), ACL_REVISION, PRINTER_ACCESS_USE, group));
        FreeSid(group);
        SECURITY_DESCRIPTOR sd;
        InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&sd, TRUE, reinterpret_cast<PACL>(acl.data()), FALSE);
        PRINTER_INFO_3 update{&sd};
        ASSERT_TRUE(SetPrinterA(printer.h, 3, reinterpret_cast<LPBYTE>(&update), 0));
        written = level3(printer.h);
        PSID owner = nullptr;
        ASSERT_TRUE(GetSecurityDescriptorOwner(sd_of(written), &owner, &defaulted));
        EXPECT_NE(nullptr, owner);

        // A self-relative record whose DACL claims more entries than it holds.
        std::vector<uint8_t> damaged(written.begin() + sizeof(PRINTER_INFO_3), written.end());
        ASSERT_GT(damaged.size(), sizeof(SECURITY_DESCRIPTOR_RELATIVE));
        uint32_t dacl_at = 0;
        std::memcpy(&dacl_at, &damaged[16], 4);
        ASSERT_LT(dacl_at + 6, damaged.size());
        damaged[dacl_at + 4] = 200;
        PRINTER_INFO_3 bad{damaged.data()};
        SetLastError(0);
        EXPECT_FALSE(SetPrinterA(printer.h, 3, reinterpret_cast<LPBYTE>(&bad), 0));
        EXPECT_EQ(DWORD(ERROR_INVALID_SECURITY_DESCR), GetLastError());
    }
    qorspool::PrivateSpooler restarted;
    ASSERT_TRUE(restarted.ok());
    Open printer;
    auto again = level3(printer.h);
    EXPECT_EQ(std::vector<uint8_t>(written.begin() + sizeof(PRINTER_INFO_3), written.end()),
              std::vector<uint8_t>(again.begin() + sizeof(PRINTER_INFO_3), again.end()));
}
