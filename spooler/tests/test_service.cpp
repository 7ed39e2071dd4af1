// The spooler end to end: the client API in this process, qorspoold and the
// printing clients in their own processes.
#include "spool_file.h"
#include "qortest.h"
#include "spool_testing.h"
#include "qor/support/utf.h"

#include "qor/monitor.h"
#include "qor/registry.h"
#include "qor/spooler.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <poll.h>
#include <random>
#include <regex>
#include <set>
#include <termios.h>
#include <unistd.h>

namespace {

using qortest::eventually;

const std::string kPrinter = "QOR ZEM-D";

std::u16string w(const std::string& s) { return qor::utf8_to_utf16(s); }

class Printer {
public:
    explicit Printer(const std::string& name, bool all_access = true) {
        std::u16string n = w(name);
        PRINTER_DEFAULTSW d{nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (!OpenPrinterW(n.data(), &h_, all_access ? &d : nullptr)) h_ = nullptr;
    }
    ~Printer() {
        if (h_) ClosePrinter(h_);
    }
    HANDLE get() const { return h_; }

    std::vector<uint8_t> info(DWORD level) const {
        DWORD needed = 0;
        GetPrinterW(h_, level, nullptr, 0, &needed);
        std::vector<uint8_t> buf(needed);
        if (!GetPrinterW(h_, level, buf.data(), needed, &needed)) buf.clear();
        return buf;
    }
    PRINTER_INFO_2W* level2(std::vector<uint8_t>& keep) const {
        keep = info(2);
        return keep.empty() ? nullptr : reinterpret_cast<PRINTER_INFO_2W*>(keep.data());
    }
    DWORD jobs() const {
        std::vector<uint8_t> keep;
        auto* p = level2(keep);
        return p ? p->cJobs : 0xFFFFFFFF;
    }
    bool command(DWORD c) const { return SetPrinterW(h_, 0, nullptr, c) != FALSE; }

private:
    HANDLE h_ = nullptr;
};

DWORD print(HANDLE h, const std::string& data, const std::string& doc = "test") {
    std::u16string d = w(doc), type = u"RAW";
    DOC_INFO_1W di{d.data(), nullptr, type.data()};
    DWORD job = StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&di));
    if (!job) return 0;
    DWORD written = 0;
    if (!StartPagePrinter(h) || !WritePrinter(h, const_cast<char*>(data.data()), DWORD(data.size()), &written) ||
        written != data.size() || !EndPagePrinter(h) || !EndDocPrinter(h))
        return 0;
    return job;
}

// Descriptors of `pid` whose target starts with `prefix` ("socket:", a path).
size_t descriptors(pid_t pid, const std::string& prefix) {
    size_t n = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::string target = std::filesystem::read_symlink(it->path(), ec).string();
        n += !ec && target.rfind(prefix, 0) == 0;
    }
    return n;
}

class SpoolerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(spooler.ok());
        ASSERT_TRUE(spooler.add_printer(kPrinter, "FILE:", spooler.output_path()));
    }
    qorspool::PrivateSpooler spooler{100};
};

TEST_F(SpoolerTest, MegabyteJobWrittenInRandomPiecesArrivesByteForByte) {
    std::mt19937 rng(42);
    std::string data(1 << 20, '\0');
    for (auto& c : data) c = static_cast<char>(rng());
    Printer p(kPrinter);
    std::u16string doc = u"big", type = u"RAW";
    DOC_INFO_1W di{doc.data(), nullptr, type.data()};
    ASSERT_NE(StartDocPrinterW(p.get(), 1, reinterpret_cast<LPBYTE>(&di)), 0u);
    size_t off = 0;
    while (off < data.size()) {
        size_t n = std::min<size_t>(1 + rng() % 70000, data.size() - off);
        DWORD written = 0;
        ASSERT_TRUE(WritePrinter(p.get(), data.data() + off, DWORD(n), &written));
        ASSERT_EQ(written, n);
        off += n;
    }
    ASSERT_TRUE(EndDocPrinter(p.get()));
    ASSERT_TRUE(spooler.wait_idle(kPrinter));
    EXPECT_TRUE(spooler.output() == data);
}

