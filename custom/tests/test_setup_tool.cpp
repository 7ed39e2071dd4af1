#include "setup_tool.h"

#include "fake_cil.h"
#include "fake_system.h"
#include "qortest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>

using namespace custom;
using namespace std::chrono_literals;

namespace {

struct FakeHost : Host {
    std::vector<Message> shown;
    std::vector<std::string> statuses;
    std::deque<Answer> answers;  // for Retry/Cancel and Yes/No; Cancel / No when empty
    Answer show(const Message& m) override {
        shown.push_back(m);
        if (m.buttons == Buttons::Ok) return Answer::Ok;
        if (answers.empty()) return m.buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void begin_communication(const std::string& status) override { statuses.push_back(status); }
    void end_communication() override {}
    void pump() override {}
    void wait(std::chrono::milliseconds duration) override { waits.push_back(duration); }
    void busy_cursor(bool on) override { cursor.push_back(on); }
    std::vector<std::chrono::milliseconds> waits;
    std::vector<bool> cursor;
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const Message& m : shown) out.push_back(m.text);
        return out;
    }
};

std::string file(const std::string& name, const std::string& content) {
    const std::string path = qortest::sandbox() + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    return path;
}

// The reply to the read of the factory settings 18 07 00 C8.
const std::vector<BYTE> kFactoryReply = {0x55, 0x08, 0x01, 0x07, 0x00, 0x00, 0x00, 0x08, 0x0C};

class CustomTool : public ::testing::Test {
protected:
    void SetUp() override {
        fakecil::reset();
        system.port.BaudRate = 38400;
        system.port.fOutxCtsFlow = 1;
        system.port.StopBits = ONESTOPBIT;
        system.port.ByteSize = 8;
    }
    void printer(const std::string& name, const std::string& port, DWORD status = 0, DWORD attributes = 0x800) {
        system.printers.push_back({name, port, "QOR ZEM-D", attributes, status});
    }
    void replies(std::deque<std::vector<BYTE>> pieces) {
        auto l = fakecil::lock();
        fakecil::script().pieces = std::move(pieces);
    }
    std::vector<BYTE> sent() {
        auto l = fakecil::lock();
        return fakecil::script().sent;
    }
    // Found and read on the given port.
    void acquire(const std::string& port) {
        printer("QOR ZEM-Dx10P", port);
        ASSERT_TRUE(tool.find_printer());
        replies({kFactoryReply});
        ASSERT_TRUE(tool.load_printer());
        host.shown.clear();
        auto l = fakecil::lock();
        fakecil::script().sent.clear();
    }

    FakeHost host;
    FakeLibrary library;
    FakeSystem system;
    SetupTool tool{host, library, system, fakecil::fast_timing(1ms)};
};

}  // namespace

TEST_F(CustomTool, FindsTheFirstCandidateAndClassifiesItsPort) {
    system.printers.push_back({"Office", "COM2", "Other", 0x800, 0});
    printer("Kiosk \"A\"", "COM10");
    EXPECT_TRUE(tool.find_printer());
    EXPECT_EQ(tool.printer_name(), "Kiosk \"A\"");
    EXPECT_EQ(tool.interface_kind(), InterfaceKind::Serial);
    EXPECT_EQ(host.statuses, (std::vector<std::string>{"It is communicating with \"Kiosk \"A\"\"."}));
    EXPECT_TRUE(system.raw_jobs.empty());
    EXPECT_EQ(system.purges, 0);
    EXPECT_FALSE(library.bound);
}

TEST_F(CustomTool, PortClasses) {
    for (auto [port, kind] : {std::pair{"COM1", InterfaceKind::Serial}, {"LPT1", InterfaceKind::Parallel},
                              {"USB001", InterfaceKind::Usb}, {"QORUSB3", InterfaceKind::Usb}}) {
        system.printers.clear();
        printer("P", port);
        EXPECT_TRUE(tool.find_printer()) << port;
        EXPECT_EQ(tool.interface_kind(), kind) << port;
    }
}

TEST_F(CustomTool, QorPortOtherThanUsbIsAnUnknownInterface) {
    printer("P", "QORNET1");
    EXPECT_FALSE(tool.find_printer());
    EXPECT_EQ(host.texts(), (std::vector<std::string>{"Unknown interface which is indicated by the printer driver.",
                                                      "Unable to access with the ZEM-D printer."}));
    EXPECT_EQ(tool.printer_name(), "???");
    EXPECT_EQ(tool.port_name(), "???");
}

TEST_F(CustomTool, NoBidirectionalSupportAndNoDriver) {
    printer("P", "COM1", 0, 0);
    EXPECT_FALSE(tool.find_printer());
    EXPECT_EQ(host.shown.at(0).text, "Don't support bi-direction.");
    host.shown.clear();
    system.printers = {{"P", "FILE:", "QOR ZEM-D", 1, 0}, {"Q", "COM1", "QOR ZEM", 1, 0}};
    EXPECT_FALSE(tool.find_printer());
    EXPECT_EQ(host.texts(), (std::vector<std::string>{"Unable to find the ZEM-D printer driver."}));
    EXPECT_EQ(host.shown.at(0).caption, "QOR Hardware Setting Tool");
}

