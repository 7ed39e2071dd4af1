// The system-wide spooler: how programs find it, who it admits, the
// service manager's socket activation (first call starts it, it ends when
// idle and comes back with its state), and the shared named-object
// namespace. Everything runs unprivileged in the test's sandbox, with the
// system folders pointed there.
#include "activation.h"
#include "admission.h"
#include "request_dispatch.h"
#include "spool_testing.h"

#include "qor/kernel.h"
#include "qor/spool/protocol.h"
#include "qor/spool/requests.h"
#include "qor/spooler.h"
#include "qor/support/places.h"
#include "qor/support/utf.h"
#include "qor/ui/shared_broadcast.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dirent.h>
#include <memory>
#include <sstream>
#include <fstream>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using namespace qor::spooler;
using qor::places::system_mode;

// Points the system installation into the sandbox and takes away the
// per-user places the fixture set, restoring them at the end.
class SystemPlaces : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"QOR_ROOT", "QOR_RUNTIME_DIR", "QOR_MODE"}) {
            if (const char* v = std::getenv(name)) saved_.emplace_back(name, v);
            unsetenv(name);
        }
        sys_root_ = qortest::sandbox() + "/sys/var-lib-qor";
        sys_run_ = qortest::sandbox() + "/sys/run-qor";
        setenv("QOR_SYSTEM_ROOT", sys_root_.c_str(), 1);
        setenv("QOR_SYSTEM_RUNTIME_DIR", sys_run_.c_str(), 1);
        setenv("XDG_DATA_HOME", (qortest::sandbox() + "/xdg-data").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (qortest::sandbox() + "/xdg-run").c_str(), 1);
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
        unsetenv("QOR_MODE");
    }
    std::string socket_path() const { return sys_run_ + "/" + qor::places::kSpoolerSocketName; }

    std::string sys_root_, sys_run_;
    std::vector<std::pair<std::string, std::string>> saved_;
};

// A socket file bound at `path`, as the service manager leaves it.
int bound_socket(const std::string& path) {
    qor::places::ensure_dir(path.substr(0, path.rfind('/')));
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0) << path;
    return fd;
}

TEST_F(SystemPlaces, ProgramsFindTheSystemSpoolerOnlyWhenNoPerUserOneIsSetUp) {
    const std::string user_run = qortest::sandbox() + "/xdg-run/qor";
    // Nothing installed system-wide: the per-user places, as always.
    EXPECT_FALSE(system_mode());
    EXPECT_EQ(qor::places::runtime_dir(), user_run);
    EXPECT_EQ(qor::places::root(), qortest::sandbox() + "/xdg-data/qor");

    int fd = bound_socket(socket_path());
    EXPECT_TRUE(system_mode());
    EXPECT_EQ(qor::places::runtime_dir(), sys_run_);
    EXPECT_EQ(qor::places::root(), sys_root_);
    EXPECT_EQ(qor::spool::socket_path(), socket_path());

    // A user with a machine registry of their own keeps their own spooler.
    std::string own_registry = qortest::sandbox() + "/xdg-data/qor/registry";
    ASSERT_TRUE(qor::places::ensure_dir(own_registry));
    std::ofstream(own_registry + "/machine.reg") << "\n";
    EXPECT_FALSE(system_mode());
    EXPECT_EQ(qor::places::runtime_dir(), user_run);

    // Explicit choices win over the guess.
    setenv("QOR_MODE", "system", 1);
    EXPECT_TRUE(system_mode());
    setenv("QOR_MODE", "user", 1);
    unlink((own_registry + "/machine.reg").c_str());
    EXPECT_FALSE(system_mode());
    unsetenv("QOR_MODE");
    setenv("QOR_RUNTIME_DIR", (qortest::sandbox() + "/mine").c_str(), 1);
    EXPECT_FALSE(system_mode());
    EXPECT_EQ(qor::places::runtime_dir(), qortest::sandbox() + "/mine");
    unsetenv("QOR_RUNTIME_DIR");
    EXPECT_TRUE(system_mode());

    // A plain file where the socket should be is no spooler.
    close(fd);
    unlink(socket_path().c_str());
    std::ofstream(socket_path()) << "";
    EXPECT_FALSE(system_mode());
}

