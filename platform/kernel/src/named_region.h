// Backing store of named kernel objects: one file per name in the per-user
// namespace folder, mapped once per process. A process that holds a handle
// keeps a shared lock on byte 1 of the file; the kernel drops it when the
// process dies, so a name whose byte-1 lock nobody holds is free, whatever
// was left in the folder. Byte 0 is the gate that serialises create, open and
// the last close.
#pragma once

#include "qor/base.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace qor::kernel {

enum class NamedKind : uint32_t { Mutex = 1, Event = 2, Mapping = 3 };

class NamedRegion {
public:
    static constexpr size_t kStateOffset = 64;
    static constexpr size_t kPayloadOffset = 4096;

    NamedRegion(const NamedRegion&) = delete;
    NamedRegion& operator=(const NamedRegion&) = delete;
    ~NamedRegion();

    NamedKind kind() const { return kind_; }
    // Type-specific shared state (mutex or event word), inside the first page.
    void* state() const { return static_cast<char*>(header_) + kStateOffset; }
    // File mappings: the caller's bytes start at kPayloadOffset of the file.
    int fd() const { return fd_; }
    uint64_t payload_size() const { return payload_size_; }
    // The state page stays mapped after the last close, which still frees
    // the name: a mutex a live thread owns is on that thread's robust list,
    // and the kernel writes into it when the thread ends.
    void keep_state_mapped() { keep_state_mapped_.store(true); }

private:
    friend struct NamedOpen;
    NamedRegion() = default;
    std::string key_;
    std::string path_;
    int fd_ = -1;
    void* header_ = nullptr;
    NamedKind kind_ = NamedKind::Mutex;
    uint64_t payload_size_ = 0;
    std::atomic<bool> keep_state_mapped_{false};
};

struct NamedOpenResult {
    std::shared_ptr<NamedRegion> region;
    bool existed = false;
    DWORD error = ERROR_SUCCESS;
};

// Opens the object `name` (UTF-8) of `kind`. With `create`, makes it when no
// live process holds it, running `init` on the fresh zeroed state; without,
// fails with ERROR_FILE_NOT_FOUND. A name held by another kind fails with
// ERROR_INVALID_HANDLE. `payload_size` is the size of a new mapping.
NamedOpenResult open_named(const std::string& name, NamedKind kind, uint64_t payload_size,
                           bool create, const std::function<void(void* state)>& init);

// The folder that holds the objects of this user's namespace.
std::string object_folder();

}  // namespace qor::kernel