TEST_F(SpoolerTest, EightClientsPrintingAtOnceLoseAndMixNothing) {
    std::vector<qortest::Child> clients;
    for (int c = 0; c < 8; ++c)
        clients.push_back(qortest::Child::spawn("spooltest_helper_print", {"jobs", kPrinter, std::to_string(c), "50"}));
    for (auto& c : clients) ASSERT_EQ(c.wait(std::chrono::seconds(120)), 0);
    ASSERT_TRUE(spooler.wait_idle(kPrinter, std::chrono::seconds(60)));
    std::string out = spooler.output();
    std::regex head("JOB c=(\\d\\d) j=(\\d\\d\\d) n=(\\d{6})\n");
    std::vector<int> next(8, 0);
    size_t pos = 0, jobs = 0;
    while (pos < out.size()) {
        std::smatch m;
        std::string rest = out.substr(pos, 24);
        ASSERT_TRUE(std::regex_match(rest, m, head)) << "at " << pos;
        int c = std::stoi(m[1]), j = std::stoi(m[2]);
        size_t n = std::stoul(m[3]);
        ASSERT_LT(c, 8);
        EXPECT_EQ(j, next[c]++) << "client " << c << " out of order";
        for (size_t i = 0; i < n; ++i)
            ASSERT_EQ(out[pos + 24 + i], static_cast<char>('a' + (c * 7 + j + i) % 26)) << "job " << c << "/" << j;
        ASSERT_EQ(out.substr(pos + 24 + n, 4), "END\n");
        pos += 24 + n + 4;
        ++jobs;
    }
    EXPECT_EQ(jobs, 400u);
}

TEST_F(SpoolerTest, ClientKilledMidJobLeavesNoJobAndNoHandle) {
    Printer p(kPrinter);
    ASSERT_TRUE(p.command(PRINTER_CONTROL_PAUSE));  // keep finished jobs visible
    std::string spool = qortest::sandbox() + "/root/spool/PRINTERS";
    auto client = qortest::Child::spawn("spooltest_helper_print", {"hang", kPrinter});
    ASSERT_TRUE(eventually([&] { return p.jobs() == 1; }));
    // The job's data file; the copy passed to the client is closed just
    // after the reply went out.
    EXPECT_TRUE(eventually([&] { return descriptors(spooler.pid(), spool) == 1; }));
    client.kill();
    EXPECT_TRUE(eventually([&] { return p.jobs() == 0; }));
    // Left: the listening socket and this test's own connection.
    EXPECT_TRUE(eventually([&] { return descriptors(spooler.pid(), "socket:") == 2; }));
    EXPECT_EQ(descriptors(spooler.pid(), spool), 0u);
    std::error_code ec;
    EXPECT_TRUE(std::filesystem::is_empty(spool, ec));
}

TEST_F(SpoolerTest, StatusSetWithSetStatusReadsBackAtLevelTwo) {
    Printer p(kPrinter);
    DWORD status = PRINTER_STATUS_PAPER_OUT | 0x40000000;
    ASSERT_TRUE(SetPrinterW(p.get(), 0, reinterpret_cast<LPBYTE>(uintptr_t(status)), PRINTER_CONTROL_SET_STATUS));
    std::vector<uint8_t> keep;
    EXPECT_EQ(p.level2(keep)->Status, status);
    // Every handle sees it; 0 clears it.
    Printer other(kPrinter, false);
    EXPECT_EQ(other.level2(keep)->Status, status);
    ASSERT_TRUE(SetPrinterW(p.get(), 0, nullptr, PRINTER_CONTROL_SET_STATUS));
    EXPECT_EQ(other.level2(keep)->Status, 0u);
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(SetPrinterW(p.get(), 0, nullptr, 99));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PRINTER_COMMAND));
}

TEST_F(SpoolerTest, AttributesAndTimeoutsChangeThroughLevelsTwoAndFive) {
    Printer p(kPrinter);
    std::vector<uint8_t> keep;
    auto* info = p.level2(keep);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->Attributes & PRINTER_ATTRIBUTE_LOCAL, DWORD(PRINTER_ATTRIBUTE_LOCAL));
    info->Attributes |= PRINTER_ATTRIBUTE_ENABLE_BIDI | PRINTER_ATTRIBUTE_DIRECT;
    ASSERT_TRUE(SetPrinterW(p.get(), 2, keep.data(), 0));
    auto five = p.info(5);
    auto* i5 = reinterpret_cast<PRINTER_INFO_5W*>(five.data());
    EXPECT_EQ(i5->Attributes & (PRINTER_ATTRIBUTE_ENABLE_BIDI | PRINTER_ATTRIBUTE_DIRECT),
              DWORD(PRINTER_ATTRIBUTE_ENABLE_BIDI | PRINTER_ATTRIBUTE_DIRECT));
    i5->DeviceNotSelectedTimeout = 1000;
    ASSERT_TRUE(SetPrinterW(p.get(), 5, five.data(), 0));
    // The narrow form reads the same record.
    DWORD needed = 0;
    GetPrinterA(p.get(), 5, nullptr, 0, &needed);
    std::vector<uint8_t> narrow(needed);
    ASSERT_TRUE(GetPrinterA(p.get(), 5, narrow.data(), needed, &needed));
    auto* a5 = reinterpret_cast<PRINTER_INFO_5A*>(narrow.data());
    EXPECT_STREQ(a5->pPrinterName, kPrinter.c_str());
    EXPECT_EQ(a5->DeviceNotSelectedTimeout, 1000u);
}

