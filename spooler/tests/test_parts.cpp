// The spooler's parts on their own: the job header record, job ids, serial
// settings, the port I/O seam with injected faults, and the port monitor's
// table.
#include "job_devmode.h"
#include "job_ids.h"
#include "local_port_monitor.h"
#include "port_io.h"
#include "qor/spool/serial_settings.h"
#include "spool_file.h"

#include "qor/devmode.h"
#include "qor/support/places.h"

#include "qortest.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fcntl.h>
#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <unistd.h>

namespace {

using namespace qor::spooler;
using namespace qor::spool;

TEST(SpoolHeader, RoundTripsAndRejectsDamagedRecords) {
    SpoolJob job;
    job.id = 42, job.pages = 3, job.size = 1000, job.printer = "QOR ZEM-D", job.document = "Ticket";
    job.user = "kiosk", job.datatype = "RAW";
    job.output_file = std::string(600, 'x');  // longer than its field: cut, still terminated
    auto bytes = encode_spool_header(job);
    ASSERT_EQ(bytes.size(), sizeof(SpoolHeader));
    SpoolJob back;
    ASSERT_TRUE(decode_spool_header(bytes.data(), bytes.size(), back));
    EXPECT_EQ(back.id, 42u);
    EXPECT_EQ(back.document, "Ticket");
    EXPECT_EQ(back.output_file.size(), 511u);

    EXPECT_FALSE(decode_spool_header(bytes.data(), bytes.size() - 1, back));
    auto unterminated = bytes;
    std::fill_n(unterminated.begin() + offsetof(SpoolHeader, document), 256, 'A');
    EXPECT_FALSE(decode_spool_header(unterminated.data(), unterminated.size(), back));
    auto bad_magic = bytes;
    bad_magic[0] = 'X';
    EXPECT_FALSE(decode_spool_header(bad_magic.data(), bad_magic.size(), back));
}

TEST(SpoolHeader, HistoryRoundTripsAndVersionOneRecordsStillRead) {
    SpoolJob job;
    job.id = 9, job.printer = "P", job.flags = kSpoolStarted;
    job.attempts = 3;
    record_interruption(job, ERROR_DEV_NOT_EXIST);
    record_interruption(job, 0);
    auto bytes = encode_spool_header(job);
    SpoolJob back;
    ASSERT_TRUE(decode_spool_header(bytes.data(), bytes.size(), back));
    EXPECT_EQ(back.attempts, 3u);
    EXPECT_EQ(back.interruptions, 2u);
    EXPECT_EQ(back.last_error, 0u);
    EXPECT_GT(back.interrupted_ms, 0u);
    EXPECT_EQ(back.flags, kSpoolStarted);

    // The record as the first version wrote it: shorter, without history.
    std::vector<uint8_t> v1(bytes.begin(), bytes.begin() + kSpoolHeaderV1Size);
    v1[offsetof(SpoolHeader, version)] = 1;
    ASSERT_TRUE(decode_spool_header(v1.data(), v1.size(), back));
    EXPECT_EQ(back.printer, "P");
    EXPECT_EQ(back.interruptions, 0u);
    // Each size only with its own version.
    auto long_v1 = bytes;
    long_v1[offsetof(SpoolHeader, version)] = 1;
    EXPECT_FALSE(decode_spool_header(long_v1.data(), long_v1.size(), back));
    std::vector<uint8_t> short_v2(bytes.begin(), bytes.begin() + kSpoolHeaderV1Size);
    EXPECT_FALSE(decode_spool_header(short_v2.data(), short_v2.size(), back));
}

std::vector<uint8_t> wide_devmode(WORD extra) {
    std::vector<uint8_t> bytes(sizeof(DEVMODEW) + extra, 0x5A);
    auto* dm = reinterpret_cast<DEVMODEW*>(bytes.data());
    dm->dmSize = sizeof(DEVMODEW);
    dm->dmDriverExtra = extra;
    return bytes;
}

TEST(SpoolHeader, DeviceModeFollowsTheRecordAndVersionTwoRecordsStillRead) {
    SpoolJob job;
    job.id = 7, job.printer = "P";
    job.devmode = wide_devmode(16);
    auto bytes = encode_spool_header(job);
    ASSERT_EQ(bytes.size(), sizeof(SpoolHeader) + job.devmode.size());
    SpoolJob back;
    ASSERT_TRUE(decode_spool_header(bytes.data(), bytes.size(), back));
    EXPECT_EQ(back.devmode, job.devmode);

    // A file cut short or with bytes after the device mode is damaged.
    EXPECT_FALSE(decode_spool_header(bytes.data(), bytes.size() - 1, back));
    auto longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(decode_spool_header(longer.data(), longer.size(), back));
    // So is a device mode whose own sizes do not cover what is stored.
    auto lying = bytes;
    lying[sizeof(SpoolHeader) + offsetof(DEVMODEW, dmDriverExtra)] = 200;
    EXPECT_FALSE(decode_spool_header(lying.data(), lying.size(), back));

    // A job written before jobs carried device modes: read without one.
    std::vector<uint8_t> v2(bytes.begin(), bytes.begin() + kSpoolHeaderV2Size);
    v2[offsetof(SpoolHeader, version)] = 2;
    ASSERT_TRUE(decode_spool_header(v2.data(), v2.size(), back));
    EXPECT_EQ(back.printer, "P");
    EXPECT_TRUE(back.devmode.empty());
}

TEST(JobDevMode, OnlyWholeRecordsAreKept) {
    EXPECT_TRUE(devmode_acceptable({}));
    EXPECT_TRUE(devmode_acceptable(wide_devmode(0)));
    EXPECT_TRUE(devmode_acceptable(wide_devmode(40)));
    auto extra_missing = wide_devmode(40);
    extra_missing.resize(extra_missing.size() - 1);
    EXPECT_FALSE(devmode_acceptable(extra_missing));
    auto too_short = wide_devmode(0);
    reinterpret_cast<DEVMODEW*>(too_short.data())->dmSize = offsetof(DEVMODEW, dmFields);
    too_short.resize(offsetof(DEVMODEW, dmFields));
    EXPECT_FALSE(devmode_acceptable(too_short));
    EXPECT_FALSE(devmode_acceptable(std::vector<uint8_t>(10, 0)));
}

TEST(JobIds, NeverRepeatAcrossRestartsEvenWithoutAnOrderlyEnd) {
    std::filesystem::remove(next_job_id_path());
    auto none = [](uint32_t) { return false; };
    std::set<uint32_t> seen;
    DWORD error = 0;
    for (int life = 0; life < 4; ++life) {
        // Each life ends at once, as a killed service would: nothing is
        // written at the end, only the reservations made before ids went out.
        JobIds ids;
        ids.load(0);
        for (int i = 0; i < 70; ++i) {
            uint32_t id = ids.next(none, error);
            ASSERT_EQ(error, 0u);
            EXPECT_TRUE(seen.insert(id).second) << "id " << id << " again in life " << life;
        }
    }
    // Jobs on disk newer than the mark (a mark file restored from a backup).
    JobIds ids;
    ids.load(100000);
    EXPECT_EQ(ids.next(none, error), 100001u);
    // Ids still in use are skipped.
    EXPECT_EQ(ids.next([](uint32_t id) { return id == 100002; }, error), 100003u);
}

TEST(JobIds, TheMarkIsReadStrictlyAndTheRangeWrapsRound) {
    uint32_t id = 0;
    EXPECT_TRUE(parse_job_id_mark("42\n", 3, id));
    EXPECT_EQ(id, 42u);
    EXPECT_TRUE(parse_job_id_mark("2147483647", 10, id));
    for (const char* bad : {"", "\n", "0", "2147483648", "12a", "-1", " 5", "99999999999"})
        EXPECT_FALSE(parse_job_id_mark(bad, strlen(bad), id)) << bad;

    qor::places::ensure_dir(std::filesystem::path(next_job_id_path()).parent_path().string());
    std::ofstream(next_job_id_path()) << "garbage";
    JobIds damaged;
    damaged.load(7);
    DWORD error = 0;
    EXPECT_EQ(damaged.next([](uint32_t) { return false; }, error), 8u);

    std::ofstream(next_job_id_path()) << kMaxJobId << "\n";
    JobIds last;
    last.load(0);
    EXPECT_EQ(last.next([](uint32_t) { return false; }, error), kMaxJobId);
    EXPECT_EQ(last.next([](uint32_t) { return false; }, error), 1u);
    JobIds after_wrap;
    after_wrap.load(0);
    EXPECT_GT(after_wrap.next([](uint32_t) { return false; }, error), 1u);
}

TEST(SpoolHeader, ScanKeepsCompleteJobsAndRemovesUnfinishedOnes) {
    SpoolJob done;
    done.id = 5, done.printer = "P", done.size = 3;
    int fd = create_spool_data(5);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "abc", 3), 3);
    close(fd);
    ASSERT_EQ(write_spool_header(done), 0u);
    int orphan = create_spool_data(6);  // never finished
    close(orphan);
    SpoolJob wrong_size = done;
    wrong_size.id = 7;
    close(create_spool_data(7));
    ASSERT_EQ(write_spool_header(wrong_size), 0u);

    auto jobs = scan_spool_folder();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].id, 5u);
    EXPECT_NE(access(spool_data_path(5).c_str(), F_OK), -1);
    EXPECT_EQ(access(spool_data_path(6).c_str(), F_OK), -1);
    EXPECT_EQ(access(spool_header_path(7).c_str(), F_OK), -1);
}

