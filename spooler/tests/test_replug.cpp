// Devices that come and go: a port whose device went away waits for it and
// opens it again when it is back, and never takes a plain file for it.
#include "device_arrivals.h"
#include "port_device.h"
#include "spool_testing.h"

#include "qor/spooler.h"
#include "qor/support/places.h"
#include "qor/support/utf.h"

#include "qortest.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <vector>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace qor::spooler;

// A pseudo-terminal standing for a serial adapter, reached through a link
// like a device manager's stable name.
class Adapter {
public:
    explicit Adapter(const std::string& link) : link_(link) { plug(); }
    ~Adapter() { unplug(); }
    // What the printer received.
    std::string received() {
        std::string got;
        char buffer[4096];
        ssize_t n;
        while ((n = read(master_, buffer, sizeof buffer)) > 0) got.append(buffer, size_t(n));
        return got;
    }
    void plug() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_), 0);
        ASSERT_EQ(unlockpt(master_), 0);
        fcntl(master_, F_SETFL, O_NONBLOCK);
        ASSERT_EQ(symlink(ptsname(master_), link_.c_str()), 0);
    }
    void unplug() {
        if (master_ >= 0) close(master_);
        master_ = -1;
        unlink(link_.c_str());
    }

private:
    std::string link_;
    int master_ = -1;
};

DeviceTarget target_at(const std::string& path) {
    DeviceTarget t;
    t.path = path;
    return t;
}

bool is_plain_file(const std::string& path) {
    struct stat st{};
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

TEST(Replug, AnAdapterPulledAndPluggedBackIsOpenedAgainAndNeverReplacedByAFile) {
    const std::string link = qortest::sandbox() + "/ttyADAPTER";
    Adapter adapter(link);
    DWORD error = 0;
    auto first = open_device(target_at(link), error);
    ASSERT_TRUE(first) << error;

    adapter.unplug();  // the link and the terminal are gone
    uint8_t byte = 0x1b;
    size_t written = 0;
    EXPECT_NE(first->write(&byte, 1, 100, written), 0u);
    first.reset();
    EXPECT_FALSE(open_device(target_at(link), error));
    EXPECT_EQ(error, DWORD(ERROR_DEV_NOT_EXIST));
    EXPECT_FALSE(is_plain_file(link));

    adapter.plug();  // a new terminal behind the same name
    auto again = open_device(target_at(link), error);
    ASSERT_TRUE(again) << error;
    EXPECT_EQ(again->write(&byte, 1, 1000, written), 0u);
    EXPECT_EQ(written, 1u);
}

TEST(Replug, MissingDeviceNamesAreAwayWhileAPlainPathStillCapturesToAFile) {
    const std::string sandbox = qortest::sandbox();
    DWORD error = 0;
    // A link whose device has gone: nothing is created through it.
    const std::string target = sandbox + "/pts-gone", dangling = sandbox + "/ttyDANGLING";
    ASSERT_EQ(symlink(target.c_str(), dangling.c_str()), 0);
    EXPECT_FALSE(open_device(target_at(dangling), error));
    EXPECT_EQ(error, DWORD(ERROR_DEV_NOT_EXIST));
    EXPECT_NE(access(target.c_str(), F_OK), 0);

    // A name in the device folder is a device's, present or not.
    const std::string node = "/dev/qor-test-missing-lp" + std::to_string(getpid());
    EXPECT_FALSE(open_device(target_at(node), error));
    EXPECT_EQ(error, DWORD(ERROR_DEV_NOT_EXIST));
    EXPECT_NE(access(node.c_str(), F_OK), 0);

    // A path never seen as a device is a capture file, created on demand.
    const std::string capture = sandbox + "/capture.bin";
    auto file = open_device(target_at(capture), error);
    ASSERT_TRUE(file) << error;
    EXPECT_TRUE(is_plain_file(capture));
}

// The names a watcher was told about, as they come back.
struct Arrivals {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> back;
    bool wait_for(size_t n) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return back.size() >= n; });
    }
};

