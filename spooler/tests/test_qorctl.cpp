// qorctl against a private qorspoold, as a user meets it: failures said in
// words, status by condition name, job ids and pages as the spooler keeps
// them, input that cannot be printed refused, JSON for scripts, one-line
// usage hints and the exit codes 0, 1 and 2.
#include "spool_testing.h"
#include "qor/support/utf.h"

#include "qor/spooler.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>

namespace {

const std::string kPrinter = "Front Desk";

qortest::Output qorctl(const std::vector<std::string>& args) { return qortest::run("qorctl", args); }

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The line of a listing that starts with `first`.
std::string row(const std::string& listing, const std::string& first) {
    for (const auto& line : lines(listing))
        if (line.rfind(first + " ", 0) == 0) return line;
    return "";
}

std::string write_file(const std::string& name, const std::string& content) {
    std::string path = qortest::sandbox() + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    return path;
}

class Qorctl : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(spooler.ok());
        ASSERT_TRUE(spooler.add_printer(kPrinter, "USB002", spooler.output_path()));
        std::u16string name = qor::utf8_to_utf16(kPrinter);
        PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
        ASSERT_TRUE(OpenPrinterW(name.data(), &printer, &all));
    }
    void TearDown() override {
        if (printer) ClosePrinter(printer);
    }
    // As the language monitor reports the printer's condition.
    void set_status(DWORD status) {
        ASSERT_TRUE(SetPrinterW(printer, 0, reinterpret_cast<LPBYTE>(uintptr_t(status)), PRINTER_CONTROL_SET_STATUS));
    }
    std::string status_column() { return row(qorctl({"printers"}).out, kPrinter); }

    qorspool::PrivateSpooler spooler;
    HANDLE printer = nullptr;
};