TEST_F(SpoolerTest, PurgeEmptiesTheQueueAndNothingIsPrinted) {
    Printer p(kPrinter);
    ASSERT_TRUE(p.command(PRINTER_CONTROL_PAUSE));
    for (int i = 0; i < 3; ++i) ASSERT_NE(print(p.get(), "purged data"), 0u);
    EXPECT_EQ(p.jobs(), 3u);
    ASSERT_TRUE(p.command(PRINTER_CONTROL_PURGE));
    EXPECT_EQ(p.jobs(), 0u);
    ASSERT_TRUE(p.command(PRINTER_CONTROL_RESUME));
    ASSERT_NE(print(p.get(), "after"), 0u);
    ASSERT_TRUE(spooler.wait_idle(kPrinter));
    EXPECT_EQ(spooler.output(), "after");
}

TEST_F(SpoolerTest, CancelledJobsAreNotPrintedAndTheirWriterIsTold) {
    Printer p(kPrinter);
    ASSERT_TRUE(p.command(PRINTER_CONTROL_PAUSE));
    DWORD queued = print(p.get(), "queued");
    ASSERT_NE(queued, 0u);
    ASSERT_TRUE(SetJobW(p.get(), queued, 0, nullptr, JOB_CONTROL_CANCEL));
    // A document still being written: the writer's next write fails.
    Printer writer(kPrinter);
    std::u16string doc = u"doc", type = u"RAW";
    DOC_INFO_1W di{doc.data(), nullptr, type.data()};
    DWORD spooling = StartDocPrinterW(writer.get(), 1, reinterpret_cast<LPBYTE>(&di));
    ASSERT_NE(spooling, 0u);
    DWORD written = 0;
    ASSERT_TRUE(WritePrinter(writer.get(), const_cast<char*>("abc"), 3, &written));
    ASSERT_TRUE(SetJobW(p.get(), spooling, 0, nullptr, JOB_CONTROL_CANCEL));
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(WritePrinter(writer.get(), const_cast<char*>("abc"), 3, &written));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PRINT_CANCELLED));
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(EndDocPrinter(writer.get()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PRINT_CANCELLED));
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(SetJobW(p.get(), 12345, 0, nullptr, JOB_CONTROL_CANCEL));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    ASSERT_TRUE(p.command(PRINTER_CONTROL_RESUME));
    ASSERT_NE(print(p.get(), "kept"), 0u);
    ASSERT_TRUE(spooler.wait_idle(kPrinter));
    EXPECT_EQ(spooler.output(), "kept");
}

TEST_F(SpoolerTest, EnumJobsReportsQueuedJobsInOrder) {
    Printer p(kPrinter);
    ASSERT_TRUE(p.command(PRINTER_CONTROL_PAUSE));
    DWORD a = print(p.get(), "one", "first"), b = print(p.get(), "two", "second");
    DWORD needed = 0, count = 0;
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(EnumJobsW(p.get(), 0, 10, 1, nullptr, 0, &needed, &count));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    std::vector<uint8_t> buf(needed);
    ASSERT_TRUE(EnumJobsW(p.get(), 0, 10, 1, buf.data(), needed, &needed, &count));
    ASSERT_EQ(count, 2u);
    auto* jobs = reinterpret_cast<JOB_INFO_1W*>(buf.data());
    EXPECT_EQ(jobs[0].JobId, a);
    EXPECT_EQ(jobs[1].JobId, b);
    EXPECT_EQ(std::u16string(jobs[1].pDocument), u"second");
    EXPECT_EQ(jobs[0].TotalPages, 1u);
    EXPECT_EQ(jobs[1].Position, 2u);
}

TEST_F(SpoolerTest, QueuedJobsSurviveARestartOfTheService) {
    {
        Printer p(kPrinter);
        ASSERT_TRUE(p.command(PRINTER_CONTROL_PAUSE));
        ASSERT_NE(print(p.get(), "survivor-1 "), 0u);
        ASSERT_NE(print(p.get(), "survivor-2"), 0u);
    }
    spooler.stop();
    qorspool::PrivateSpooler again(100);
    ASSERT_TRUE(again.ok());
    Printer p(kPrinter);
    EXPECT_EQ(p.jobs(), 2u);
    ASSERT_TRUE(p.command(PRINTER_CONTROL_RESUME));
    ASSERT_TRUE(again.wait_idle(kPrinter));
    EXPECT_EQ(again.output(), "survivor-1 survivor-2");
}