TEST(SerialSettings, ParseTheUsualFormsAndRefuseTheRest) {
    auto s = parse_serial_settings("9600,n,8,1");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->baud, 9600u);
    EXPECT_EQ(s->flow, FlowControl::None);
    auto x = parse_serial_settings("38400, E, 7, 2, p");
    ASSERT_TRUE(x);
    EXPECT_EQ(x->parity, Parity::Even);
    EXPECT_EQ(x->data_bits, 7u);
    EXPECT_EQ(x->stop_bits, 2u);
    EXPECT_EQ(x->flow, FlowControl::Hardware);
    EXPECT_EQ(format_serial_settings(*x), "38400,e,7,2,p");
    for (const char* bad : {"", "9600", "9601,n,8,1", "9600,z,8,1", "9600,n,9,1", "9600,n,8,3", "9600,n,8,1,q",
                            "99999999999,n,8,1", "9600,n,8,1,x,extra"})
        EXPECT_FALSE(parse_serial_settings(bad)) << bad;
    termios tio{};
    ASSERT_TRUE(apply_serial_settings(*x, tio));
    EXPECT_EQ(cfgetospeed(&tio), speed_t(B38400));
    EXPECT_TRUE(tio.c_cflag & CRTSCTS);
}

// A scripted device: each call takes the next step of its script.
struct Script {
    std::deque<int> writes;  // >0: bytes accepted, <0: -errno
    std::string sink;
};
Script* script = nullptr;

