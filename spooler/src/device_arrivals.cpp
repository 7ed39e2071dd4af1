#include "device_arrivals.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qor::spooler {
namespace {

bool exists(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0;
}

std::string parent_of(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

// A new entry, one renamed in (a stable link is made that way), or the
// device manager changing a node's owner and mode after making it.
constexpr uint32_t kEvents = IN_CREATE | IN_MOVED_TO | IN_ATTRIB;

}  // namespace

DeviceArrivals::DeviceArrivals(Arrived arrived) : arrived_(std::move(arrived)) {}

DeviceArrivals::~DeviceArrivals() { stop(); }

bool DeviceArrivals::arm(const std::string& path) {
    std::string folder = parent_of(path);
    while (!exists(folder) && folder != "/") folder = parent_of(folder);
    int wd = inotify_add_watch(inotify_, folder.c_str(), kEvents | IN_ONLYDIR);
    if (wd >= 0) watches_[wd] = folder;
    return exists(path);
}

bool DeviceArrivals::expect(const std::string& path) {
    if (path.empty() || path[0] != '/' || exists(path)) return false;
    std::lock_guard lock(mutex_);
    if (stopping_) return false;
    if (inotify_ < 0) {
        inotify_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        if (inotify_ < 0) return false;
        if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
            close(inotify_);
            inotify_ = -1;
            return false;
        }
        thread_ = std::thread([this] { run(); });
    }
    // Armed before the second look, so an arrival in between is not missed.
    if (arm(path)) return false;
    expected_.insert(path);
    return true;
}

void DeviceArrivals::run() {
    std::vector<char> buffer(16 * 1024);
    for (;;) {
        pollfd fds[2] = {{inotify_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (fds[1].revents) return;
        // Which entry moved does not matter: every awaited name is looked
        // at again, and the watches follow folders that were made.
        while (read(inotify_, buffer.data(), buffer.size()) > 0) {}
        std::vector<std::string> back;
        {
            std::lock_guard lock(mutex_);
            for (auto it = expected_.begin(); it != expected_.end();) {
                if (arm(*it)) {
                    back.push_back(*it);
                    it = expected_.erase(it);
                } else {
                    ++it;
                }
            }
        }
        for (const auto& path : back) arrived_(path);
    }
}

void DeviceArrivals::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        if (wake_[1] >= 0) {
            char c = 1;
            ssize_t n = write(wake_[1], &c, 1);
            (void)n;
        }
    }
    if (thread_.joinable()) thread_.join();
    std::lock_guard lock(mutex_);
    for (int fd : {inotify_, wake_[0], wake_[1]})
        if (fd >= 0) close(fd);
    inotify_ = wake_[0] = wake_[1] = -1;
    watches_.clear();
    expected_.clear();
}

}  // namespace qor::spooler
