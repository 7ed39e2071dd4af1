#include "qor/ui/shared_broadcast.h"

#include "qor/support/places.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <string_view>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace qor::windir {
namespace {

constexpr uint32_t kSettingChange = 0x001A;  // WM_SETTINGCHANGE

std::string own_socket_path() {
    return shared_directory() + "/" + std::to_string(getuid()) + "-" + std::to_string(getpid()) + ".sock";
}

bool fill_address(const std::string& path, sockaddr_un& address) {
    if (path.size() >= sizeof address.sun_path) return false;
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool alive(pid_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

// The entry itself, opened without following a link, when it is a socket
// of `owner`: the spooler sends as root, and members name the entries.
int open_entry(const std::string& path, uid_t owner) {
    const int fd = open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode) || st.st_uid != owner) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string bound_path;  // this process's socket, for the exit handler

}  // namespace

std::string shared_directory() { return places::system_runtime_dir() + "/windows"; }

pid_t shared_socket_pid(const std::string& name, uid_t* owner) {
    // Digits, '-', digits, ".sock": no sign, no space, no other character.
    constexpr std::string_view kSuffix = ".sock";
    if (name.size() <= kSuffix.size() || name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0)
        return 0;
    const std::string_view stem(name.data(), name.size() - kSuffix.size());
    const size_t dash = stem.find('-');
    auto digits = [](std::string_view part) {
        return !part.empty() && part.size() <= 10 &&
               std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (dash == std::string_view::npos || !digits(stem.substr(0, dash)) || !digits(stem.substr(dash + 1))) return 0;
    const unsigned long pid = std::stoul(std::string(stem.substr(dash + 1)));
    const unsigned long uid = std::stoul(std::string(stem.substr(0, dash)));
    if (pid == 0 || pid >= (1UL << 22) || uid > 0xFFFFFFFEUL) return 0;
    if (owner) *owner = static_cast<uid_t>(uid);
    return static_cast<pid_t>(pid);
}

int shared_listener() {
    static int fd = [] {
        if (!places::system_mode()) return -1;
        const std::string folder = shared_directory();
        struct stat st{};
        if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || access(folder.c_str(), W_OK | X_OK) != 0)
            return -1;
        const std::string path = own_socket_path();
        sockaddr_un address;
        if (!fill_address(path, address)) return -1;
        int s = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (s < 0) return -1;
        // The sender's credentials come with every packet.
        const int on = 1;
        setsockopt(s, SOL_SOCKET, SO_PASSCRED, &on, sizeof on);
        unlink(path.c_str());  // an ended process of this user and number left it
        if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || chmod(path.c_str(), 0600) != 0) {
            unlink(path.c_str());
            close(s);
            return -1;
        }
        bound_path = path;
        std::atexit([] { unlink(bound_path.c_str()); });
        return s;
    }();
    return fd;
}

std::optional<Packet> receive_shared(int fd) {
    uint8_t buffer[kMaxPacketSize + 1];
    iovec io{buffer, sizeof buffer};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    msghdr message{};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t got = recvmsg(fd, &message, MSG_CMSG_CLOEXEC);
    if (got <= 0 || (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC))) return std::nullopt;
    const ucred* sender = nullptr;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c))
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS && c->cmsg_len == CMSG_LEN(sizeof(ucred)))
            sender = reinterpret_cast<const ucred*>(CMSG_DATA(c));
    if (!sender || (sender->uid != 0 && sender->uid != getuid())) return std::nullopt;
    auto packet = decode_packet(buffer, static_cast<size_t>(got));
    if (!packet || packet->request != Request::kPost || packet->message != kSettingChange || !packet->has_text)
        return std::nullopt;
    return packet;
}

int broadcast_shared(const std::u16string& section) {
    Packet packet;
    packet.request = Request::kPost;
    packet.message = kSettingChange;
    packet.has_text = true;
    packet.text = section;
    const std::vector<uint8_t> bytes = encode_packet(packet);
    const std::string folder = shared_directory();
    DIR* dir = opendir(folder.c_str());
    if (!dir) return 0;
    int sender = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int reached = 0;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        uid_t owner = 0;
        const pid_t pid = shared_socket_pid(name, &owner);
        if (!pid) continue;
        const std::string path = folder + "/" + name;
        if (!alive(pid)) {
            unlink(path.c_str());
            continue;
        }
        const int entry_fd = open_entry(path, owner);
        if (entry_fd < 0) continue;
        // Sent through the opened entry, so a swap after the check is not followed.
        sockaddr_un address;
        const bool addressed = fill_address("/proc/self/fd/" + std::to_string(entry_fd), address);
        const ssize_t sent = sender >= 0 && addressed
                                 ? sendto(sender, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT,
                                          reinterpret_cast<sockaddr*>(&address), sizeof address)
                                 : -1;
        const int send_error = errno;
        close(entry_fd);
        if (sent == static_cast<ssize_t>(bytes.size()))
            ++reached;
        else if (send_error == ECONNREFUSED)
            unlink(path.c_str());  // nobody listens on it any more
    }
    if (sender >= 0) close(sender);
    closedir(dir);
    return reached;
}

}  // namespace qor::windir
