#include "registry_notify.h"

#include "handles.h"

#include "qor/kernel.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <thread>

namespace qor::registry {
namespace {

struct Waiter {
    std::mutex mutex;
    std::condition_variable done;
    bool fired = false;

    void fire() {
        std::lock_guard<std::mutex> guard(mutex);
        fired = true;
        done.notify_all();
    }
    void wait() {
        std::unique_lock<std::mutex> lock(mutex);
        done.wait(lock, [this] { return fired; });
    }
};

struct Armed {
    ChangeRequest request;
    std::string state;  // describe_for_change() when armed
    HANDLE event = nullptr;
    std::shared_ptr<Waiter> waiter;

    void fire() const {
        if (event) SetEvent(event);
        if (waiter) waiter->fire();
    }
};

constexpr uint32_t kFolderEvents = IN_MOVED_TO | IN_MOVED_FROM | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE |
                                   IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

struct FolderEvent {
    int watch;
    uint32_t mask;
    std::string name;
};

void append_u32(std::string& out, uint32_t n) { out.append(reinterpret_cast<const char*>(&n), sizeof n); }

void append_bytes(std::string& out, const void* data, size_t size) {
    append_u32(out, uint32_t(size));
    out.append(static_cast<const char*>(data), size);
}

void append_state(std::string& out, const Key& key, bool subtree, DWORD filter) {
    if (filter & REG_NOTIFY_CHANGE_LAST_SET) {
        append_u32(out, uint32_t(key.values.size()));
        for (const auto& v : key.values) {
            append_bytes(out, v.name.data(), v.name.size() * sizeof(char16_t));
            append_u32(out, v.type);
            append_bytes(out, v.data.data(), v.data.size());
        }
    }
    if (filter & REG_NOTIFY_CHANGE_NAME) {
        append_u32(out, uint32_t(key.subkeys.size()));
        for (const auto& sub : key.subkeys) append_bytes(out, sub.name.data(), sub.name.size() * sizeof(char16_t));
    }
    if (subtree)
        for (const auto& sub : key.subkeys) {
            out.push_back('{');
            append_state(out, sub, true, filter);
            out.push_back('}');
        }
}

// What a request watches, as comparable text: "D" for a deleted key.
std::string describe_for_change(const Key* key, bool subtree, DWORD filter) {
    if (!key) return "D";
    std::string state = "K";
    append_state(state, *key, subtree, filter);
    return state;
}

// The current state of what `request` watches; a hive that cannot be
// read counts as a change of its own kind.
std::string current_state(const ChangeRequest& request) {
    std::string state;
    LONG status = request.target.hive->read([&](const Key& root) {
        state = describe_for_change(root.find(request.target.path), request.subtree, request.filter);
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) state = "E" + std::to_string(status);
    return state;
}

class Watcher {
public:
    Watcher() : owner_(getpid()) {
        inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (inotify_ >= 0 && wake_ >= 0) thread_ = std::make_unique<std::thread>([this] { run(); });
    }

    ~Watcher() {
        if (getpid() != owner_) {
            // A forked child has the memory of the thread but not the thread.
            (void)thread_.release();
            return;
        }
        if (thread_) {
            uint64_t one = 1;
            while (::write(wake_, &one, sizeof one) < 0 && errno == EINTR) {
            }
            thread_->join();
        }
        for (auto& armed : armed_)
            if (armed.waiter) armed.waiter->fire();
        if (inotify_ >= 0) ::close(inotify_);
        if (wake_ >= 0) ::close(wake_);
    }

    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    LONG arm(Armed armed) {
        if (!thread_) return ERROR_NO_SYSTEM_RESOURCES;
        std::lock_guard<std::mutex> guard(mutex_);
        // The folder is watched before the state is taken, so no change made
        // after the state can go unseen.
        if (LONG status = watch_folder(*armed.request.target.hive); status != ERROR_SUCCESS) return status;
        std::string state;
        LONG status = armed.request.target.hive->read([&](const Key& root) {
            const Key* key = root.find(armed.request.target.path);
            if (!key) return LONG(ERROR_KEY_DELETED);
            state = describe_for_change(key, armed.request.subtree, armed.request.filter);
            return LONG(ERROR_SUCCESS);
        });
        if (status != ERROR_SUCCESS) return status;
        armed.state = std::move(state);
        armed_.push_back(std::move(armed));
        return ERROR_SUCCESS;
    }

    void cancel(HKEY key) {
        std::lock_guard<std::mutex> guard(mutex_);
        std::erase_if(armed_, [&](const Armed& armed) {
            if (armed.request.key != key) return false;
            if (armed.waiter) armed.waiter->fire();
            return true;
        });
    }

private:
    LONG watch_folder(const Hive& hive) {
        const std::string folder = hive.folder();
        if (watch_by_folder_.count(folder)) return ERROR_SUCCESS;
        if (!hive.ensure_folder()) return ERROR_ACCESS_DENIED;
        int watch = inotify_add_watch(inotify_, folder.c_str(), kFolderEvents);
        if (watch < 0) return errno == ENOSPC ? ERROR_NO_SYSTEM_RESOURCES : ERROR_ACCESS_DENIED;
        watch_by_folder_[folder] = watch;
        folder_by_watch_[watch] = folder;
        return ERROR_SUCCESS;
    }

    void run() {
        for (;;) {
            pollfd fds[2] = {{inotify_, POLLIN, 0}, {wake_, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[1].revents) return;
            std::vector<FolderEvent> events = read_events();
            std::lock_guard<std::mutex> guard(mutex_);
            check(events);
        }
    }

    std::vector<FolderEvent> read_events() {
        std::vector<FolderEvent> events;
        alignas(inotify_event) char buffer[16384];
        for (;;) {
            ssize_t n = ::read(inotify_, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return events;
            size_t offset = 0;
            while (offset + sizeof(inotify_event) <= size_t(n)) {
                inotify_event header;
                std::memcpy(&header, buffer + offset, sizeof header);
                size_t total = sizeof header + header.len;
                if (total > size_t(n) - offset) break;
                const char* name = buffer + offset + sizeof header;
                events.push_back({header.wd, header.mask, std::string(name, strnlen(name, header.len))});
                offset += total;
            }
        }
    }

    // mutex_ held.
    void check(const std::vector<FolderEvent>& events) {
        bool everything = false;
        std::set<std::string> changed;
        for (const auto& e : events) {
            if (e.mask & (IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) everything = true;
            auto folder = folder_by_watch_.find(e.watch);
            if (folder == folder_by_watch_.end()) continue;
            if (e.mask & IN_IGNORED) {
                watch_by_folder_.erase(folder->second);
                folder_by_watch_.erase(folder);
            } else if (!e.name.empty()) {
                changed.insert(folder->second + "/" + e.name);
            }
        }
        std::erase_if(armed_, [&](const Armed& armed) {
            if (!everything && !changed.count(armed.request.target.hive->path())) return false;
            if (current_state(armed.request) == armed.state) return false;
            armed.fire();
            return true;
        });
    }

    const pid_t owner_;
    int inotify_ = -1;
    int wake_ = -1;
    std::mutex mutex_;
    std::map<std::string, int> watch_by_folder_;
    std::map<int, std::string> folder_by_watch_;
    std::vector<Armed> armed_;
    std::unique_ptr<std::thread> thread_;
};

std::atomic<bool> watcher_made{false};

Watcher& watcher() {
    static Watcher instance;
    watcher_made.store(true);
    return instance;
}

}  // namespace

LONG notify_async(const ChangeRequest& request, HANDLE event) {
    auto object = kernel::lookup_handle(event);
    if (!object || object->type() != kernel::ObjectType::Event) return ERROR_INVALID_HANDLE;
    Armed armed;
    armed.request = request;
    armed.event = event;
    return watcher().arm(std::move(armed));
}

LONG notify_wait(const ChangeRequest& request) {
    Armed armed;
    armed.request = request;
    armed.waiter = std::make_shared<Waiter>();
    auto waiter = armed.waiter;
    if (LONG status = watcher().arm(std::move(armed)); status != ERROR_SUCCESS) return status;
    waiter->wait();
    return ERROR_SUCCESS;
}

void cancel_notifications(HKEY key) {
    if (watcher_made.load()) watcher().cancel(key);
}

}  // namespace qor::registry