TEST_F(CustomTool, StatusNotZeroGetsTheRecoveryJobAndPurgeFirst) {
    printer("P", "COM1", 0x80);
    EXPECT_TRUE(tool.find_printer());
    EXPECT_EQ(system.raw_jobs, (std::vector<std::string>{"P"}));
    EXPECT_EQ(system.purges, 1);
    EXPECT_EQ(host.waits, (std::vector<std::chrono::milliseconds>{1000ms}));
}

TEST_F(CustomTool, UnreachablePrinterStopsTheSearch) {
    printer("P", "COM1");
    printer("Q", "COM2");
    {
        auto l = fakecil::lock();
        fakecil::script().open_result = 100013;
    }
    EXPECT_FALSE(tool.find_printer());
    auto l = fakecil::lock();
    EXPECT_EQ(fakecil::script().opens, 1);
}

TEST_F(CustomTool, MissingLibraryIsReportedTwiceInAnExchange) {
    printer("P", "COM1");
    library.present = false;
    EXPECT_FALSE(tool.bind_library());
    EXPECT_FALSE(tool.find_printer());
    EXPECT_EQ(host.shown.at(1).text, " Unable to load library.  [QORCIL.DLL] \n Please retry install ");
    EXPECT_EQ(host.shown.at(2).text, " Unable to load library.  [QORCIL.DLL]  ");
}

TEST_F(CustomTool, ReadsTheSettingsAndPassesTheHostTest) {
    acquire("COM1");
    EXPECT_TRUE(tool.acquired());
    EXPECT_EQ(tool.setbank(), (SettingBytes{0x18, 0x07, 0x00, 0xC8}));
    EXPECT_EQ(tool.mask(), (SettingBytes{0xF8, 0xFF, 0xFF, 0x01}));
    EXPECT_EQ(at(tool.selections(), List::BaudRate), 0);
}

TEST_F(CustomTool, ReplyWithoutHeaderPromptsAndCancelLeavesNotAcquired) {
    printer("P", "COM1");
    ASSERT_TRUE(tool.find_printer());
    replies({std::vector<BYTE>(21, 0x01)});
    EXPECT_FALSE(tool.load_printer());
    EXPECT_EQ(host.texts(), (std::vector<std::string>{"Unable to get [DIP SW] data. \nPlease check the [COM1] settings."}));
    EXPECT_FALSE(tool.acquired());
    EXPECT_EQ(tool.mask(), (SettingBytes{0, 0, 0, 0}));
    EXPECT_EQ(at(tool.selections(), List::PaperWidth), kNone);
}

TEST_F(CustomTool, RetryReadsAgain) {
    printer("P", "COM1");
    ASSERT_TRUE(tool.find_printer());
    replies({std::vector<BYTE>(21, 0x01), kFactoryReply});
    host.answers = {Answer::Retry};
    EXPECT_TRUE(tool.load_printer());
    EXPECT_EQ(host.shown.size(), 1u);
}

TEST_F(CustomTool, FailedExchangeGivesThePortPrompt) {
    printer("P", "COM1");
    ASSERT_TRUE(tool.find_printer());
    {
        auto l = fakecil::lock();
        fakecil::script().open_result = 100013;
    }
    EXPECT_FALSE(tool.load_printer());
    EXPECT_EQ(host.shown.at(0).text, "Unable to initialize the [ COM1 ] port . \nPlease check the connection of the printer. ");
    EXPECT_EQ(host.shown.at(0).buttons, Buttons::RetryCancel);
}

TEST_F(CustomTool, HostPortMismatchFailsTheRead) {
    system.port.BaudRate = 9600;
    printer("P", "COM1");
    ASSERT_TRUE(tool.find_printer());
    replies({kFactoryReply});
    EXPECT_FALSE(tool.load_printer());
    EXPECT_EQ(host.texts(), (std::vector<std::string>{"Mismatch [Bit per second] port setting of Host and Printer"}));
    EXPECT_FALSE(tool.acquired());
}

TEST_F(CustomTool, WriteSendsTheCommandAndOffersTheTestPrint) {
    acquire("USB001");
    at(tool.selections(), List::PrintDensity) = 7;
    host.answers = {Answer::Yes};
    tool.write_settings();
    EXPECT_EQ(sent(), (std::vector<BYTE>{0x1D, 0x61, 0x0E, 0x12, 0x6B, 0x18, 0x0F, 0x00, 0xC8, 0x1D, 0x61, 0x1E, 0x1B,
                                         0x40, 0x12, 0x74}));
    EXPECT_EQ(host.texts(), (std::vector<std::string>{" Setting was completed.  Do you print a result? "}));
    EXPECT_EQ(host.waits, (std::vector<std::chrono::milliseconds>{2000ms}));
    EXPECT_EQ(host.cursor, (std::vector<bool>{true, false}));
}

