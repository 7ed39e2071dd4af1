// Devices that come and go: a port whose device went away waits for it and
// opens it again when it is back, and never takes a plain file for it.
#include "port_device.h"

#include "qortest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
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
    void plug() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_), 0);
        ASSERT_EQ(unlockpt(master_), 0);
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

}  // namespace
