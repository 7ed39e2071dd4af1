// One hive file, cached per process. Reads use the cached tree until the
// file's identity changes; writes take an exclusive lock shared by every
// process, re-read, apply the change, and replace the file atomically and
// durably (temporary file, flush, rename, flush the folder).
#pragma once

#include "registry_tree.h"

#include "qor/registry.h"

#include <sys/stat.h>

#include <functional>
#include <mutex>
#include <string>

namespace qor::registry {

class Hive {
public:
    // `root_name` is the section prefix ("HKEY_CURRENT_USER"); `folder_mode`
    // is used when the hive's folder has to be created.
    Hive(std::string root_name, std::string path, unsigned folder_mode, unsigned file_mode);
    ~Hive();
    Hive(const Hive&) = delete;
    Hive& operator=(const Hive&) = delete;

    const std::string& root_name() const { return root_name_; }
    const std::string& path() const { return path_; }
    std::string folder() const;

    // Calls `reader` with the current tree. A damaged file gives ERROR_BADDB.
    LONG read(const std::function<LONG(const Key&)>& reader);

    // Calls `writer` with the current tree under the cross-process lock; when
    // it succeeds and sets `changed`, the file is replaced. A writer that
    // fails must leave the tree as it found it.
    LONG write(const std::function<LONG(Key& root, bool& changed)>& writer);

    // Creates the hive's folder when missing; false when it cannot be made.
    bool ensure_folder() const;

    // ERROR_ACCESS_DENIED when the hive file or its folder is read-only.
    LONG check_writable() const;

    // The file's last change as a FILETIME count (100 ns units since 1601),
    // 0 when there is no file.
    uint64_t last_write_filetime();

private:
    LONG refresh();
    LONG replace_file(const std::string& text);
    void forget();

    const std::string root_name_;
    const std::string path_;
    const unsigned folder_mode_;
    const unsigned file_mode_;

    std::mutex mutex_;
    Key root_;
    bool valid_ = false;     // root_ reflects the file named by held_
    bool absent_ = false;    // ... which did not exist
    std::string damage_;     // why the held file did not parse; empty when it did
    int held_fd_ = -1;       // keeps the parsed file's inode from being reused
    struct stat held_{};
};

// The hive behind a predefined root (HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE)
// at the places the environment names now; null for any other value.
Hive* hive_for_root(HKEY root);

}  // namespace qor::registry