ssize_t fake_write(int, const void* data, size_t size) {
    if (script->writes.empty()) {
        script->sink.append(static_cast<const char*>(data), size);
        return ssize_t(size);
    }
    int step = script->writes.front();
    script->writes.pop_front();
    if (step < 0) {
        errno = -step;
        return -1;
    }
    size_t n = std::min(size, size_t(step));
    script->sink.append(static_cast<const char*>(data), n);
    return ssize_t(n);
}
ssize_t fake_read(int, void*, size_t) { return 0; }
int fake_poll(pollfd* fds, nfds_t, int) {
    fds[0].revents = fds[0].events;
    return 1;
}
const IoOps kFake{fake_write, fake_read, fake_poll};

class Injected : public ::testing::Test {
protected:
    void SetUp() override {
        script = &s;
        set_port_io(&kFake);
    }
    void TearDown() override {
        set_port_io(nullptr);
        script = nullptr;
    }
    Script s;
};

TEST_F(Injected, ShortWritesInterruptionsAndFullDevicesAreRetried) {
    s.writes = {3, -EINTR, 1, -EAGAIN, 0, 2};
    size_t written = 0;
    std::string data = "0123456789";
    EXPECT_EQ(write_all(9, reinterpret_cast<const uint8_t*>(data.data()), data.size(), 1000, written), 0u);
    EXPECT_EQ(written, 10u);
    EXPECT_EQ(s.sink, data);
}