TEST_F(SpoolerTest, JobIdsNeverRepeatAcrossRestartsWithAnEmptyQueue) {
    std::set<DWORD> ids;
    auto print_two = [&](const qorspool::PrivateSpooler& service) {
        Printer p(kPrinter);
        for (int i = 0; i < 2; ++i) {
            DWORD id = print(p.get(), "x");
            ASSERT_NE(id, 0u);
            EXPECT_TRUE(ids.insert(id).second) << "job id " << id << " handed out twice";
        }
        ASSERT_TRUE(service.wait_idle(kPrinter));
    };
    print_two(spooler);
    spooler.stop();
    for (int life = 0; life < 3; ++life) {
        qorspool::PrivateSpooler again(100);
        ASSERT_TRUE(again.ok());
        print_two(again);
        if (life == 1) ::kill(again.pid(), SIGKILL);  // no orderly end at all
        else again.stop();
    }
    EXPECT_EQ(ids.size(), 8u);
}

TEST_F(SpoolerTest, KeepPrintedKeepsPrintedJobsAndTheirFilesUntilDeleted) {
    {
        Printer p(kPrinter);
        std::vector<uint8_t> keep;
        auto* info = p.level2(keep);
        ASSERT_NE(info, nullptr);
        info->Attributes |= PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS;
        ASSERT_TRUE(SetPrinterW(p.get(), 2, keep.data(), 0));
    }
    auto job_status = [](const Printer& p) -> DWORD {
        std::vector<uint8_t> buf(4096);
        DWORD needed = 0, count = 0;
        if (!EnumJobsW(p.get(), 0, 1, 1, buf.data(), DWORD(buf.size()), &needed, &count) || count != 1) return 0;
        return reinterpret_cast<JOB_INFO_1W*>(buf.data())->Status;
    };
    DWORD job = 0;
    {
        Printer p(kPrinter);
        job = print(p.get(), "kept");
        ASSERT_NE(job, 0u);
        ASSERT_TRUE(eventually([&] { return job_status(p) == JOB_STATUS_PRINTED; })) << job_status(p);
        EXPECT_EQ(spooler.output(), "kept");
        EXPECT_TRUE(std::filesystem::exists(qor::spooler::spool_data_path(job)));
        EXPECT_TRUE(std::filesystem::exists(qor::spooler::spool_header_path(job)));
    }
    spooler.stop();
    qorspool::PrivateSpooler again(100);
    ASSERT_TRUE(again.ok());
    Printer p(kPrinter);
    // Still there after the restart, and not printed again.
    EXPECT_EQ(job_status(p), DWORD(JOB_STATUS_PRINTED));
    // Printed again on request, then kept again.
    ASSERT_TRUE(SetJobW(p.get(), job, 0, nullptr, JOB_CONTROL_RESTART));
    ASSERT_TRUE(eventually([&] { return again.output() == "keptkept"; }));
    ASSERT_TRUE(eventually([&] { return job_status(p) == JOB_STATUS_PRINTED; }));
    EXPECT_EQ(again.output(), "keptkept");
    ASSERT_TRUE(SetJobW(p.get(), job, 0, nullptr, JOB_CONTROL_DELETE));
    EXPECT_EQ(p.jobs(), 0u);
    EXPECT_FALSE(std::filesystem::exists(qor::spooler::spool_data_path(job)));
    EXPECT_FALSE(std::filesystem::exists(qor::spooler::spool_header_path(job)));
}

TEST_F(SpoolerTest, PrinterDataRoundTripsInBothForms) {
    Printer p(kPrinter);
    DWORD font = 3;
    ASSERT_EQ(SetPrinterDataW(p.get(), w("FONT").data(), REG_DWORD, reinterpret_cast<LPBYTE>(&font), 4), 0u);
    DWORD type = 0, value = 0, needed = 0;
    ASSERT_EQ(GetPrinterDataA(p.get(), const_cast<char*>("font"), &type, reinterpret_cast<LPBYTE>(&value), 4, &needed),
              0u);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(value, 3u);
    EXPECT_EQ(needed, 4u);
    ASSERT_EQ(SetPrinterDataA(p.get(), const_cast<char*>("Permission"), REG_SZ,
                              reinterpret_cast<LPBYTE>(const_cast<char*>("all")), 4),
              0u);
    char16_t text[16] = {};
    ASSERT_EQ(GetPrinterDataW(p.get(), w("Permission").data(), &type, reinterpret_cast<LPBYTE>(text), sizeof text,
                              &needed),
              0u);
    EXPECT_EQ(std::u16string(text), u"all");
    EXPECT_EQ(needed, 8u);
    char narrow[2];
    EXPECT_EQ(GetPrinterDataA(p.get(), const_cast<char*>("Permission"), &type, reinterpret_cast<LPBYTE>(narrow), 2,
                              &needed),
              DWORD(ERROR_MORE_DATA));
    EXPECT_EQ(needed, 4u);
    // Values survive the service.
    spooler.stop();
    qorspool::PrivateSpooler again(100);
    Printer q(kPrinter);
    ASSERT_EQ(GetPrinterDataW(q.get(), w("FONT").data(), &type, reinterpret_cast<LPBYTE>(&value), 4, &needed), 0u);
    EXPECT_EQ(value, 3u);
}