TEST(Replug, TheWatcherTellsOnceWhenANameComesBackEvenInFoldersMadeAfterwards) {
    Arrivals seen;
    DeviceArrivals watcher([&](const std::string& path) {
        std::lock_guard lock(seen.mutex);
        seen.back.push_back(path);
        seen.changed.notify_all();
    });
    const std::string folder = qortest::sandbox() + "/dev/qor", name = folder + "/zemd-0042";
    const std::string present = qortest::sandbox() + "/present";
    std::ofstream(present) << "";
    EXPECT_FALSE(watcher.expect(present));  // there already: nothing to wait for
    EXPECT_FALSE(watcher.expect("relative/name"));
    ASSERT_TRUE(watcher.expect(name));
    ASSERT_TRUE(qor::places::ensure_dir(folder));  // the device manager makes the folder, then the link
    ASSERT_EQ(symlink("/dev/null", (name + ".tmp").c_str()), 0);
    ASSERT_EQ(rename((name + ".tmp").c_str(), name.c_str()), 0);
    ASSERT_TRUE(seen.wait_for(1));
    unlink(name.c_str());
    ASSERT_EQ(symlink("/dev/null", name.c_str()), 0);  // not awaited any more: no second call
    ASSERT_TRUE(watcher.expect(qortest::sandbox() + "/later"));
    std::ofstream(qortest::sandbox() + "/later") << "";
    ASSERT_TRUE(seen.wait_for(2));
    std::lock_guard lock(seen.mutex);
    EXPECT_EQ(seen.back, (std::vector<std::string>{name, qortest::sandbox() + "/later"}));
}

DWORD printer_status(const std::string& printer) {
    std::u16string name = qor::utf8_to_utf16(printer);
    HANDLE h = nullptr;
    if (!OpenPrinterW(name.data(), &h, nullptr)) return 0xFFFFFFFF;
    std::vector<uint8_t> buf(8192);
    DWORD needed = 0, status = 0xFFFFFFFF;
    if (GetPrinterW(h, 2, buf.data(), DWORD(buf.size()), &needed))
        status = reinterpret_cast<PRINTER_INFO_2W*>(buf.data())->Status;
    ClosePrinter(h);
    return status;
}

TEST(Replug, AJobForAPrinterThatIsAwayPrintsAsSoonAsItIsPluggedBackNotAtTheNextRetry) {
    // Retries a minute apart: only the device's return can start the job in time.
    qorspool::PrivateSpooler spooler(60000);
    ASSERT_TRUE(spooler.ok());
    const std::string link = qortest::sandbox() + "/ttyKIOSK";
    Adapter adapter(link);
    ASSERT_TRUE(spooler.add_printer("Kiosk", "COM3", link));
    ASSERT_NE(qorspool::print_raw("Kiosk", "before\n"), 0u);
    ASSERT_TRUE(spooler.wait_idle("Kiosk", std::chrono::seconds(10)));
    EXPECT_TRUE(qortest::eventually([&] { return adapter.received() == "before\n"; }));

    adapter.unplug();
    ASSERT_NE(qorspool::print_raw("Kiosk", "while away\n"), 0u);
    ASSERT_TRUE(qortest::eventually([] { return (printer_status("Kiosk") & PRINTER_STATUS_NOT_AVAILABLE) != 0; }));
    EXPECT_FALSE(is_plain_file(link));
    adapter.plug();
    ASSERT_TRUE(spooler.wait_idle("Kiosk", std::chrono::seconds(10)));
    std::string got;
    EXPECT_TRUE(qortest::eventually([&] { return (got += adapter.received()) == "while away\n"; })) << got;
    EXPECT_TRUE(qortest::eventually([] { return (printer_status("Kiosk") & PRINTER_STATUS_NOT_AVAILABLE) == 0; }));
}

}  // namespace
