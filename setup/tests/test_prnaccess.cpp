// prnaccess against a private spooler, with a second user as a real process
// of another uid: what it may do before and after the update.
#include "qor/security.h"
#include "qor/spooler.h"
#include "qor/support/utf.h"
#include "spool_testing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kPrinter = "QOR ZEM-Dx10P";
constexpr uid_t kOtherUser = 65534;

std::vector<uint8_t> descriptor_of(const char* name) {
    HANDLE printer = nullptr;
    EXPECT_TRUE(OpenPrinterA(const_cast<LPSTR>(name), &printer, nullptr));
    DWORD needed = 0;
    EXPECT_FALSE(GetPrinterA(printer, 3, nullptr, 0, &needed));
    std::vector<uint8_t> record(needed);
    EXPECT_TRUE(GetPrinterA(printer, 3, record.data(), needed, &needed));
    ClosePrinter(printer);
    auto* sd = static_cast<uint8_t*>(reinterpret_cast<PRINTER_INFO_3*>(record.data())->pSecurityDescriptor);
    return std::vector<uint8_t>(sd, sd + GetSecurityDescriptorLength(sd));
}

ACL_SIZE_INFORMATION dacl_size(std::vector<uint8_t>& sd) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    ACL_SIZE_INFORMATION info{};
    EXPECT_TRUE(GetSecurityDescriptorDacl(sd.data(), &present, &acl, &defaulted));
    EXPECT_TRUE(acl && GetAclInformation(acl, &info, sizeof info, AclSizeInformation));
    return info;
}

// A job that stays queued: the printer is paused while it is sent.
DWORD queued_job() {
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSA all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    EXPECT_TRUE(OpenPrinterA(const_cast<LPSTR>(kPrinter), &printer, &all));
    EXPECT_TRUE(SetPrinterA(printer, 0, nullptr, PRINTER_CONTROL_PAUSE));
    std::u16string document = u"receipt";
    DOC_INFO_1W doc{document.data(), nullptr, nullptr};
    DWORD job = StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&doc));
    DWORD written = 0;
    EXPECT_TRUE(WritePrinter(printer, const_cast<char*>("x"), 1, &written));
    EXPECT_TRUE(EndDocPrinter(printer));
    ClosePrinter(printer);
    return job;
}

// Lets another uid reach the service's socket in the sandbox.
void open_sandbox_to_others() {
    for (const char* variable : {"QOR_RUNTIME_DIR", "QOR_ROOT"}) {
        std::filesystem::path folder = std::getenv(variable);
        for (auto p = folder; p != p.root_path() && p.string().size() > 4; p = p.parent_path())
            chmod(p.c_str(), 0755);
    }
    chmod((std::string(std::getenv("QOR_RUNTIME_DIR")) + "/qorspoold.sock").c_str(), 0666);
}

std::string as_other_user(DWORD job) {
    auto out = qortest::run("setuptest_helper_user", {std::to_string(kOtherUser), kPrinter, std::to_string(job)});
    EXPECT_EQ(0, out.status) << out.err;
    return out.out;
}

}  // namespace

TEST(Prnaccess, WithoutAMatchingPrinterNothingChanges) {
    qorspool::PrivateSpooler spooler;
    ASSERT_TRUE(spooler.ok());
    // The update's printer exists, but no printer uses a matching driver.
    ASSERT_TRUE(spooler.add_printer(kPrinter, "FILE:", spooler.output_path(), "QOR ZEM-D"));
    auto before = descriptor_of(kPrinter);
    EXPECT_EQ(0, qortest::run("prnaccess", {}).status);
    EXPECT_EQ(before, descriptor_of(kPrinter));
}

TEST(Prnaccess, TwoMatchingPrintersWidenOnceAndTheSecondRunAddsNothing) {
    qorspool::PrivateSpooler spooler;
    ASSERT_TRUE(spooler.ok());
    ASSERT_TRUE(spooler.add_printer(kPrinter, "FILE:", spooler.output_path(), "QOR ZEM-Dx10P"));
    ASSERT_TRUE(spooler.add_printer("Second", "FILE:", spooler.output_path(), "QOR ZEM-Dx10"));
    auto before = descriptor_of(kPrinter);
    auto second_before = descriptor_of("Second");
    EXPECT_EQ(0, qortest::run("prnaccess", {}).status);
    auto after = descriptor_of(kPrinter);
    EXPECT_NE(before, after);
    // Entries changed, none added.
    EXPECT_EQ(dacl_size(before).AceCount, dacl_size(after).AceCount);
    EXPECT_EQ(dacl_size(before).AclBytesInUse, dacl_size(after).AclBytesInUse);
    EXPECT_EQ(second_before, descriptor_of("Second"));
    EXPECT_EQ(0, qortest::run("prnaccess", {}).status);
    EXPECT_EQ(after, descriptor_of(kPrinter));
}

TEST(Prnaccess, AnotherUserMayManageThePrinterAndItsJobsOnlyAfterTheUpdate) {
    if (getuid() != 0) GTEST_SKIP() << "needs root to run a second uid";
    qorspool::PrivateSpooler spooler;
    ASSERT_TRUE(spooler.ok());
    ASSERT_TRUE(spooler.add_printer(kPrinter, "FILE:", spooler.output_path(), "QOR ZEM-Dx10P"));
    DWORD job = queued_job();
    ASSERT_NE(0u, job);
    open_sandbox_to_others();
    EXPECT_EQ("open_all=5 set_job=5\n", as_other_user(job));
    EXPECT_EQ(0, qortest::run("prnaccess", {}).status);
    EXPECT_EQ("open_all=0 set_job=0\n", as_other_user(job));
}
