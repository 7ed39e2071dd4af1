// Programs with windows hear of every printer added, changed or removed:
// the service posts WM_SETTINGCHANGE "devices" to each top-level window in
// the window directory. This test stands in for such a program.
#include "spool_testing.h"

#include "qor/ui/window_directory.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace windir = qor::windir;

namespace {

constexpr uint32_t kSettingChange = 0x001A;
constexpr uint64_t kWindow = 0x10000;

class WindowBroadcast : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(spooler.ok());
        socket = windir::listener();
        ASSERT_GE(socket, 0);
        ASSERT_TRUE(windir::publish({static_cast<uint32_t>(getpid()), kWindow, windir::kVisible, u"#32770", u"Status", {}}));
    }
    // The next packet the service posted to the window, if one comes.
    std::optional<windir::Packet> next_post() {
        std::optional<windir::Packet> packet;
        qortest::eventually([&] { return (packet = windir::receive(socket)).has_value(); });
        return packet;
    }
    void expect_devices_change(const char* after) {
        auto packet = next_post();
        ASSERT_TRUE(packet) << after;
        EXPECT_EQ(packet->handle, kWindow);
        EXPECT_EQ(packet->message, kSettingChange);
        EXPECT_TRUE(packet->has_text);
        EXPECT_EQ(packet->text, u"devices") << after;
    }
    qorspool::PrivateSpooler spooler;
    int socket = -1;
};

TEST_F(WindowBroadcast, EveryPrinterChangeIsPostedToTheWindows) {
    ASSERT_TRUE(spooler.add_printer("Kiosk", "USB002", spooler.output_path()));
    expect_devices_change("add-printer");
    ASSERT_EQ(qortest::run("qorctl", {"set-printer", "Kiosk", "+bidi"}).status, 0);
    expect_devices_change("set-printer");
    // The service posts before it answers, so a post would be here by now.
    ASSERT_EQ(qortest::run("qorctl", {"pause", "Kiosk"}).status, 0);
    EXPECT_FALSE(windir::receive(socket)) << "pausing is not a change of the printer";
    ASSERT_EQ(qortest::run("qorctl", {"remove-printer", "Kiosk"}).status, 0);
    expect_devices_change("remove-printer");
}

}  // namespace
