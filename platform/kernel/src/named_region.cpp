#include "named_region.h"

#include "qor/support/places.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace qor::kernel {
namespace {

constexpr uint32_t kMagic = 0x4B524F51;  // "QORK"
constexpr size_t kHeaderPage = NamedRegion::kPayloadOffset;

struct FileHeader {
    uint32_t magic;
    uint32_t kind;
    uint64_t payload_size;
};
static_assert(sizeof(FileHeader) == 16);
static_assert(offsetof(FileHeader, payload_size) == 8);
static_assert(sizeof(FileHeader) <= NamedRegion::kStateOffset);

bool range_lock(int fd, short type, off_t start, bool wait) {
    struct flock fl{};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = start;
    fl.l_len = 1;
    for (;;) {
        if (fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) == 0) return true;
        if (errno != EINTR) return false;
    }
}

constexpr off_t kGateByte = 0;
constexpr off_t kLiveByte = 1;

// "Global\" and "Local\" name one namespace here; every other byte outside a
// safe set is escaped so any name maps to one file name.
std::string file_name_for(const std::string& name) {
    std::string n = name;
    for (const char* prefix : {"Global\\", "Local\\"}) {
        if (n.rfind(prefix, 0) == 0) {
            n = n.substr(std::strlen(prefix));
            break;
        }
    }
    static const char* hex = "0123456789ABCDEF";
    std::string out = "obj.";
    for (unsigned char c : n) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
            c == '-' || c == '.') {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    if (out.size() > 240) out.resize(240);  // stays within NAME_MAX
    return out;
}

struct ProcessTable {
    std::recursive_mutex lock;
    std::unordered_map<std::string, std::weak_ptr<NamedRegion>> regions;
};

ProcessTable& process_table() {
    static ProcessTable* t = new ProcessTable;
    return *t;
}

DWORD error_from_errno(int e) {
    switch (e) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case EACCES:
        case EPERM: return ERROR_ACCESS_DENIED;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case ENOSPC: return ERROR_DISK_FULL;
        case ENAMETOOLONG: return ERROR_INVALID_NAME;
        default: return ERROR_GEN_FAILURE;
    }
}

bool same_file(int fd, const std::string& path) {
    struct stat a{}, b{};
    if (fstat(fd, &a) != 0 || stat(path.c_str(), &b) != 0) return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The creator's umask may have taken the group's bits; in the shared
// namespace every member opens what another created.
void share_with_group(int fd) {
    struct stat st{};
    unsigned mode = places::object_file_mode();
    if (fstat(fd, &st) == 0 && st.st_uid == geteuid() && (st.st_mode & 07777) != mode) fchmod(fd, mode);
}

}  // namespace

std::string object_folder() { return places::runtime_dir() + "/objects"; }

