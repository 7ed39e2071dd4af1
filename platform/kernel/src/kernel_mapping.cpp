// File mappings: named shared memory backed by the namespace folder,
// unnamed shared memory, and read-only views of ordinary files.
#include "kernel_file.h"
#include "qor/guard.h"
#include "named_region.h"
#include "qor/kernel.h"
#include "object_names.h"

#include <cerrno>
#include <map>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qor::kernel {
namespace {

struct FdHolder {
    int fd;
    explicit FdHolder(int f) : fd(f) {}
    ~FdHolder() {
        if (fd >= 0) close(fd);
    }
    FdHolder(const FdHolder&) = delete;
    FdHolder& operator=(const FdHolder&) = delete;
};

class MappingObject final : public Object {
public:
    MappingObject(std::shared_ptr<void> keepalive, int fd, uint64_t base, uint64_t size, bool writable)
        : Object(ObjectType::Mapping), keepalive_(std::move(keepalive)), fd_(fd), base_(base), size_(size),
          writable_(writable) {}

    void* map_view(DWORD access, uint64_t offset, SIZE_T bytes);

private:
    std::shared_ptr<void> keepalive_;
    int fd_;
    uint64_t base_;  // where the caller's bytes start in the file
    uint64_t size_;
    bool writable_;
};

struct View {
    size_t length;
    std::shared_ptr<void> keepalive;
};

struct ViewTable {
    std::mutex lock;
    std::map<uintptr_t, View> views;
};

ViewTable& views() {
    static ViewTable* t = new ViewTable;
    return *t;
}

bool wants_write(DWORD access) { return (access & FILE_MAP_WRITE) != 0 || access == DWORD(FILE_MAP_ALL_ACCESS); }

void* MappingObject::map_view(DWORD access, uint64_t offset, SIZE_T bytes) {
    bool write = wants_write(access);
    if (write && !writable_) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    long page = sysconf(_SC_PAGESIZE);
    if (offset % uint64_t(page) != 0 || offset >= size_) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    uint64_t length = bytes ? bytes : size_ - offset;
    if (length > size_ - offset) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    void* p = mmap(nullptr, size_t(length), write ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd_,
                   off_t(base_ + offset));
    if (p == MAP_FAILED) {
        SetLastError(errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_ACCESS_DENIED);
        return nullptr;
    }
    auto& t = views();
    std::lock_guard guard(t.lock);
    t.views[reinterpret_cast<uintptr_t>(p)] = View{size_t(length), keepalive_};
    return p;
}

HANDLE create_named_mapping(const std::string& name, uint64_t size, bool writable) {
    auto r = open_named(name, NamedKind::Mapping, size, true, nullptr);
    if (!r.region) {
        SetLastError(r.error);
        return nullptr;
    }
    int fd = r.region->fd();
    uint64_t payload = r.region->payload_size();
    HANDLE h = insert_handle(
        std::make_shared<MappingObject>(r.region, fd, NamedRegion::kPayloadOffset, payload, writable));
    SetLastError(r.existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

HANDLE create_unnamed_mapping(uint64_t size, bool writable) {
    int fd = memfd_create("qor-mapping", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, off_t(size)) != 0) {
        if (fd >= 0) close(fd);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto holder = std::make_shared<FdHolder>(fd);
    SetLastError(ERROR_SUCCESS);
    return insert_handle(std::make_shared<MappingObject>(holder, fd, 0, size, writable));
}

HANDLE create_file_mapping(HANDLE file, uint64_t size, bool writable) {
    auto f = lookup_as<FileObject>(file, ObjectType::File);
    if (!f) return nullptr;
    if (writable && !f->writable()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    struct stat st{};
    if (fstat(f->fd(), &st) != 0) {
        SetLastError(file_error_from_errno(errno));
        return nullptr;
    }
    uint64_t file_size = uint64_t(st.st_size);
    if (size == 0) size = file_size;
    if (size == 0) {  // an empty file cannot be mapped
        SetLastError(ERROR_FILE_INVALID);
        return nullptr;
    }
    if (size > file_size && (!writable || ftruncate(f->fd(), off_t(size)) != 0)) {
        SetLastError(writable ? ERROR_DISK_FULL : ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    int fd = dup(f->fd());
    if (fd < 0) {
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return nullptr;
    }
    auto holder = std::make_shared<FdHolder>(fd);
    SetLastError(ERROR_SUCCESS);
    return insert_handle(std::make_shared<MappingObject>(holder, fd, 0, size, writable));
}

HANDLE create_mapping(HANDLE file, DWORD protect, DWORD size_high, DWORD size_low,
                      const std::optional<std::string>& name) {
    bool writable = (protect & 0xFF) == PAGE_READWRITE;
    if ((protect & 0xFF) != PAGE_READWRITE && (protect & 0xFF) != PAGE_READONLY) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    uint64_t size = (uint64_t(size_high) << 32) | size_low;
    if (file != INVALID_HANDLE_VALUE && file != nullptr) return create_file_mapping(file, size, writable);
    if (size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return name ? create_named_mapping(*name, size, writable) : create_unnamed_mapping(size, writable);
}

HANDLE open_mapping(DWORD access, const std::string& name) {
    auto r = open_named(name, NamedKind::Mapping, 0, false, nullptr);
    if (!r.region) {
        SetLastError(r.error);
        return nullptr;
    }
    int fd = r.region->fd();
    uint64_t payload = r.region->payload_size();
    return insert_handle(std::make_shared<MappingObject>(r.region, fd, NamedRegion::kPayloadOffset, payload,
                                                         wants_write(access)));
}

}  // namespace
}  // namespace qor::kernel

using namespace qor::kernel;

extern "C" QORAPI HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD size_high,
                                            DWORD size_low, LPCSTR name) {
    return qor::guarded(static_cast<HANDLE>(nullptr), [&]() -> HANDLE {
        return create_mapping(file, protect, size_high, size_low, object_name(name));
    });
}

extern "C" QORAPI HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD size_high,
                                            DWORD size_low, LPCWSTR name) {
    return qor::guarded(static_cast<HANDLE>(nullptr), [&]() -> HANDLE {
        return create_mapping(file, protect, size_high, size_low, object_name(name));
    });
}

extern "C" QORAPI HANDLE OpenFileMappingA(DWORD access, BOOL, LPCSTR name) {
    return qor::guarded(static_cast<HANDLE>(nullptr), [&]() -> HANDLE {
        return with_required_name(name, HANDLE(nullptr), [&](const std::string& n) { return open_mapping(access, n); });
    });
}

extern "C" QORAPI HANDLE OpenFileMappingW(DWORD access, BOOL, LPCWSTR name) {
    return qor::guarded(static_cast<HANDLE>(nullptr), [&]() -> HANDLE {
        return with_required_name(name, HANDLE(nullptr), [&](const std::string& n) { return open_mapping(access, n); });
    });
}

extern "C" QORAPI LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offset_high, DWORD offset_low,
                                       SIZE_T bytes) {
    return qor::guarded(static_cast<LPVOID>(nullptr), [&]() -> LPVOID {
        auto m = lookup_as<MappingObject>(mapping, ObjectType::Mapping);
        if (!m) return nullptr;
        return m->map_view(access, (uint64_t(offset_high) << 32) | offset_low, bytes);
    });
}

extern "C" QORAPI BOOL UnmapViewOfFile(LPCVOID address) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        View view;
        {
            auto& t = views();
            std::lock_guard guard(t.lock);
            auto it = t.views.find(reinterpret_cast<uintptr_t>(address));
            if (it == t.views.end()) {
                SetLastError(ERROR_INVALID_ADDRESS);
                return FALSE;
            }
            view = std::move(it->second);
            t.views.erase(it);
        }
        munmap(const_cast<void*>(address), view.length);
        return TRUE;
    });
}