TEST_F(SpoolerTest, UnknownPrinterDataWithoutLanguageMonitorIsNotFound) {
    Printer p(kPrinter);
    DWORD value = 0, needed = 0;
    EXPECT_EQ(GetPrinterDataA(p.get(), const_cast<char*>("QOR_GetStatusRequest"), nullptr,
                              reinterpret_cast<LPBYTE>(&value), 4, &needed),
              DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(SpoolerTest, LanguageMonitorAnswersUnknownDataAndReportsJobsPrinted) {
    ASSERT_TRUE(spooler.add_driver("QOR LM Driver", "Test Monitor", "spooltest_monitor.dll"));
    std::string out = qortest::sandbox() + "/lm-output.bin";
    ASSERT_TRUE(spooler.add_printer("LM Printer", out, "", "QOR LM Driver"));
    Printer p("LM Printer");
    std::vector<uint8_t> keep;
    EXPECT_NE(p.level2(keep)->Attributes & PRINTER_ATTRIBUTE_ENABLE_BIDI, 0u);
    DWORD value = 0, needed = 0, type = 0;
    ASSERT_EQ(GetPrinterDataA(p.get(), const_cast<char*>("TEST_Request"), &type, reinterpret_cast<LPBYTE>(&value), 4,
                              &needed),
              0u);
    EXPECT_EQ(value, 0x12345678u);
    EXPECT_EQ(needed, 4u);
    EXPECT_EQ(GetPrinterDataA(p.get(), const_cast<char*>("Other"), &type, reinterpret_cast<LPBYTE>(&value), 4, &needed),
              DWORD(ERROR_INVALID_PARAMETER));
    // The monitor marks each job ejected and cancels it from inside
    // EndDocPort, through the socket, while the despooler waits on it.
    for (int i = 0; i < 3; ++i) ASSERT_NE(print(p.get(), "lm" + std::to_string(i)), 0u);
    ASSERT_TRUE(spooler.wait_idle("LM Printer"));
    std::ifstream in(out, std::ios::binary);
    std::stringstream got;
    got << in.rdbuf();
    EXPECT_EQ(got.str(), "lm0lm1lm2");
}

TEST_F(SpoolerTest, JobAwaitingItsMonitorsReportIsNotSentAgainAfterARestart) {
    ASSERT_TRUE(spooler.add_driver("QOR LM Driver", "Test Monitor", "spooltest_monitor.so"));
    std::string out = qortest::sandbox() + "/lm-output.bin";
    ASSERT_TRUE(spooler.add_printer("LM Printer", out, "", "QOR LM Driver"));
    std::ofstream(qortest::sandbox() + "/root/lm-silent").put('x');
    {
        Printer p("LM Printer");
        DWORD job = print(p.get(), "once");
        ASSERT_NE(job, 0u);
        // Sent: marked so in its header, while the report is outstanding.
        ASSERT_TRUE(eventually([&] {
            std::ifstream in(qor::spooler::spool_header_path(job), std::ios::binary);
            std::vector<uint8_t> bytes(sizeof(qor::spooler::SpoolHeader));
            in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
            qor::spooler::SpoolJob header;
            return in.gcount() == std::streamsize(bytes.size()) &&
                   qor::spooler::decode_spool_header(bytes.data(), bytes.size(), header) &&
                   (header.flags & qor::spooler::kSpoolSent);
        }));
        EXPECT_EQ(p.jobs(), 1u);
    }
    spooler.stop();
    qorspool::PrivateSpooler again(100);
    ASSERT_TRUE(again.ok());
    Printer p("LM Printer");
    EXPECT_EQ(p.jobs(), 0u);
    std::ifstream in(out, std::ios::binary);
    std::stringstream got;
    got << in.rdbuf();
    EXPECT_EQ(got.str(), "once");
}

TEST_F(SpoolerTest, EnumeratesLocalPrintersInBothFormsAndLevels) {
    ASSERT_TRUE(spooler.add_printer("Second", "LPT1", ""));
    DWORD needed = 0, count = 0;
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    std::vector<uint8_t> buf(needed);
    ASSERT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buf.data(), needed, &needed, &count));
    ASSERT_EQ(count, 2u);
    auto* a = reinterpret_cast<PRINTER_INFO_2A*>(buf.data());
    EXPECT_STREQ(a[0].pPrinterName, "QOR ZEM-D");
    EXPECT_STREQ(a[0].pPortName, "FILE:");
    EXPECT_STREQ(a[0].pDriverName, "QOR Test Driver");
    EXPECT_STREQ(a[1].pPortName, "LPT1");
    EXPECT_TRUE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 1, nullptr, 0, &needed, &count) ||
                GetLastError() == ERROR_INSUFFICIENT_BUFFER);
    buf.assign(needed, 0);
    ASSERT_TRUE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 1, buf.data(), needed, &needed, &count));
    EXPECT_EQ(std::u16string(reinterpret_cast<PRINTER_INFO_1W*>(buf.data())[1].pName), u"Second");
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 7, nullptr, 0, &needed, &count));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_LEVEL));
}

