// Reaching qorspoold: connect to its socket, or start it (embedded default)
// when nobody runs it yet.
#include "companion_program.h"
#include "spool_client.h"

#include "qor/support/places.h"
#include "acp_text.h"
#include "qor/support/utf.h"

#include "qor/strings.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qor::spool {
namespace {

int connect_socket() {
    std::string path = socket_path();
    sockaddr_un addr{};
    if (path.size() >= sizeof addr.sun_path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    while (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (errno == EINTR) continue;
        int saved = errno;
        close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

// qorspoold lives next to the library (build/bin), unless QOR_SPOOLD names it.
std::string service_program() { return qor::companion_program("QOR_SPOOLD", "qorspoold"); }

// Starts the service detached from the caller (its own session, reparented
// to init), so it outlives the client and leaves no zombie behind.
void spawn_service() {
    std::string program = service_program();
    const char* argv[] = {program.c_str(), "--auto", nullptr};
    pid_t child = fork();
    if (child < 0) return;
    if (child == 0) {
        setsid();
        if (fork() == 0) {
            int null_fd = open("/dev/null", O_RDWR);
            if (null_fd >= 0) {
                dup2(null_fd, 0), dup2(null_fd, 1), dup2(null_fd, 2);
            }
            for (int fd = 3; fd < 1024; ++fd) close(fd);
            execv(program.c_str(), const_cast<char* const*>(argv));
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {}
}

int connect_or_start() {
    int fd = connect_socket();
    // The service itself (its monitors call the client API) never starts a
    // second instance, least of all while it is shutting down. The system
    // spooler is started by the service manager, on its socket's first call.
    if (fd >= 0 || std::getenv("QOR_SPOOLER_NO_AUTOSTART") || places::system_mode()) return fd;
    std::string run = places::runtime_dir();
    places::ensure_dir(run);
    // One starter at a time: the others wait here and then find it running.
    int lock = open((run + "/" + kStartLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock >= 0)
        while (flock(lock, LOCK_EX) != 0 && errno == EINTR) {}
    fd = connect_socket();
    if (fd < 0) {
        spawn_service();
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while ((fd = connect_socket()) < 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (lock >= 0) close(lock);
    return fd;
}

}  // namespace

std::unique_ptr<Connection> Connection::open(bool start_if_needed) {
    int fd = start_if_needed ? connect_or_start() : connect_socket();
    if (fd < 0) return fail(RPC_S_SERVER_UNAVAILABLE, std::unique_ptr<Connection>());
    return std::unique_ptr<Connection>(new Connection(fd));
}

Connection::~Connection() { close(fd_); }

ResponseHead::~ResponseHead() {
    if (passed_fd >= 0) close(passed_fd);
}

bool exchange(Connection& conn, Op op, const Writer& request, std::vector<uint8_t>& reply, int& passed_fd) {
    FrameHeader header{};
    if (!send_frame(conn.fd(), op, request.payload()) ||
        recv_frame(conn.fd(), header, reply, &passed_fd) != RecvResult::Ok ||
        header.op != static_cast<uint32_t>(Op::Reply)) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return false;
    }
    return true;
}

BOOL finish(const ResponseHead& response) {
    SetLastError(response.error);
    return response.result ? TRUE : FALSE;
}

namespace {

std::mutex table_mutex;
std::map<uintptr_t, std::shared_ptr<PrinterHandle>>& table() {
    static auto* t = new std::map<uintptr_t, std::shared_ptr<PrinterHandle>>;
    return *t;
}
uintptr_t next_handle = 0x51000;

}  // namespace

HANDLE insert_printer_handle(std::unique_ptr<PrinterHandle> handle) {
    std::lock_guard lock(table_mutex);
    uintptr_t id = next_handle;
    next_handle += 4;
    table()[id] = std::shared_ptr<PrinterHandle>(std::move(handle));
    return reinterpret_cast<HANDLE>(id);
}

std::shared_ptr<PrinterHandle> lookup_printer_handle(HANDLE handle) {
    std::lock_guard lock(table_mutex);
    auto it = table().find(reinterpret_cast<uintptr_t>(handle));
    if (it == table().end()) return fail(ERROR_INVALID_HANDLE, std::shared_ptr<PrinterHandle>());
    return it->second;
}

std::shared_ptr<PrinterHandle> take_printer_handle(HANDLE handle) {
    std::lock_guard lock(table_mutex);
    auto it = table().find(reinterpret_cast<uintptr_t>(handle));
    if (it == table().end()) return fail(ERROR_INVALID_HANDLE, std::shared_ptr<PrinterHandle>());
    auto h = it->second;
    table().erase(it);
    return h;
}

std::string wide_to_utf8(LPCWSTR text) { return text ? utf16_to_utf8(text) : std::string(); }

std::string ansi_to_utf8(LPCSTR text) { return text ? acp_to_utf8(text) : std::string(); }

std::u16string utf8_to_wide(const std::string& text) { return utf8_to_utf16(text); }

std::string utf8_to_ansi(const std::string& text) {
    std::u16string w = utf8_to_utf16(text);
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_ACP, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, w.c_str(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace qor::spool