TEST(SystemAdmission, MembersUseStrangersAreRefusedAndOnlyTheAdministratorAdministers) {
    const gid_t qor_group = 4242;
    const uid_t service = 0;
    qor::security::Caller member{1001, {1001, qor_group}}, stranger{1002, {1002, 100}}, root{0, {0}};

    Admission per_user = admit(stranger, false, qor_group, 1002);
    EXPECT_TRUE(per_user.member && per_user.administrator);

    Admission m = admit(member, true, qor_group, service);
    EXPECT_TRUE(m.member);
    EXPECT_FALSE(m.administrator);
    Admission s = admit(stranger, true, qor_group, service);
    EXPECT_FALSE(s.member || s.administrator);
    Admission r = admit(root, true, qor_group, service);
    EXPECT_TRUE(r.member && r.administrator);
    // A service run under its own account administers as that account.
    Admission own = admit(member, true, qor_group, 1001);
    EXPECT_TRUE(own.member && own.administrator);
    // Without the group nobody but the administrator gets in.
    EXPECT_FALSE(admit(member, true, std::nullopt, service).member);
    EXPECT_TRUE(admit(root, true, std::nullopt, service).member);
}

DWORD reply_error(Service& service, Session& session, qor::spool::Op op, const qor::spool::Writer& request) {
    qor::spool::Reader in(request.payload());
    DispatchResult r = dispatch_request(service, session, op, in);
    qor::spool::Reader out(r.reply.payload());
    out.u32();
    return out.u32();
}

template <class Request>
DWORD error_of(Service& service, Session& session, const Request& request = {}) {
    qor::spool::Writer w;
    encode(w, request);
    return reply_error(service, session, Request::op, w);
}

