// File objects behind the HANDLEs of CreateFile.
#pragma once

#include "handles.h"

#include <string>

namespace qor::kernel {

class FileObject final : public Object {
public:
    FileObject(int fd, bool writable) : Object(ObjectType::File), fd_(fd), writable_(writable) {}
    ~FileObject() override;
    int fd() const { return fd_; }
    bool writable() const { return writable_; }

private:
    int fd_;
    bool writable_;
};

// A platform path (either separator) as a Linux path.
std::string native_path(std::string path);
// The platform's error number for an errno value from file operations.
DWORD file_error_from_errno(int e);

}  // namespace qor::kernel
