// Ordinary files: CreateFile, ReadFile, WriteFile and friends.
#include "kernel_file.h"
#include "qor/guard.h"

#include "qor/kernel.h"
#include "object_names.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qor::kernel {

FileObject::~FileObject() {
    if (fd_ >= 0) close(fd_);
}

std::string native_path(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

DWORD file_error_from_errno(int e) {
    switch (e) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS: return ERROR_ACCESS_DENIED;
        case EEXIST: return ERROR_FILE_EXISTS;
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        case ENOSPC: return ERROR_DISK_FULL;
        case ENAMETOOLONG: return ERROR_INVALID_NAME;
        case EISDIR: return ERROR_ACCESS_DENIED;
        case EIO: return ERROR_IO_DEVICE;
        case ENODEV:
        case ENXIO: return ERROR_DEV_NOT_EXIST;
        default: return ERROR_GEN_FAILURE;
    }
}

}  // namespace qor::kernel

using namespace qor::kernel;

namespace {

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

HANDLE create_file(const std::string& path, DWORD access, DWORD disposition) {
    int flags = O_CLOEXEC;
    bool want_read = access & GENERIC_READ;
    bool want_write = access & GENERIC_WRITE;
    flags |= want_write ? (want_read ? O_RDWR : O_WRONLY) : O_RDONLY;
    switch (disposition) {
        case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
        case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
        case OPEN_EXISTING: break;
        case OPEN_ALWAYS: flags |= O_CREAT; break;
        case TRUNCATE_EXISTING: flags |= O_TRUNC; break;
        default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
    }
    std::string native = native_path(path);
    bool existed = exists(native);
    int fd = open(native.c_str(), flags, 0644);
    if (fd < 0) {
        SetLastError(file_error_from_errno(errno));
        return INVALID_HANDLE_VALUE;
    }
    struct stat st{};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE h = insert_handle(std::make_shared<FileObject>(fd, want_write));
    // The platform reports an existing file replaced or opened this way.
    bool reports_existing = (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) && existed;
    SetLastError(reports_existing ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

std::shared_ptr<FileObject> lookup_file(HANDLE h) { return lookup_as<FileObject>(h, ObjectType::File); }

}  // namespace

extern "C" QORAPI HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                                     DWORD, HANDLE) {
    return qor::guarded(static_cast<HANDLE>(nullptr), [&]() -> HANDLE {
        return with_required_name(path, INVALID_HANDLE_VALUE,
                                  [&](const std::string& p) { return create_file(p, access, disposition); });
    });
}

extern "C" QORAPI HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                                     DWORD, HANDLE) {
    return qor::guarded(static_cast<HANDLE>(nullptr), [&]() -> HANDLE {
        return with_required_name(path, INVALID_HANDLE_VALUE,
                                  [&](const std::string& p) { return create_file(p, access, disposition); });
    });
}

extern "C" QORAPI BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD to_read, LPDWORD read_count, LPVOID) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        auto f = lookup_file(file);
        if (!f) return FALSE;
        if (!buffer && to_read) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        DWORD done = 0;
        while (done < to_read) {
            ssize_t n = ::read(f->fd(), static_cast<char*>(buffer) + done, to_read - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                if (read_count) *read_count = done;
                SetLastError(file_error_from_errno(errno));
                return FALSE;
            }
            if (n == 0) break;
            done += DWORD(n);
        }
        if (read_count) *read_count = done;
        return TRUE;
    });
}

extern "C" QORAPI BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD to_write, LPDWORD written, LPVOID) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        auto f = lookup_file(file);
        if (!f) return FALSE;
        if (!f->writable()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        DWORD done = 0;
        while (done < to_write) {
            ssize_t n = ::write(f->fd(), static_cast<const char*>(buffer) + done, to_write - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (written) *written = done;
                SetLastError(n < 0 ? file_error_from_errno(errno) : ERROR_WRITE_FAULT);
                return FALSE;
            }
            done += DWORD(n);
        }
        if (written) *written = done;
        return TRUE;
    });
}

extern "C" QORAPI DWORD GetFileSize(HANDLE file, LPDWORD size_high) {
    return qor::guarded(DWORD(INVALID_FILE_SIZE), [&]() -> DWORD {
        auto f = lookup_file(file);
        if (!f) return INVALID_FILE_SIZE;
        struct stat st{};
        if (fstat(f->fd(), &st) != 0) {
            SetLastError(file_error_from_errno(errno));
            return INVALID_FILE_SIZE;
        }
        uint64_t size = uint64_t(st.st_size);
        if (size_high) *size_high = DWORD(size >> 32);
        SetLastError(ERROR_SUCCESS);
        return DWORD(size);
    });
}

extern "C" QORAPI DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD method) {
    return qor::guarded(DWORD(INVALID_SET_FILE_POINTER), [&]() -> DWORD {
        auto f = lookup_file(file);
        if (!f) return INVALID_SET_FILE_POINTER;
        int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : method == FILE_END ? SEEK_END : -1;
        if (whence < 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_SET_FILE_POINTER;
        }
        int64_t offset = distance_high ? int64_t((uint64_t(uint32_t(*distance_high)) << 32) | uint32_t(distance)) : distance;
        off_t r = lseek(f->fd(), off_t(offset), whence);
        if (r < 0) {
            SetLastError(ERROR_NEGATIVE_SEEK);
            return INVALID_SET_FILE_POINTER;
        }
        if (distance_high) *distance_high = LONG(uint64_t(r) >> 32);
        SetLastError(ERROR_SUCCESS);
        return DWORD(uint64_t(r));
    });
}

namespace {
BOOL delete_file(const std::string& path) {
    if (unlink(native_path(path).c_str()) != 0) {
        SetLastError(file_error_from_errno(errno));
        return FALSE;
    }
    return TRUE;
}
}  // namespace

extern "C" QORAPI BOOL DeleteFileA(LPCSTR path) { return with_required_name(path, BOOL(FALSE), delete_file); }

extern "C" QORAPI BOOL DeleteFileW(LPCWSTR path) { return with_required_name(path, BOOL(FALSE), delete_file); }