TEST_F(SpoolerTest, DriverDirectoryAndDriverRecordsPointIntoTheDriverFolder) {
    DWORD needed = 0;
    char dir[MAX_PATH] = {};
    ASSERT_TRUE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(dir), sizeof dir, &needed));
    EXPECT_EQ(std::string(dir), qortest::sandbox() + "/root/spool/drivers/w32x86");
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(GetPrinterDriverDirectoryW(nullptr, w("Other Env").data(), 1, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_ENVIRONMENT));
    Printer p(kPrinter);
    GetPrinterDriverW(p.get(), nullptr, 2, nullptr, 0, &needed);
    std::vector<uint8_t> buf(needed);
    ASSERT_TRUE(GetPrinterDriverW(p.get(), nullptr, 2, buf.data(), needed, &needed));
    auto* d = reinterpret_cast<DRIVER_INFO_2W*>(buf.data());
    EXPECT_EQ(qor::utf16_to_utf8(d->pDriverPath), std::string(dir) + "/3/QORKPDN5.so");
    EXPECT_EQ(qor::utf16_to_utf8(d->pDataFile), std::string(dir) + "/3/qorn5001.ppd");
    DWORD count = 0;
    EnumPrinterDriversW(nullptr, w(QOR_DRIVER_ENVIRONMENT).data(), 2, nullptr, 0, &needed, &count);
    buf.assign(needed, 0);
    ASSERT_TRUE(EnumPrinterDriversW(nullptr, w(QOR_DRIVER_ENVIRONMENT).data(), 2, buf.data(), needed, &needed, &count));
    EXPECT_EQ(count, 1u);
}

TEST_F(SpoolerTest, BadCallsFailWithThePlatformsErrors) {
    HANDLE h = nullptr;
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(OpenPrinterW(w("No Such Printer").data(), &h, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PRINTER_NAME));
    std::u16string type = u"NT EMF 1.008";
    PRINTER_DEFAULTSW emf{type.data(), nullptr, 0};
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(OpenPrinterW(w(kPrinter).data(), &h, &emf));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATATYPE));
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(ClosePrinter(reinterpret_cast<HANDLE>(0x1234)));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    Printer p(kPrinter);
    DWORD written = 0;
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(WritePrinter(p.get(), const_cast<char*>("x"), 1, &written));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SPL_NO_STARTDOC));
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(EndDocPrinter(p.get()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SPL_NO_STARTDOC));

    std::u16string name = w(kPrinter), port = u"FILE:", none = u"LPT9", driver = u"QOR Test Driver", other = u"Nope";
    PRINTER_INFO_2W info{};
    info.pPrinterName = name.data(), info.pPortName = port.data(), info.pDriverName = driver.data();
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info)), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PRINTER_ALREADY_EXISTS));
    std::u16string fresh = u"Fresh", bad_name = u"bad\\name";
    info.pPrinterName = fresh.data(), info.pPortName = none.data();
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info)), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_UNKNOWN_PORT));
    info.pPortName = port.data(), info.pDriverName = other.data();
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info)), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_UNKNOWN_PRINTER_DRIVER));
    info.pPrinterName = bad_name.data(), info.pDriverName = driver.data();
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info)), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PRINTER_NAME));
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(DeletePrinterDriverW(nullptr, nullptr, driver.data()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PRINTER_DRIVER_IN_USE));
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(DeletePortW(nullptr, nullptr, port.data()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BUSY));
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(QorConfigurePortW(u"COM1", nullptr, u"9600,q,8,1"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(SpoolerTest, DeletedPrinterIsGoneForEveryHandle) {
    Printer keeper(kPrinter);
    {
        Printer p(kPrinter);
        ASSERT_TRUE(DeletePrinter(p.get()));
    }
    std::vector<uint8_t> keep;
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(keeper.level2(keep), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PRINTER_DELETED));
    HANDLE h = nullptr;
    EXPECT_FALSE(OpenPrinterW(w(kPrinter).data(), &h, nullptr));
}

TEST_F(SpoolerTest, SerialPortOpensWithTheSettingsKeptInTheRegistry) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    std::string slave = ptsname(master);
    int held = open(slave.c_str(), O_RDWR | O_NOCTTY);  // keeps the line's settings readable
    ASSERT_GE(held, 0);
    ASSERT_TRUE(spooler.add_printer("Serial", "COM1", slave));
    // A pseudo-terminal keeps speed, stop bits and flow control but forces
    // 8 data bits without parity, so those two are left at their defaults.
    ASSERT_TRUE(QorConfigurePortW(u"COM1", nullptr, u"19200,n,8,2,x"));
    Printer p("Serial");
    ASSERT_NE(print(p.get(), "over the line"), 0u);
    std::string got;
    ASSERT_TRUE(eventually([&] {
        pollfd pfd{master, POLLIN, 0};
        char buf[64];
        if (poll(&pfd, 1, 10) == 1) {
            ssize_t n = read(master, buf, sizeof buf);
            if (n > 0) got.append(buf, size_t(n));
        }
        return got.size() >= 13;
    }));
    EXPECT_EQ(got, "over the line");
    termios tio{};
    ASSERT_EQ(tcgetattr(held, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), speed_t(B19200));
    EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    EXPECT_TRUE(tio.c_iflag & IXON);
    EXPECT_FALSE(tio.c_lflag & ICANON);
    close(held);
    close(master);
    // The settings are stored as the platform keeps them.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Ports\\COM1", 0, KEY_READ,
                            &key),
              0);
    char16_t value[64] = {};
    DWORD size = sizeof value, type = 0;
    ASSERT_EQ(RegQueryValueExW(key, u"Settings", nullptr, &type, reinterpret_cast<LPBYTE>(value), &size), 0);
    EXPECT_EQ(std::u16string(value), u"19200,n,8,2,x");
    RegCloseKey(key);
}