TEST_F(CustomTool, WriteRefusedUntilAcquiredAndUntilPaperTypeChosen) {
    tool.write_settings();
    EXPECT_EQ(host.texts(), (std::vector<std::string>{"The printer's infomations was not acquired "}));
    host.shown.clear();
    printer("P", "COM1");
    ASSERT_TRUE(tool.find_printer());
    replies({{0x55, 0x08, 0x01, 0x07, 0x00, 0x08, 0x03, 0x08, 0x0C}});  // paper type bits 111
    ASSERT_TRUE(tool.load_printer());
    EXPECT_EQ(at(tool.selections(), List::PaperType), kNone);
    tool.write_settings();
    EXPECT_EQ(host.texts(), (std::vector<std::string>{"Input error.  Some items isn't selected.\n"}));
    EXPECT_TRUE(sent().empty() || sent() == std::vector<BYTE>(std::begin(qor::settings::kReadCommand),
                                                              std::end(qor::settings::kReadCommand)));
}

TEST_F(CustomTool, TestPrintAndResetBytesAndFailures) {
    printer("P", "LPT1");
    ASSERT_TRUE(tool.find_printer());
    tool.test_print();
    tool.reset();
    EXPECT_EQ(sent(), (std::vector<BYTE>{0x1D, 0x61, 0x1E, 0x1B, 0x40, 0x12, 0x74, 0x1D, 0x61, 0x0E, 0x12, 0x40}));
    {
        auto l = fakecil::lock();
        fakecil::script().comm_result = 1;
    }
    tool.test_print();
    tool.reset();
    EXPECT_EQ(host.texts(), (std::vector<std::string>{"Unable to send testprint command to the printer.",
                                                      " Unable to send hardware_reset command to the printer. "}));
}

TEST_F(CustomTool, SerialFileMergeAndSaveLoadRoundTrip) {
    acquire("COM1");
    const std::string ff = file("ff.dip", std::string("SP\xFF\xFF\xFF\xFF", 6));
    ASSERT_TRUE(tool.load_file_dialog(ff));
    EXPECT_EQ(tool.setbank(), (SettingBytes{0x18 | 0xF8, 0xFF, 0xFF, 0xC8 | 0x01}));

    const Selections before = tool.selections();
    const std::string saved = qortest::sandbox() + "/saved.dip";
    ASSERT_TRUE(tool.save_file(saved));
    tool.load_defaults(Model::D610x);
    EXPECT_NE(tool.selections(), before);
    ASSERT_TRUE(tool.load_file_dialog(saved));
    EXPECT_EQ(tool.selections(), before);
}

TEST_F(CustomTool, FileRoutesRefuseWrongFiles) {
    acquire("COM1");
    const std::string seven = file("seven.dip", std::string("SP\x00\x00\x00\x00\x00", 7));
    EXPECT_FALSE(tool.load_file_dialog(seven));
    EXPECT_EQ(host.texts(), (std::vector<std::string>{"    Unknow file     "}));
    EXPECT_EQ(tool.setbank(), (SettingBytes{0x18, 0x07, 0x00, 0xC8}));
    EXPECT_TRUE(tool.load_file_document(seven));
    EXPECT_EQ(tool.setbank(), (SettingBytes{0x00, 0x00, 0x00, 0xC8}));
    host.shown.clear();
    EXPECT_FALSE(tool.load_file_dialog(qortest::sandbox() + "/missing.dip"));
    EXPECT_TRUE(host.shown.empty());
}

TEST_F(CustomTool, AnOpenedDocumentSurvivesTheFreshReadOfThePrinter) {
    acquire("LPT1");
    // Auto cutter and presenter on, 100% density, the line bits of byte 3 on.
    const std::string dip = file("doc.dip", std::string("SP\x18\x07\x00\x07tail", 10));
    replies({kFactoryReply});
    ASSERT_TRUE(tool.open_document(dip));
    EXPECT_TRUE(tool.acquired());
    EXPECT_EQ(tool.setbank(), (SettingBytes{0x18, 0x07, 0x00, 0xC8 | 0x07})) << "merged after the read, under its mask";
    EXPECT_EQ(at(tool.selections(), List::BaudRate), 1) << "Auto LF shows the file's bit";

    const std::string wrong = file("wrong.dip", std::string("XP\xFF\xFF\xFF\xFF", 6));
    replies({kFactoryReply});
    EXPECT_FALSE(tool.open_document(wrong));
    EXPECT_TRUE(tool.acquired()) << "the printer is still read";
    EXPECT_EQ(tool.setbank(), (SettingBytes{0x18, 0x07, 0x00, 0xC8}));
    EXPECT_TRUE(host.shown.empty());
}