TEST_F(Qorctl, FailuresNameWhatFailedAndSayWhyInWords) {
    auto r = qorctl({"jobs", "No Such"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "qorctl: opening printer \"No Such\" failed: the printer name is invalid (error 1801)\n");
    EXPECT_EQ(r.out, "");
    r = qorctl({"add-printer", "Kiosk", "COM99", "QOR Test Driver"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("adding printer \"Kiosk\" on port COM99"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("failed: the port is unknown (error 1796)"), std::string::npos) << r.err;
    r = qorctl({"add-printer", "Kiosk", "USB002", "No Such Driver"});
    EXPECT_NE(r.err.find("the printer driver is unknown (error 1797)"), std::string::npos) << r.err;
    r = qorctl({"add-printer", kPrinter, "USB002", "QOR Test Driver"});
    EXPECT_NE(r.err.find("the printer exists already (error 1802)"), std::string::npos) << r.err;
    r = qorctl({"cancel", kPrinter, "99"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "qorctl: cancelling job 99 of printer \"Front Desk\" failed: the printer has no job 99 (error 87)\n");
    r = qorctl({"remove-driver", "QOR Test Driver"});
    EXPECT_NE(r.err.find("in use by a printer (error 3001)"), std::string::npos) << r.err;
    r = qorctl({"remove-monitor", "No Such Monitor"});
    EXPECT_NE(r.err.find("the print monitor is unknown (error 3000)"), std::string::npos) << r.err;
    r = qorctl({"configure-port", "COM2", "--settings", "fast"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find("qorctl: configuring port COM2 failed: "), 0u) << r.err;
    EXPECT_EQ(r.err.find("(error"), r.err.rfind("(error")) << r.err;
    // The test driver names no interface driver with sheets.
    r = qorctl({"properties", kPrinter});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "qorctl: showing the properties of printer \"Front Desk\" failed: its driver has no property "
                     "sheets\n");
}

TEST_F(Qorctl, UsageErrorsGiveAOneLineHintAndExitTwo) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"frobnicate"}, {"add-printer", "Kiosk"}, {"set-printer", kPrinter, "+sparkle"},
             {"cancel", kPrinter, "7x"}, {"cancel", kPrinter, "0"}, {"printers", "extra"}, {"ports", "--json"},
             {"jobs"}, {"status", "now"}, {"configure-port", "COM2", "--speed", "9"}}) {
        auto r = qorctl(args);
        std::string shown = args.empty() ? "(none)" : args[0];
        EXPECT_EQ(r.status, 2) << shown;
        EXPECT_EQ(r.out, "") << shown;
        auto message = lines(r.err);
        ASSERT_EQ(message.size(), 2u) << r.err;
        EXPECT_EQ(message[0].rfind("qorctl: ", 0), 0u) << r.err;
        EXPECT_EQ(message[1], "Try 'qorctl --help'.");
    }
    // Nothing was changed by the refused set-printer.
    EXPECT_EQ(row(qorctl({"printers"}).out, kPrinter).find("sparkle"), std::string::npos);
    for (const char* help : {"--help", "help", "-h"}) {
        auto r = qorctl({help});
        EXPECT_EQ(r.status, 0);
        for (const char* topic : {"monitors", "--json", "print PRINTER FILE", "Exit codes"})
            EXPECT_NE(r.out.find(topic), std::string::npos) << topic;
    }
    auto r = qortest::run("qorspoold", {"--frobnicate"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "qorspoold: unknown argument '--frobnicate'\nTry 'qorspoold --help'.\n");
    r = qortest::run("qorspoold", {"--idle"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(lines(r.err).size(), 2u) << r.err;
}

TEST_F(Qorctl, EveryAdministrationProgramTellsTheSameVersion) {
    auto ctl = qorctl({"--version"}), spoold = qortest::run("qorspoold", {"--version"}),
         emu = qortest::run("qoremu", {"--version"});
    EXPECT_EQ(ctl.status, 0);
    EXPECT_EQ(spoold.status, 0);
    EXPECT_EQ(emu.status, 0);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(ctl.out, m, std::regex("qorctl ([0-9]+\\.[0-9]+(\\.[0-9]+)?)\n"))) << ctl.out;
    std::string version = m[1];
    EXPECT_EQ(spoold.out, "qorspoold " + version + "\n");
    EXPECT_EQ(emu.out.rfind("qoremu " + version + " ", 0), 0u) << emu.out;
}

TEST_F(Qorctl, StatusWordsAreShownAsConditionNames) {
    EXPECT_EQ(status_column().substr(status_column().size() - 5), "ready");
    set_status(PRINTER_STATUS_PAPER_OUT | PRINTER_STATUS_PRINTING);
    EXPECT_NE(status_column().find("  paper out, printing"), std::string::npos) << status_column();
    auto json = qorctl({"printers", "--json"});
    EXPECT_EQ(json.status, 0);
    EXPECT_NE(json.out.find("\"status\": 1040, \"conditions\": [\"paper out\", \"printing\"]"), std::string::npos)
        << json.out;
    set_status(PRINTER_STATUS_NOT_AVAILABLE);
    EXPECT_NE(status_column().find("  no answer"), std::string::npos) << status_column();
    set_status(0x20000000 | 0x40000000 | PRINTER_STATUS_OFFLINE);
    EXPECT_NE(status_column().find("  offline, cutter error, paper near end"), std::string::npos) << status_column();
    set_status(0);
    EXPECT_EQ(qorctl({"pause", kPrinter}).status, 0);
    EXPECT_NE(status_column().find("  paused"), std::string::npos) << status_column();
    EXPECT_EQ(qorctl({"resume", kPrinter}).status, 0);
    EXPECT_NE(status_column().find("  ready"), std::string::npos) << status_column();
    EXPECT_EQ(status_column().find("0x"), std::string::npos);
}

TEST_F(Qorctl, JobsShowTheSpoolersIdsAndPages) {
    ASSERT_EQ(qorctl({"pause", kPrinter}).status, 0);
    std::string file = write_file("ticket.bin", "raw ticket ");
    auto printed = qorctl({"print", kPrinter, file});
    ASSERT_EQ(printed.status, 0) << printed.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(printed.out, m, std::regex("job ([0-9]+)\n"))) << printed.out;
    std::string raw_id = m[1];
    // Three pages through the client API, as the graphics engine marks them.
    std::u16string doc = u"three pages", type = u"RAW";
    DOC_INFO_1W info{doc.data(), nullptr, type.data()};
    DWORD job = StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&info));
    ASSERT_NE(job, 0u);
    for (int page = 0; page < 3; ++page) {
        char data[] = "page ";
        DWORD written = 0;
        ASSERT_TRUE(StartPagePrinter(printer));
        ASSERT_TRUE(WritePrinter(printer, data, 5, &written));
        ASSERT_TRUE(EndPagePrinter(printer));
    }
    ASSERT_TRUE(EndDocPrinter(printer));

    auto listing = qorctl({"jobs", kPrinter});
    EXPECT_EQ(listing.status, 0);
    EXPECT_TRUE(std::regex_search(row(listing.out, raw_id), std::regex("^" + raw_id + " +queued +\\S+ +1 +.*ticket\\.bin$")))
        << listing.out;
    EXPECT_TRUE(std::regex_search(row(listing.out, std::to_string(job)),
                                  std::regex("^" + std::to_string(job) + " +queued +\\S+ +3 +three pages$")))
        << listing.out;
    auto json = qorctl({"jobs", kPrinter, "--json"});
    EXPECT_NE(json.out.find("{\"id\": " + std::to_string(job) + ", \"status\": 0, \"conditions\": []"), std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("\"pages\": 3, \"pages_printed\": 0"), std::string::npos) << json.out;

    ASSERT_EQ(qorctl({"resume", kPrinter}).status, 0);
    ASSERT_TRUE(spooler.wait_idle(kPrinter));
    EXPECT_EQ(spooler.output(), "raw ticket page page page ");
    EXPECT_EQ(lines(qorctl({"jobs", kPrinter}).out).size(), 1u);  // the heading
}

