// The printer's interface driver asked before a job is sent, and told of the
// printer's add and delete: qorspoold with the test driver module as the
// printer's configuration file.
#include "qortest.h"
#include "spool_testing.h"
#include "qor/support/utf.h"

#include "qor/ddiui.h"
#include "qor/devmode.h"
#include "qor/registry.h"
#include "qor/spooler.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using qortest::eventually;

std::u16string w(const std::string& s) { return qor::utf8_to_utf16(s); }

std::string driver_folder() {
    char16_t dir[1024] = {};
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(dir), sizeof dir, &needed)) return {};
    return qor::utf16_to_utf8(dir);
}

// The test driver in the driver folder, installed as "QOR Query Driver".
bool install_driver() {
    const std::filesystem::path three = std::filesystem::path(driver_folder()) / "3";
    std::error_code ec;
    std::filesystem::create_directories(three, ec);
    std::filesystem::create_symlink(qortest::bin_dir() + "/spooltest_driver.so", three / "spooltest_driver.so", ec);
    std::u16string env = w(QOR_DRIVER_ENVIRONMENT), name = u"QOR Query Driver", file = u"QORKPDN5.so",
                   data = u"qorn5001.ppd", config = u"spooltest_driver.so", type = u"RAW", none(1, u'\0');
    DRIVER_INFO_3W info{};
    info.cVersion = 3;
    info.pName = name.data(), info.pEnvironment = env.data(), info.pDriverPath = file.data();
    info.pDataFile = data.data(), info.pConfigFile = config.data(), info.pDependentFiles = none.data();
    info.pDefaultDataType = type.data();
    return AddPrinterDriverW(nullptr, 3, reinterpret_cast<LPBYTE>(&info)) != FALSE;
}

std::vector<uint8_t> devmode(short copies) {
    std::vector<uint8_t> bytes(sizeof(DEVMODEW), 0);
    auto* dm = reinterpret_cast<DEVMODEW*>(bytes.data());
    dm->dmSpecVersion = DM_SPECVERSION;
    dm->dmSize = sizeof(DEVMODEW);
    dm->dmFields = DM_COPIES;
    dm->dmCopies = copies;
    return bytes;
}

class Handle {
public:
    explicit Handle(const std::string& name, const std::vector<uint8_t>& dm = {}) {
        std::u16string n = w(name);
        PRINTER_DEFAULTSW d{nullptr, dm.empty() ? nullptr : reinterpret_cast<DEVMODEW*>(const_cast<uint8_t*>(dm.data())),
                            PRINTER_ALL_ACCESS};
        if (!OpenPrinterW(n.data(), &h_, &d)) h_ = nullptr;
    }
    ~Handle() {
        if (h_) ClosePrinter(h_);
    }
    HANDLE get() const { return h_; }

private:
    HANDLE h_ = nullptr;
};

DWORD print(HANDLE h, const std::string& data) {
    std::u16string d = u"doc", type = u"RAW";
    DOC_INFO_1W di{d.data(), nullptr, type.data()};
    DWORD job = StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&di));
    DWORD written = 0;
    if (!job || !WritePrinter(h, const_cast<char*>(data.data()), DWORD(data.size()), &written) || !EndDocPrinter(h))
        return 0;
    return job;
}

struct Job {
    bool found = false;
    DWORD status = 0;
    std::u16string text;
    std::vector<uint8_t> devmode;
};

Job get_job(HANDLE h, DWORD id) {
    Job j;
    DWORD needed = 0;
    GetJobW(h, id, 2, nullptr, 0, &needed);
    std::vector<uint8_t> buf(needed);
    if (!needed || !GetJobW(h, id, 2, buf.data(), needed, &needed)) return j;
    const auto* info = reinterpret_cast<JOB_INFO_2W*>(buf.data());
    j.found = true;
    j.status = info->Status;
    if (info->pStatus) j.text = info->pStatus;
    if (info->pDevMode) {
        const auto* p = reinterpret_cast<const uint8_t*>(info->pDevMode);
        j.devmode.assign(p, p + info->pDevMode->dmSize + info->pDevMode->dmDriverExtra);
    }
    return j;
}

bool blocked(HANDLE h, DWORD id) {
    return eventually([&] { return (get_job(h, id).status & JOB_STATUS_BLOCKED_DEVQ) != 0; });
}

std::string events() {
    std::ifstream in(std::string(std::getenv("QOR_ROOT")) + "/driver-events");
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The cases may share one sandbox: each has a printer of its own and reads
// only the events that came after its start.
class JobQuery : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(spooler.ok());
        install_driver();
        kPrinter = std::string("QOR Query ") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove(spooler.output_path());
        seen = events().size();
        ASSERT_TRUE(spooler.add_printer(kPrinter, "FILE:", spooler.output_path(), "QOR Query Driver"));
    }
    std::string new_events() const { return events().substr(seen); }
    qorspool::PrivateSpooler spooler{100};
    std::string kPrinter;
    size_t seen = 0;
};

