#include "registry_hive.h"

#include "qor/support/places.h"
#include "registry_format.h"
#include "registry_limits.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <memory>

namespace qor::registry {
namespace {

LONG error_from_errno(int err, LONG fallback) {
    switch (err) {
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    default: return fallback;
    }
}

bool same_file(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// A file or folder nobody may write counts as read-only even for a user the
// kernel would let through (root), as the platform's read-only attribute does.
bool is_read_only(const std::string& path, const struct stat& st, int access_mode) {
    if ((st.st_mode & 0222) == 0) return true;
    return access(path.c_str(), access_mode) != 0 && (errno == EACCES || errno == EPERM || errno == EROFS);
}

std::string parent_of(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool write_all(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

// Reads a whole file, refusing more than the hive limit.
bool read_all(int fd, std::string& text, bool& too_large) {
    text.clear();
    too_large = false;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (text.size() + size_t(n) > kMaxHiveFileBytes) {
            too_large = true;
            return true;
        }
        text.append(buffer, size_t(n));
    }
}

class FileLock {
public:
    // Readable like the hive, so every user who may write the hive can lock it.
    FileLock(const std::string& path, unsigned mode) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, mode);
        if (fd_ < 0) fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) {
            error_ = error_from_errno(errno, ERROR_CANTOPEN);
            return;
        }
        while (flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                error_ = error_from_errno(errno, ERROR_CANTWRITE);
                return;
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);  // closing drops the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    LONG error() const { return error_; }

private:
    int fd_ = -1;
    LONG error_ = ERROR_SUCCESS;
};

}  // namespace

Hive::Hive(std::string root_name, std::string path, unsigned folder_mode, unsigned file_mode)
    : root_name_(std::move(root_name)), path_(std::move(path)), folder_mode_(folder_mode), file_mode_(file_mode) {}

Hive::~Hive() { forget(); }

std::string Hive::folder() const { return parent_of(path_); }

bool Hive::ensure_folder() const { return places::ensure_dir(folder(), folder_mode_); }

void Hive::forget() {
    if (held_fd_ >= 0) ::close(held_fd_);
    held_fd_ = -1;
    valid_ = false;
    absent_ = false;
    damage_.clear();
    root_ = Key{};
}

LONG Hive::refresh() {
    struct stat st{};
    if (::stat(path_.c_str(), &st) != 0) {
        if (errno != ENOENT) return error_from_errno(errno, ERROR_CANTREAD);
        if (!(valid_ && absent_)) {
            forget();
            valid_ = absent_ = true;
        }
        return ERROR_SUCCESS;
    }
    if (valid_ && !absent_ && same_file(st, held_))
        return damage_.empty() ? ERROR_SUCCESS : ERROR_BADDB;

    int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return error_from_errno(errno, ERROR_CANTOPEN);
    struct stat opened{};
    std::string text;
    bool too_large = false;
    if (fstat(fd, &opened) != 0 || !read_all(fd, text, too_large)) {
        ::close(fd);
        return ERROR_CANTREAD;
    }
    forget();
    held_fd_ = fd;
    held_ = opened;
    valid_ = true;
    if (too_large)
        damage_ = "file too large";
    else if (!parse_hive(text, root_name_, root_, &damage_) && damage_.empty())
        damage_ = "unreadable";
    return damage_.empty() ? ERROR_SUCCESS : ERROR_BADDB;
}

LONG Hive::read(const std::function<LONG(const Key&)>& reader) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (LONG status = refresh(); status != ERROR_SUCCESS) return status;
    return reader(root_);
}

LONG Hive::check_writable() const {
    struct stat st{};
    if (::stat(path_.c_str(), &st) == 0 && is_read_only(path_, st, W_OK)) return ERROR_ACCESS_DENIED;
    // The file is replaced by a rename, which needs the folder (or the
    // nearest folder that exists, where it will be created) to be writable.
    std::string dir = folder();
    while (::stat(dir.c_str(), &st) != 0) {
        if (errno != ENOENT || dir == "/" || dir == ".") return ERROR_ACCESS_DENIED;
        dir = parent_of(dir);
    }
    if (!S_ISDIR(st.st_mode) || is_read_only(dir, st, W_OK | X_OK)) return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

LONG Hive::write(const std::function<LONG(Key& root, bool& changed)>& writer) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (LONG status = check_writable(); status != ERROR_SUCCESS) return status;
    if (!ensure_folder()) return ERROR_ACCESS_DENIED;
    FileLock lock(path_ + ".lock", file_mode_);
    if (lock.error() != ERROR_SUCCESS) return lock.error();
    if (LONG status = refresh(); status != ERROR_SUCCESS) return status;

    bool changed = false;
    if (LONG status = writer(root_, changed); status != ERROR_SUCCESS || !changed) return status;
    std::string text = serialize_hive(root_, root_name_);
    LONG status = text.size() > kMaxHiveFileBytes ? ERROR_NOT_ENOUGH_MEMORY : replace_file(text);
    // The tree no longer matches the file: read it afresh next time.
    if (status != ERROR_SUCCESS) forget();
    return status;
}

LONG Hive::replace_file(const std::string& text) {
    unsigned mode = file_mode_;
    struct stat current{};
    if (::stat(path_.c_str(), &current) == 0) mode = current.st_mode & 07777;

    const std::string temporary = path_ + ".tmp";
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) return error_from_errno(errno, ERROR_CANTWRITE);
    if (fchmod(fd, mode) != 0 || !write_all(fd, text) || fsync(fd) != 0 ||
        ::rename(temporary.c_str(), path_.c_str()) != 0) {
        LONG status = error_from_errno(errno, ERROR_CANTWRITE);
        ::close(fd);
        ::unlink(temporary.c_str());
        return status;
    }
    int dir = ::open(folder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        ::close(dir);
    }
    struct stat written{};
    if (fstat(fd, &written) != 0) {
        ::close(fd);
        return ERROR_CANTWRITE;
    }
    if (held_fd_ >= 0) ::close(held_fd_);
    held_fd_ = fd;
    held_ = written;
    valid_ = true;
    absent_ = false;
    damage_.clear();
    return ERROR_SUCCESS;
}

uint64_t Hive::last_write_filetime() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!valid_ || absent_) return 0;
    // Seconds between 1601-01-01 and 1970-01-01.
    constexpr uint64_t kEpochDifference = 11644473600ull;
    return (uint64_t(held_.st_mtim.tv_sec) + kEpochDifference) * 10000000ull + uint64_t(held_.st_mtim.tv_nsec) / 100;
}

Hive* hive_for_root(HKEY root) {
    std::string root_name, path;
    unsigned folder_mode = 0700, file_mode = 0600;
    if (root == HKEY_CURRENT_USER) {
        root_name = "HKEY_CURRENT_USER";
        path = places::config_dir() + "/user.reg";
    } else if (root == HKEY_LOCAL_MACHINE) {
        root_name = "HKEY_LOCAL_MACHINE";
        path = places::root() + "/registry/machine.reg";
        folder_mode = 0755;
        file_mode = 0644;
    } else {
        return nullptr;
    }
    // Hives live as long as the process: notification requests keep pointers.
    static auto* mutex = new std::mutex();
    static auto* hives = new std::map<std::string, std::unique_ptr<Hive>>();
    std::lock_guard<std::mutex> guard(*mutex);
    auto& slot = (*hives)[root_name + "|" + path];
    if (!slot) slot = std::make_unique<Hive>(root_name, path, folder_mode, file_mode);
    return slot.get();
}

}  // namespace qor::registry