TEST_F(Injected, DeviceErrorsBecomePlatformErrorsWithTheCountSoFar) {
    const std::pair<int, DWORD> cases[] = {{ENOSPC, ERROR_DISK_FULL}, {EIO, ERROR_IO_DEVICE}, {ENODEV, ERROR_DEV_NOT_EXIST}};
    for (auto [err, expected] : cases) {
        s.writes = {4, -err};
        s.sink.clear();
        size_t written = 0;
        EXPECT_EQ(write_all(9, reinterpret_cast<const uint8_t*>("abcdefgh"), 8, 1000, written), expected);
        EXPECT_EQ(written, 4u);
    }
}

TEST(PortIo, WriteToAFullPipeTimesOutInsteadOfHanging) {
    signal(SIGPIPE, SIG_IGN);
    int p[2];
    ASSERT_EQ(pipe2(p, O_NONBLOCK), 0);
    std::vector<uint8_t> big(1 << 20, 'x');
    size_t written = 0;
    EXPECT_EQ(write_all(p[1], big.data(), big.size(), 50, written), DWORD(ERROR_TIMEOUT));
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, big.size());
    close(p[0]);
    EXPECT_EQ(write_all(p[1], big.data(), 10, 50, written), DWORD(ERROR_BROKEN_PIPE));
    close(p[1]);
}

TEST(PortIo, ReadGathersWhatArrivesWithinTheInterval) {
    int p[2];
    ASSERT_EQ(pipe2(p, O_NONBLOCK), 0);
    ASSERT_EQ(write(p[1], "status", 6), 6);
    uint8_t buf[16];
    size_t got = 0;
    EXPECT_EQ(read_some(p[0], buf, sizeof buf, 100, 10, got), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), got), "status");
    EXPECT_EQ(read_some(p[0], buf, sizeof buf, 10, 10, got), 0u);
    EXPECT_EQ(got, 0u);
    // A total time bounds the whole read, however long the interval.
    ASSERT_EQ(write(p[1], "status", 6), 6);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(read_some(p[0], buf, sizeof buf, 20, 5000, got, 20), 0u);
    EXPECT_EQ(got, 6u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    close(p[0]);
    close(p[1]);
}

class PortMonitorTable : public ::testing::Test {
protected:
    PortMonitorTable()
        : monitor([this](const std::string& name, PortConfig& c) {
              if (name != "FILE:") return false;
              c.device = path;
              return true;
          }) {}
    std::string read_output() const {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::string path = qortest::sandbox() + "/port.bin";
    LocalPortMonitor monitor;
    MONITOR2* t = monitor.table();
};

TEST_F(PortMonitorTable, FilePortAppendsEachDocumentAndRefusesUnknownPorts) {
    HANDLE port = nullptr;
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(t->pfnOpenPort(monitor.handle(), const_cast<LPWSTR>(u"COM7"), &port));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_UNKNOWN_PORT));
    ASSERT_TRUE(t->pfnOpenPort(monitor.handle(), const_cast<LPWSTR>(u"FILE:"), &port));
    DWORD written = 0;
    EXPECT_FALSE(t->pfnWritePort(port, reinterpret_cast<LPBYTE>(const_cast<char*>("x")), 1, &written));
    for (const char* doc : {"first ", "second"}) {
        ASSERT_TRUE(t->pfnStartDocPort(port, const_cast<LPWSTR>(u"P"), 1, 1, nullptr));
        ASSERT_TRUE(t->pfnWritePort(port, reinterpret_cast<LPBYTE>(const_cast<char*>(doc)), DWORD(strlen(doc)), &written));
        EXPECT_EQ(written, strlen(doc));
        uint8_t buf[8];
        DWORD got = 99;
        EXPECT_TRUE(t->pfnReadPort(port, buf, sizeof buf, &got));
        EXPECT_EQ(got, 0u);
        ASSERT_TRUE(t->pfnEndDocPort(port));
    }
    EXPECT_EQ(read_output(), "first second");
    DWORD status = 0, returned = 0;
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(t->pfnGetPrinterDataFromPort(port, IOCTL_SERIAL_GET_MODEMSTATUS, nullptr, nullptr, 0,
                                              reinterpret_cast<LPWSTR>(&status), 4, &returned));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));
    EXPECT_TRUE(t->pfnClosePort(port));
}