TEST(SystemAdmission, TheServiceAnswersRefusedCallersWithAccessDenied) {
    namespace rq = qor::spool::requests;
    ASSERT_TRUE(qor::places::ensure_dir(qor::places::root()));
    Service service({});
    ASSERT_EQ(service.start(), 0u);
    Session stranger;
    stranger.member = stranger.administrator = false;
    EXPECT_EQ(error_of<rq::EnumPrinters>(service, stranger), DWORD(ERROR_ACCESS_DENIED));
    rq::OpenPrinter open;
    open.name = "anything";
    EXPECT_EQ(error_of(service, stranger, open), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(error_of<rq::Ping>(service, stranger), 0u);

    Session member;
    member.administrator = false;
    EXPECT_EQ(error_of<rq::EnumPrinters>(service, member), 0u);
    rq::AddPort port;
    port.name = "COM7";
    EXPECT_EQ(error_of(service, member, port), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(error_of<rq::Shutdown>(service, member), DWORD(ERROR_ACCESS_DENIED));
    Session administrator;
    EXPECT_EQ(error_of(service, administrator, port), 0u);
    service.stop();
}

TEST(SystemActivation, OnlyDescriptorsMeantForThisProcessAreTaken) {
    EXPECT_EQ(passed_socket("1234", "1", 1234), std::optional<int>(3));
    EXPECT_EQ(passed_socket("1234", "2", 1234), std::optional<int>(3));
    EXPECT_EQ(passed_socket("1235", "1", 1234), std::nullopt);  // a parent's, inherited
    EXPECT_EQ(passed_socket("1234", "0", 1234), std::nullopt);
    EXPECT_EQ(passed_socket(nullptr, "1", 1234), std::nullopt);
    EXPECT_EQ(passed_socket("12x", "1", 12), std::nullopt);
    EXPECT_EQ(passed_socket("1234", "-1", 1234), std::nullopt);
}

int count_in(const std::string& path) {
    std::ifstream in(path);
    int n = -1;
    in >> n;
    return n;
}

std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

unsigned mode_of(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0;
}

TEST_F(SystemPlaces, FirstCallStartsTheSystemSpoolerWhichEndsWhenIdleAndComesBackWithItsState) {
    group* own = getgrgid(getgid());
    ASSERT_NE(own, nullptr);
    setenv("QOR_GROUP", own->gr_name, 1);
    setenv("QOR_MODE", "system", 1);  // this test process is a client of it
    const std::string state = qortest::sandbox() + "/manager";
    ASSERT_TRUE(qor::places::ensure_dir(state));
    ASSERT_TRUE(qor::places::ensure_dir(sys_run_, 0755));
    auto manager = qortest::Child::spawn(
        "spooltest_helper_activate",
        {socket_path(), state, qortest::bin_dir() + "/qorspoold", "--system", "--idle", "1", "--retry", "100"});
    ASSERT_TRUE(qortest::eventually([&] { return count_in(state + "/ends") == 0; }));
    EXPECT_EQ(count_in(state + "/starts"), 0);  // nothing runs before a call

    const std::string out = qortest::sandbox() + "/kiosk-printer.bin";
    ASSERT_TRUE(qorspool::install_printer("Kiosk", "FILE:", out));
    EXPECT_EQ(count_in(state + "/starts"), 1);
    EXPECT_EQ(mode_of(sys_root_), 02750u);
    EXPECT_EQ(mode_of(sys_run_ + "/objects"), 02770u);
    EXPECT_EQ(mode_of(sys_run_ + "/windows"), 03770u);
    EXPECT_TRUE(std::ifstream(sys_root_ + "/registry/machine.reg").good());
    // A member's program listening in the shared folder hears of a new printer.
    int shared = qor::windir::shared_listener();
    ASSERT_GE(shared, 0);
    ASSERT_TRUE(qorspool::install_printer("Kiosk 2", "FILE:", out));  // the port and its file are shared
    std::optional<qor::windir::Packet> heard;
    EXPECT_TRUE(qortest::eventually([&] { return (heard = qor::windir::receive_shared(shared)).has_value(); }));
    EXPECT_EQ(heard ? heard->text : u"", u"devices");
    DWORD first = qorspool::print_raw("Kiosk", "first ticket\n");
    ASSERT_NE(first, 0u);
    ASSERT_TRUE(qorspool::wait_printer_idle("Kiosk"));

    // Idle for its spell, it ends; the socket stays the manager's.
    ASSERT_TRUE(qortest::eventually([&] { return count_in(state + "/ends") == 1; }, std::chrono::seconds(15)));
    EXPECT_EQ(mode_of(socket_path()) & 0777, 0666u);

    // qorctl, given no places of its own, finds it and starts it again.
    unsetenv("QOR_MODE");
    auto listed = qortest::run("qorctl", {"printers"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("Kiosk"), std::string::npos) << listed.out;
    EXPECT_EQ(count_in(state + "/starts"), 2);
    DWORD second = qorspool::print_raw("Kiosk", "second ticket\n");
    EXPECT_GT(second, first);  // the job numbers carry on
    ASSERT_TRUE(qorspool::wait_printer_idle("Kiosk"));
    EXPECT_EQ(file_text(out), "first ticket\nsecond ticket\n");

    // Named objects of the clients live in the shared namespace.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "QorSystemModeProbe");
    ASSERT_NE(mutex, nullptr);
    struct stat st{};
    std::string objects = sys_run_ + "/objects";
    // Whatever the file is called, every object there is the group's.
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(objects.c_str()), closedir);
    ASSERT_TRUE(dir);
    int seen = 0;
    while (dirent* e = readdir(dir.get())) {
        if (e->d_name[0] == '.') continue;
        ASSERT_EQ(stat((objects + "/" + e->d_name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0660u) << e->d_name;
        EXPECT_EQ(st.st_gid, own->gr_gid) << e->d_name;
        ++seen;
    }
    EXPECT_GT(seen, 0);
    CloseHandle(mutex);

    ASSERT_TRUE(QorSpoolerControl(QOR_SPOOLER_STOP));
    ASSERT_TRUE(qortest::eventually([&] { return count_in(state + "/ends") == 2; }, std::chrono::seconds(15)));
    manager.kill();
}

}  // namespace