TEST_F(SpoolerTest, NarrowCallsPrintARawJobAsTheSetupToolDoes) {
    HANDLE h = nullptr;
    ASSERT_TRUE(OpenPrinterA(const_cast<char*>(kPrinter.c_str()), &h, nullptr));
    DOC_INFO_1A di{const_cast<char*>("QOR ZEM-D F/W Update"), nullptr, const_cast<char*>("RAW")};
    DWORD job = StartDocPrinterA(h, 1, reinterpret_cast<LPBYTE>(&di));
    ASSERT_NE(job, 0u);
    DWORD written = 0;
    ASSERT_TRUE(StartPagePrinter(h));
    ASSERT_TRUE(WritePrinter(h, const_cast<char*>("\x12q\x00"), 3, &written));
    EXPECT_EQ(written, 3u);
    ASSERT_TRUE(EndPagePrinter(h));
    ASSERT_TRUE(EndDocPrinter(h));
    ASSERT_TRUE(ClosePrinter(h));
    ASSERT_TRUE(spooler.wait_idle(kPrinter));
    EXPECT_EQ(spooler.output(), std::string("\x12q\x00", 3));
    DOC_INFO_1A emf{const_cast<char*>("x"), nullptr, const_cast<char*>("NT EMF 1.008")};
    ASSERT_TRUE(OpenPrinterA(const_cast<char*>(kPrinter.c_str()), &h, nullptr));
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(StartDocPrinterA(h, 1, reinterpret_cast<LPBYTE>(&emf)), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATATYPE));
    ClosePrinter(h);
}

TEST_F(SpoolerTest, StoredDeviceModeComesBackInBothForms) {
    Printer p(kPrinter);
    std::vector<uint8_t> record(220 + 672, 0);
    auto* dm = reinterpret_cast<DEVMODEW*>(record.data());
    std::u16string name = w(kPrinter);
    std::memcpy(dm->dmDeviceName, name.c_str(), (name.size() + 1) * 2);
    dm->dmSpecVersion = 0x0401, dm->dmSize = 220, dm->dmDriverExtra = 672, dm->dmFields = 0x04000203;
    dm->dmPaperWidth = 800;
    record[220 + 5] = 0x5A;  // a byte of the driver's private part
    std::vector<uint8_t> keep;
    auto* info = p.level2(keep);
    info->pDevMode = dm;
    ASSERT_TRUE(SetPrinterW(p.get(), 2, keep.data(), 0));
    auto* back = p.level2(keep)->pDevMode;
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(std::memcmp(back, record.data(), record.size()), 0);
    DWORD needed = 0;
    GetPrinterA(p.get(), 2, nullptr, 0, &needed);
    std::vector<uint8_t> narrow(needed);
    ASSERT_TRUE(GetPrinterA(p.get(), 2, narrow.data(), needed, &needed));
    const auto* a = static_cast<const uint8_t*>(reinterpret_cast<PRINTER_INFO_2A*>(narrow.data())->pDevMode);
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(a), kPrinter.c_str());
    uint16_t size_a = 0, extra = 0, width = 0;
    std::memcpy(&size_a, a + 36, 2);
    std::memcpy(&extra, a + 38, 2);
    std::memcpy(&width, a + offsetof(DEVMODEW, u1) - 32 + 6, 2);
    EXPECT_EQ(size_a, 156);
    EXPECT_EQ(extra, 672);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(a[156 + 5], 0x5A);
}