TEST_F(PortMonitorTable, InjectedDeviceFailureIsReportedAndTheNextAttemptGoesThrough) {
    HANDLE port = nullptr;
    ASSERT_TRUE(t->pfnOpenPort(monitor.handle(), const_cast<LPWSTR>(u"FILE:"), &port));
    ASSERT_TRUE(t->pfnStartDocPort(port, const_cast<LPWSTR>(u"P"), 1, 1, nullptr));
    Script s;
    s.writes = {2, -ENOSPC};
    script = &s;
    set_port_io(&kFake);
    DWORD written = 0;
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(t->pfnWritePort(port, reinterpret_cast<LPBYTE>(const_cast<char*>("abcd")), 4, &written));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DISK_FULL));
    EXPECT_EQ(written, 2u);
    EXPECT_TRUE(t->pfnWritePort(port, reinterpret_cast<LPBYTE>(const_cast<char*>("cd")), 2, &written));
    set_port_io(nullptr);
    script = nullptr;
    EXPECT_EQ(s.sink, "abcd");
    t->pfnEndDocPort(port);
    t->pfnClosePort(port);
}

TEST_F(PortMonitorTable, VanishedDeviceIsReopenedOnTheNextWrite) {
    HANDLE port = nullptr;
    ASSERT_TRUE(t->pfnOpenPort(monitor.handle(), const_cast<LPWSTR>(u"FILE:"), &port));
    ASSERT_TRUE(t->pfnStartDocPort(port, const_cast<LPWSTR>(u"P"), 1, 1, nullptr));
    Script s;
    s.writes = {-ENODEV};
    script = &s;
    set_port_io(&kFake);
    DWORD written = 0;
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(t->pfnWritePort(port, reinterpret_cast<LPBYTE>(const_cast<char*>("ab")), 2, &written));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DEV_NOT_EXIST));
    set_port_io(nullptr);
    script = nullptr;
    ::unlink(path.c_str());  // the old device is gone; the retry must create the file anew
    EXPECT_TRUE(t->pfnWritePort(port, reinterpret_cast<LPBYTE>(const_cast<char*>("ab")), 2, &written));
    t->pfnEndDocPort(port);
    t->pfnClosePort(port);
    EXPECT_EQ(read_output(), "ab");
}

TEST_F(PortMonitorTable, AnEmptyWriteDrainsAndFailsWhenTheDeviceHasGone) {
    HANDLE port = nullptr;
    ASSERT_TRUE(t->pfnOpenPort(monitor.handle(), const_cast<LPWSTR>(u"FILE:"), &port));
    ASSERT_TRUE(t->pfnStartDocPort(port, const_cast<LPWSTR>(u"P"), 1, 1, nullptr));
    DWORD written = 7;
    EXPECT_TRUE(t->pfnWritePort(port, nullptr, 0, &written));
    EXPECT_EQ(written, 0u);
    Script s;
    s.writes = {-ENODEV};
    script = &s;
    set_port_io(&kFake);
    EXPECT_FALSE(t->pfnWritePort(port, reinterpret_cast<LPBYTE>(const_cast<char*>("ab")), 2, &written));
    set_port_io(nullptr);
    script = nullptr;
    // What went to the vanished device is lost: no drain can report it
    // delivered, and no fresh device is opened for one.
    EXPECT_FALSE(t->pfnWritePort(port, nullptr, 0, &written));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DEV_NOT_EXIST));
    t->pfnEndDocPort(port);
    t->pfnClosePort(port);
}

}  // namespace
