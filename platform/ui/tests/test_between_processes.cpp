#include "qor/ui/shared_broadcast.h"
#include "qor/ui/window_directory.h"
#include "qortest.h"
#include "ui_fixture.h"

#include <QCoreApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace windir = qor::windir;

namespace {

std::string read_file(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Waits for another process's effect while this one keeps serving its own
// windows' requests.
template <class Condition>
bool pumping_until(Condition condition) {
    return qortest::eventually([&] {
        QCoreApplication::processEvents();
        return condition();
    });
}

class UiBetweenProcesses : public ::testing::Test {
protected:
    void start(const char* title, bool minimized) {
        log = qortest::sandbox() + "/" + title + ".log";
        std::vector<std::string> args{title, log};
        if (minimized) args.push_back("minimized");
        helper = qortest::Child::spawn("qorui_test_helper_window", args);
        ASSERT_TRUE(qortest::eventually([&] { return read_file(log).find("ready") != std::string::npos; }));
    }
    qortest::Child helper;
    std::string log;
};

BOOL CALLBACK collect(HWND window, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

TEST_F(UiBetweenProcesses, FindRestoreReadPropertiesAndPostToAnotherProcess) {
    start("Printer Tool", true);
    HWND found = FindWindowW(nullptr, u"Printer Tool");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(FindWindowW(u"#32770", u"Printer Tool"), found);
    EXPECT_EQ(FindWindowW(nullptr, u"printer tool"), nullptr) << "titles match exactly";
    EXPECT_TRUE(IsWindow(found));
    EXPECT_EQ(GetPropW(found, u"QOR_PRINTER_TOOL"), reinterpret_cast<HANDLE>(0x1234));
    std::vector<HWND> all;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&all));
    EXPECT_NE(std::find(all.begin(), all.end(), found), all.end());

    EXPECT_TRUE(IsIconic(found));
    EXPECT_TRUE(ShowWindow(found, SW_RESTORE));
    EXPECT_TRUE(qortest::eventually([&] { return !IsIconic(found); }));
    EXPECT_TRUE(SetForegroundWindow(GetLastActivePopup(found)));
    std::string shot = qortest::sandbox() + "/tool.png";
    EXPECT_TRUE(QorUiRequestScreenshot(found, shot.c_str()));
    EXPECT_TRUE(qortest::eventually([&] { return !QImage(QString::fromStdString(shot)).isNull(); }));

    EXPECT_TRUE(PostMessageW(found, WM_USER + 5, 0, 0));
    EXPECT_EQ(helper.wait(), 0);
    EXPECT_EQ(read_file(log), "ready\nclose\n");
    EXPECT_EQ(FindWindowW(nullptr, u"Printer Tool"), nullptr) << "a finished process's windows are gone";
    EXPECT_FALSE(IsWindow(found));
    EXPECT_FALSE(PostMessageW(found, WM_USER + 5, 0, 0));
}

INT_PTR CALLBACK own_proc(HWND dialog, UINT message, WPARAM, LPARAM lparam) {
    if (message == WM_SETTINGCHANGE) {
        SetWindowLongPtrW(dialog, GWLP_USERDATA,
                          std::u16string(reinterpret_cast<const char16_t*>(lparam)) == u"devices");
        return TRUE;
    }
    return FALSE;
}

TEST_F(UiBetweenProcesses, SettingChangeReachesEveryProcessesWindows) {
    start("Status", false);
    HWND own = uitest::modeless(uitest::dialog(u"Own", 50, 20, {}), own_proc);
    EXPECT_EQ(QorUiBroadcastSettingChange(u"devices"), 2);
    EXPECT_TRUE(qortest::eventually([&] { return read_file(log) == "ready\nsetting devices\n"; }));
    EXPECT_TRUE(pumping_until([&] { return GetWindowLongPtrW(own, GWLP_USERDATA) == 1; }));
    DestroyWindow(own);
    EXPECT_EQ(FindWindowW(nullptr, u"Own"), nullptr);
}

// A program of a member of the system spooler's group: its windows are
// listed in a folder of its own, which the spooler does not read, and it
// works against the system installation, whose runtime folder is here.
class UiSharedBroadcast : public UiBetweenProcesses {
protected:
    void SetUp() override {
        system_run = qortest::sandbox() + "/system-run";
        ASSERT_EQ(mkdir(system_run.c_str(), 0755), 0);
        ASSERT_EQ(mkdir((system_run + "/windows").c_str(), 0770), 0);
        const std::string member_run = qortest::sandbox() + "/member-run";
        const std::string own_run = std::getenv("QOR_RUNTIME_DIR");
        setenv("QOR_SYSTEM_RUNTIME_DIR", system_run.c_str(), 1);
        setenv("QOR_MODE", "system", 1);
        setenv("QOR_RUNTIME_DIR", member_run.c_str(), 1);
        start("Member Tool", false);
        setenv("QOR_RUNTIME_DIR", own_run.c_str(), 1);
        unsetenv("QOR_MODE");
    }
    void TearDown() override { unsetenv("QOR_SYSTEM_RUNTIME_DIR"); }
    std::string helper_socket() const {
        return system_run + "/windows/" + std::to_string(getuid()) + "-" + std::to_string(helper.pid()) + ".sock";
    }
    std::string system_run;
};

TEST_F(UiSharedBroadcast, TheSystemSpoolersSettingChangeReachesAMembersWindows) {
    EXPECT_EQ(FindWindowW(nullptr, u"Member Tool"), nullptr) << "the member's windows are not listed here";
    struct stat st{};
    ASSERT_EQ(stat(helper_socket().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "only its user and root may post to it";

    // Anything but a setting change is dropped: a close request would end it.
    windir::Packet close;
    close.request = windir::Request::kPost;
    close.message = WM_USER + 5;
    const std::vector<uint8_t> bytes = windir::encode_packet(close);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, helper_socket().c_str());
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address),
              static_cast<ssize_t>(bytes.size()));
    ::close(fd);