TEST_F(SpoolerTest, JobFailingOnItsPortWaitsWithAnErrorAndPrintsOnceThePortWorks) {
    std::string folder = qortest::sandbox() + "/not-a-file";
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(QorConfigurePortW(u"FILE:", w(folder).c_str(), nullptr));
    Printer p(kPrinter);
    ASSERT_NE(print(p.get(), "eventually"), 0u);
    ASSERT_TRUE(eventually([&] {
        DWORD needed = 0, count = 0;
        std::vector<uint8_t> buf(4096);
        if (!EnumJobsW(p.get(), 0, 1, 1, buf.data(), DWORD(buf.size()), &needed, &count) || count != 1) return false;
        return (reinterpret_cast<JOB_INFO_1W*>(buf.data())->Status & JOB_STATUS_ERROR) != 0;
    }));
    ASSERT_TRUE(QorConfigurePortW(u"FILE:", w(spooler.output_path()).c_str(), nullptr));
    ASSERT_TRUE(spooler.wait_idle(kPrinter));
    EXPECT_EQ(spooler.output(), "eventually");
}

TEST_F(SpoolerTest, PausedJobWaitsWhileLaterJobsPrint) {
    Printer p(kPrinter);
    ASSERT_TRUE(p.command(PRINTER_CONTROL_PAUSE));
    DWORD first = print(p.get(), "first ");
    ASSERT_NE(print(p.get(), "second "), 0u);
    ASSERT_TRUE(SetJobW(p.get(), first, 0, nullptr, JOB_CONTROL_PAUSE));
    ASSERT_TRUE(p.command(PRINTER_CONTROL_RESUME));
    ASSERT_TRUE(eventually([&] { return p.jobs() == 1; }));
    EXPECT_EQ(spooler.output(), "second ");
    ASSERT_TRUE(SetJobW(p.get(), first, 0, nullptr, JOB_CONTROL_RESUME));
    ASSERT_TRUE(spooler.wait_idle(kPrinter));
    EXPECT_EQ(spooler.output(), "second first ");
}

TEST_F(SpoolerTest, DefaultCommConfigReflectsThePortsStoredSettings) {
    ASSERT_TRUE(QorConfigurePortW(u"COM3", nullptr, u"19200,e,7,2,p"));
    DWORD size = 0;
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(GetDefaultCommConfigA("COM3", nullptr, &size));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_EQ(size, sizeof(COMMCONFIG));
    COMMCONFIG cc{};
    ASSERT_TRUE(GetDefaultCommConfigA("COM3", &cc, &size));
    EXPECT_EQ(cc.dcb.BaudRate, 19200u);
    EXPECT_EQ(cc.dcb.ByteSize, 7);
    EXPECT_EQ(cc.dcb.Parity, EVENPARITY);
    EXPECT_EQ(cc.dcb.StopBits, TWOSTOPBITS);
    EXPECT_EQ(cc.dcb.fOutxCtsFlow, 1u);
    EXPECT_EQ(cc.dcb.fOutX, 0u);
    ASSERT_TRUE(GetDefaultCommConfigW(u"COM1:", &cc, &size));
    EXPECT_EQ(cc.dcb.BaudRate, 9600u);
    EXPECT_EQ(cc.dcb.StopBits, ONESTOPBIT);
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(GetDefaultCommConfigA("COM9", &cc, &size));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(SpoolerTest, APortAddedInLowerCaseIsThePlatformsPortWithItsSettings) {
    std::u16string lower = u"com5";
    PORT_INFO_1W info{lower.data()};
    ASSERT_TRUE(AddPortExW(nullptr, 1, reinterpret_cast<LPBYTE>(&info), nullptr));
    COMMCONFIG cc{};
    DWORD size = sizeof(cc);
    ASSERT_TRUE(GetDefaultCommConfigA("COM5", &cc, &size));
    EXPECT_EQ(cc.dcb.BaudRate, 9600u);
    ASSERT_TRUE(QorConfigurePortW(u"Com5", nullptr, u"38400,n,8,1"));
    ASSERT_TRUE(GetDefaultCommConfigA("com5", &cc, &size));
    EXPECT_EQ(cc.dcb.BaudRate, 38400u);
    std::u16string upper = u"COM5";
    PORT_INFO_1W again{upper.data()};
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(AddPortExW(nullptr, 1, reinterpret_cast<LPBYTE>(&again), nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
}

}  // namespace