struct NamedOpen {
    static NamedOpenResult run(const std::string& name, NamedKind kind, uint64_t payload_size, bool create,
                               const std::function<void(void*)>& init) {
        NamedOpenResult result;
        std::string folder = object_folder();
        if (!places::ensure_dir(folder, places::object_folder_mode())) {
            result.error = ERROR_PATH_NOT_FOUND;
            return result;
        }
        std::string key = file_name_for(name);
        std::string path = folder + "/" + key;

        auto& table = process_table();
        std::lock_guard guard(table.lock);
        if (auto it = table.regions.find(key); it != table.regions.end()) {
            if (auto existing = it->second.lock()) {
                if (existing->kind_ != kind) {
                    result.error = ERROR_INVALID_HANDLE;
                    return result;
                }
                result.region = std::move(existing);
                result.existed = true;
                return result;
            }
            table.regions.erase(it);
        }

        for (;;) {
            int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), places::object_file_mode());
            if (fd < 0) {
                result.error = error_from_errno(errno);
                return result;
            }
            share_with_group(fd);
            if (!range_lock(fd, F_WRLCK, kGateByte, true)) {
                result.error = error_from_errno(errno);
                close(fd);
                return result;
            }
            if (!same_file(fd, path)) {  // unlinked by a last close meanwhile
                close(fd);
                if (!create) {
                    result.error = ERROR_FILE_NOT_FOUND;
                    return result;
                }
                continue;
            }
            bool fresh = range_lock(fd, F_WRLCK, kLiveByte, false);
            auto region = std::shared_ptr<NamedRegion>(new NamedRegion);
            region->key_ = key;
            region->path_ = path;
            region->fd_ = fd;
            region->kind_ = kind;
            DWORD error = fresh ? initialise(*region, kind, payload_size, create, init)
                                : attach(*region, kind);
            if (error == ERROR_SUCCESS && fresh) {
                // Downgrade to the shared liveness lock every holder keeps.
                range_lock(fd, F_RDLCK, kLiveByte, false);
            } else if (error == ERROR_SUCCESS) {
                range_lock(fd, F_RDLCK, kLiveByte, false);
            }
            range_lock(fd, F_UNLCK, kGateByte, false);
            if (error != ERROR_SUCCESS) {
                if (region->header_) munmap(region->header_, kHeaderPage);
                region->header_ = nullptr;
                region->fd_ = -1;
                close(fd);
                result.error = error;
                return result;
            }
            table.regions[key] = region;
            result.region = std::move(region);
            result.existed = !fresh;
            return result;
        }
    }

    // Called with the gate and the exclusive liveness lock held: nobody else
    // has the object, whatever the file holds.
    static DWORD initialise(NamedRegion& r, NamedKind kind, uint64_t payload_size, bool create,
                            const std::function<void(void*)>& init) {
        if (!create) {
            unlink(r.path_.c_str());
            return ERROR_FILE_NOT_FOUND;
        }
        uint64_t total = kHeaderPage + (kind == NamedKind::Mapping ? payload_size : 0);
        if (ftruncate(r.fd_, 0) != 0 || ftruncate(r.fd_, off_t(total)) != 0) return error_from_errno(errno);
        void* p = mmap(nullptr, kHeaderPage, PROT_READ | PROT_WRITE, MAP_SHARED, r.fd_, 0);
        if (p == MAP_FAILED) return error_from_errno(errno);
        r.header_ = p;
        r.payload_size_ = kind == NamedKind::Mapping ? payload_size : 0;
        if (init) init(r.state());
        auto* h = static_cast<FileHeader*>(p);
        h->kind = uint32_t(kind);
        h->payload_size = r.payload_size_;
        __atomic_store_n(&h->magic, kMagic, __ATOMIC_RELEASE);
        return ERROR_SUCCESS;
    }

    static DWORD attach(NamedRegion& r, NamedKind kind) {
        struct stat st{};
        if (fstat(r.fd_, &st) != 0) return error_from_errno(errno);
        if (uint64_t(st.st_size) < kHeaderPage) return ERROR_INVALID_HANDLE;
        void* p = mmap(nullptr, kHeaderPage, PROT_READ | PROT_WRITE, MAP_SHARED, r.fd_, 0);
        if (p == MAP_FAILED) return error_from_errno(errno);
        r.header_ = p;
        auto* h = static_cast<FileHeader*>(p);
        if (__atomic_load_n(&h->magic, __ATOMIC_ACQUIRE) != kMagic || h->kind != uint32_t(kind))
            return ERROR_INVALID_HANDLE;
        uint64_t payload = h->payload_size;
        if (kind == NamedKind::Mapping && uint64_t(st.st_size) - kHeaderPage < payload) return ERROR_INVALID_HANDLE;
        r.payload_size_ = kind == NamedKind::Mapping ? payload : 0;
        return ERROR_SUCCESS;
    }
};

NamedOpenResult open_named(const std::string& name, NamedKind kind, uint64_t payload_size, bool create,
                           const std::function<void(void*)>& init) {
    return NamedOpen::run(name, kind, payload_size, create, init);
}

NamedRegion::~NamedRegion() {
    if (fd_ < 0) return;
    {
        auto& table = process_table();
        std::lock_guard guard(table.lock);
        auto it = table.regions.find(key_);
        if (it != table.regions.end() && it->second.expired()) table.regions.erase(it);
        // Last holder anywhere removes the file, under the gate so that no
        // opener sees it half gone.
        if (range_lock(fd_, F_WRLCK, kGateByte, true)) {
            range_lock(fd_, F_UNLCK, kLiveByte, false);
            if (range_lock(fd_, F_WRLCK, kLiveByte, false) && same_file(fd_, path_)) unlink(path_.c_str());
        }
    }
    if (header_ && !keep_state_mapped_.load()) munmap(header_, kHeaderPage);
    close(fd_);  // drops every lock of this open file description
}

}  // namespace qor::kernel