TEST_F(JobQuery, RefusedJobWaitsLaterJobsPassAndANewDeviceModePrintsIt) {
    Handle three(kPrinter, devmode(3));
    ASSERT_NE(three.get(), nullptr);
    DWORD held = print(three.get(), "three ");
    ASSERT_NE(held, 0u);
    ASSERT_TRUE(blocked(three.get(), held));
    EXPECT_EQ(get_job(three.get(), held).text, u"one copy at a time");
    EXPECT_EQ(get_job(three.get(), held).devmode, devmode(3));

    // Behind it, a job without a device mode and one with an acceptable one.
    Handle plain(kPrinter), one(kPrinter, devmode(1));
    ASSERT_NE(print(plain.get(), "plain "), 0u);
    ASSERT_NE(print(one.get(), "one "), 0u);
    ASSERT_TRUE(eventually([&] { return spooler.output() == "plain one "; })) << spooler.output();
    EXPECT_TRUE(get_job(three.get(), held).status & JOB_STATUS_BLOCKED_DEVQ);

    // A record too short to be one is refused before it is sent.
    std::vector<uint8_t> bad = devmode(1);
    reinterpret_cast<DEVMODEW*>(bad.data())->dmSize = 40;
    JOB_INFO_2W bad_info{};
    bad_info.pDevMode = reinterpret_cast<DEVMODEW*>(bad.data());
    SetLastError(0);
    EXPECT_FALSE(SetJobW(three.get(), held, 2, reinterpret_cast<LPBYTE>(&bad_info), 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

    std::vector<uint8_t> fixed = devmode(1);
    JOB_INFO_2W info{};
    info.pDevMode = reinterpret_cast<DEVMODEW*>(fixed.data());
    ASSERT_TRUE(SetJobW(three.get(), held, 2, reinterpret_cast<LPBYTE>(&info), 0));
    ASSERT_TRUE(spooler.wait_idle(kPrinter));
    EXPECT_EQ(spooler.output(), "plain one three ");
}

TEST_F(JobQuery, PrinterSettingsChangeAsksTheHeldJobsAgain) {
    Handle h(kPrinter, devmode(1));
    DWORD refuse = 1;
    std::u16string name = u"TEST_Refuse";
    ASSERT_EQ(SetPrinterDataW(h.get(), name.data(), REG_DWORD, reinterpret_cast<LPBYTE>(&refuse), 4), 0u);
    DWORD id = print(h.get(), "later");
    ASSERT_TRUE(blocked(h.get(), id));
    EXPECT_FALSE(get_job(h.get(), id).text.empty()) << "a held job says why";
    // The driver's data changes: no longer refused, and the job prints.
    refuse = 0;
    ASSERT_EQ(SetPrinterDataW(h.get(), name.data(), REG_DWORD, reinterpret_cast<LPBYTE>(&refuse), 4), 0u);
    ASSERT_TRUE(spooler.wait_idle(kPrinter));
    EXPECT_EQ(spooler.output(), "later");
}

TEST_F(JobQuery, HeldJobKeepsItsDeviceModeAcrossARestart) {
    DWORD id = 0;
    {
        Handle h(kPrinter, devmode(3));
        id = print(h.get(), "kept");
        ASSERT_TRUE(blocked(h.get(), id));
    }
    spooler.stop();
    qorspool::PrivateSpooler again(100);
    ASSERT_TRUE(again.ok());
    Handle h(kPrinter);
    ASSERT_TRUE(blocked(h.get(), id));
    EXPECT_EQ(get_job(h.get(), id).devmode, devmode(3));
    // Cancelling a held job removes it.
    ASSERT_TRUE(SetJobW(h.get(), id, 0, nullptr, JOB_CONTROL_CANCEL));
    ASSERT_TRUE(again.wait_idle(kPrinter));
    EXPECT_EQ(again.output(), "");
}

TEST_F(JobQuery, DriverHearsOfAddAndDeleteAndItsFailureIsNotFatal) {
    EXPECT_EQ(new_events(), "3 " + kPrinter + "\n");
    ASSERT_TRUE(spooler.add_printer("Failing One", "FILE:", "", "QOR Query Driver"));
    {
        Handle h("Failing One");
        ASSERT_TRUE(DeletePrinter(h.get()));
    }
    {
        Handle h(kPrinter);
        ASSERT_TRUE(DeletePrinter(h.get()));
    }
    EXPECT_EQ(new_events(), "3 " + kPrinter + "\n3 Failing One\n4 Failing One\n4 " + kPrinter + "\n");
}

}  // namespace