TEST_F(Qorctl, PrintRefusesFoldersEmptyAndMissingFiles) {
    std::string folder = qortest::sandbox() + "/some folder";
    std::filesystem::create_directories(folder);
    auto r = qorctl({"print", kPrinter, folder});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "qorctl: " + folder + " is a folder; print takes a file\n");
    std::string empty = write_file("empty.bin", "");
    r = qorctl({"print", kPrinter, empty});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "qorctl: " + empty + " is empty; there is nothing to print\n");
    r = qorctl({"print", kPrinter, qortest::sandbox() + "/missing.bin"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "qorctl: cannot read " + qortest::sandbox() + "/missing.bin: No such file or directory\n");
    r = qorctl({"print", "No Such", write_file("real.bin", "x")});
    EXPECT_EQ(r.status, 1);
    // No job was made for any of them.
    EXPECT_NE(qorctl({"jobs", kPrinter, "--json"}).out.find("\"jobs\": []"), std::string::npos);
    EXPECT_TRUE(spooler.wait_idle(kPrinter));
    EXPECT_EQ(spooler.output(), "");
}

TEST_F(Qorctl, JsonListingsQuoteNamesForScripts) {
    const std::string odd = "Desk \"B\" Zürich";
    ASSERT_EQ(qorctl({"add-printer", odd, "USB002", "QOR Test Driver"}).status, 0);
    ASSERT_EQ(qorctl({"set-printer", odd, "+bidi", "+keep-printed"}).status, 0);
    auto r = qorctl({"printers", "--json"});
    EXPECT_EQ(r.status, 0);
    auto body = lines(r.out);
    ASSERT_EQ(body.size(), 4u) << r.out;  // {"printers": [, two printers, ]}
    EXPECT_EQ(body[0], "{\"printers\": [");
    EXPECT_EQ(body[3], "]}");
    std::string expected_start = "  {\"name\": \"Desk \\\"B\\\" Zürich\", \"port\": \"USB002\", \"driver\": \"QOR Test Driver\"";
    EXPECT_EQ(body[1].rfind(expected_start, 0), 0u) << body[1];
    EXPECT_NE(body[1].find("\"attributes\": [\"bidi\", \"keep-printed\", \"local\"]}"), std::string::npos) << body[1];
    EXPECT_EQ(body[1].back(), ',');
    EXPECT_EQ(body[2].rfind("  {\"name\": \"Front Desk\"", 0), 0u) << body[2];
    // Text listing: one line per printer under the heading.
    EXPECT_EQ(lines(qorctl({"printers"}).out).size(), 3u);

    ASSERT_EQ(qorctl({"pause", odd}).status, 0);
    std::string file = write_file("tab\there.txt", "x");
    ASSERT_EQ(qorctl({"print", odd, file}).status, 0);
    r = qorctl({"jobs", "--json", odd});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("{\"printer\": \"Desk \\\"B\\\" Zürich\", \"jobs\": [\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("tab\\there.txt\"}"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"submitted\": \"20"), std::string::npos) << r.out;
    EXPECT_EQ(qorctl({"purge", odd}).status, 0);
}

TEST_F(Qorctl, MonitorsListsThePortMonitorAndTheRegisteredOnes) {
    auto r = qorctl({"monitors"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lines(r.out).size(), 2u) << r.out;
    EXPECT_NE(row(r.out, "Local Port").find("built into the service"), std::string::npos) << r.out;
    ASSERT_EQ(qorctl({"add-monitor", "Test Monitor", "spooltest_monitor.so"}).status, 0);
    r = qorctl({"monitors"});
    EXPECT_TRUE(std::regex_search(row(r.out, "Test Monitor"), std::regex("^Test Monitor +spooltest_monitor\\.so$")))
        << r.out;
    // The client call itself: both levels, the size query, a bad level.
    DWORD needed = 0, count = 0;
    EXPECT_FALSE(EnumMonitorsW(nullptr, 1, nullptr, 0, &needed, &count));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    std::vector<uint8_t> buf(needed);
    ASSERT_TRUE(EnumMonitorsW(nullptr, 1, buf.data(), needed, &needed, &count));
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(std::u16string(reinterpret_cast<MONITOR_INFO_1W*>(buf.data())[1].pName), u"Test Monitor");
    EXPECT_FALSE(EnumMonitorsW(nullptr, 3, nullptr, 0, &needed, &count));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_LEVEL));
    ASSERT_EQ(qorctl({"remove-monitor", "Test Monitor"}).status, 0);
    EXPECT_EQ(row(qorctl({"monitors"}).out, "Test Monitor"), "");
}

}  // namespace