    // A socket of a process that ended goes when the spooler next broadcasts.
    qortest::Child gone = qortest::Child::spawn("/bin/true", {});
    const std::string stale = system_run + "/windows/" + std::to_string(getuid()) + "-" + std::to_string(gone.pid()) + ".sock";
    gone.wait();
    std::ofstream(stale).put('x');

    // Entries named after a live process that are a link to another socket,
    // or a socket of a user other than the one named, are not sent to.
    const std::string decoy_path = qortest::sandbox() + "/decoy.sock";
    int decoy = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un decoy_address{};
    decoy_address.sun_family = AF_UNIX;
    std::strcpy(decoy_address.sun_path, decoy_path.c_str());
    ASSERT_EQ(bind(decoy, reinterpret_cast<sockaddr*>(&decoy_address), sizeof decoy_address), 0);
    const std::string live = std::to_string(getpid()) + ".sock";
    ASSERT_EQ(symlink(decoy_path.c_str(), (system_run + "/windows/" + std::to_string(getuid()) + "-" + live).c_str()), 0);
    int other_user = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un other_address{};
    other_address.sun_family = AF_UNIX;
    std::strcpy(other_address.sun_path,
                (system_run + "/windows/" + std::to_string(getuid() + 1) + "-" + live).c_str());
    ASSERT_EQ(bind(other_user, reinterpret_cast<sockaddr*>(&other_address), sizeof other_address), 0);

    EXPECT_EQ(windir::broadcast_shared(u"devices"), 1);
    EXPECT_TRUE(qortest::eventually([&] { return read_file(log) == "ready\nsetting devices\n"; })) << read_file(log);
    EXPECT_NE(access(stale.c_str(), F_OK), 0);
    char byte = 0;
    EXPECT_LT(recv(decoy, &byte, 1, 0), 0) << "a link was followed";
    EXPECT_LT(recv(other_user, &byte, 1, 0), 0) << "a socket of another user than named was sent to";
    ::close(decoy);
    ::close(other_user);

    // Once the program has ended, its socket goes at the next broadcast.
    helper.kill(SIGTERM);
    EXPECT_EQ(windir::broadcast_shared(u"devices"), 0);
    EXPECT_NE(access(helper_socket().c_str(), F_OK), 0);
}

TEST(UiWindowDirectory, OnlyUidDashPidSockNamesInTheSharedFolderNameAProcess) {
    EXPECT_EQ(windir::shared_socket_pid("1000-42.sock"), 42);
    EXPECT_EQ(windir::shared_socket_pid("0-4194303.sock"), 4194303);
    for (const char* other : {"", ".sock", "-42.sock", "1000-.sock", "1000-42", "1000-42.sock.new", "x-42.sock",
                              "1000-+42.sock", "1000- 42.sock", "1000-0.sock", "1000-4194304.sock",
                              "1000-99999999999.sock", "1000-42-7.sock", "../1000-42.sock"})
        EXPECT_EQ(windir::shared_socket_pid(other), 0) << other;
}

TEST(UiWindowDirectory, DeadAndForgedRecordsAreIgnored) {
    qortest::Child gone = qortest::Child::spawn("/bin/true", {});
    uint32_t dead_pid = static_cast<uint32_t>(gone.pid());
    gone.wait();
    windir::WindowRecord dead{dead_pid, 0x10000, windir::kVisible, u"#32770", u"Ghost", {}};
    std::vector<uint8_t> bytes = windir::encode_record(dead);
    std::string dead_path = windir::directory() + "/" + std::to_string(dead_pid) + "-10000.win";
    std::ofstream(dead_path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    // A live process's number, under another file name, claims a window.
    windir::WindowRecord forged{static_cast<uint32_t>(getpid()), 0x20000, 0, u"#32770", u"Forged", {}};
    bytes = windir::encode_record(forged);
    std::ofstream(windir::directory() + "/1-2.win", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());

    EXPECT_TRUE(windir::list().empty());
    EXPECT_NE(access(dead_path.c_str(), F_OK), 0) << "the dead process's record is cleaned up";
}

TEST(UiWindowDirectory, RecordsAndPacketsRoundTripAndRefuseEveryTruncation) {
    windir::WindowRecord record{42, 0x10002, windir::kIconic, u"#32770", u"Tool", {{u"QOR_PRINTER_TOOL", 7}, {u"x", 9}}};
    auto bytes = windir::encode_record(record);
    auto back = windir::decode_record(bytes.data(), bytes.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->title, u"Tool");
    EXPECT_EQ(back->properties, record.properties);
    for (size_t size = 0; size < bytes.size(); ++size) EXPECT_FALSE(windir::decode_record(bytes.data(), size));

    windir::Packet packet;
    packet.handle = 0x10002;
    packet.message = WM_SETTINGCHANGE;
    packet.has_text = true;
    packet.text = u"devices";
    auto wire = windir::encode_packet(packet);
    auto got = windir::decode_packet(wire.data(), wire.size());
    ASSERT_TRUE(got);
    EXPECT_EQ(got->text, u"devices");
    EXPECT_EQ(got->message, UINT(WM_SETTINGCHANGE));
    for (size_t size = 0; size < wire.size(); ++size) EXPECT_FALSE(windir::decode_packet(wire.data(), size));
    wire[4] = 9;  // no such request
    EXPECT_FALSE(windir::decode_packet(wire.data(), wire.size()));
}

}  // namespace
