#include "job_ids.h"

#include "qor/support/places.h"
#include "port_io.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace qor::spooler {
namespace {

constexpr uint32_t kBlock = 64;

uint32_t after(uint32_t id) { return id >= kMaxJobId ? 1 : id + 1; }

// The spool folder itself, beside the jobs' folder.
std::string folder_of_ids() { return places::root() + "/spool"; }

// Writes `text` to `path` so that a crash leaves the old or the new content.
DWORD write_durably(const std::string& path, const std::string& text) {
    std::string temp = path + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return error_from_errno(errno);
    bool ok = write(fd, text.data(), text.size()) == ssize_t(text.size()) && fsync(fd) == 0;
    int e = errno;
    if (close(fd) != 0 && ok) ok = false, e = errno;
    if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
        if (ok) e = errno;
        unlink(temp.c_str());
        return error_from_errno(e);
    }
    int dir = open(folder_of_ids().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return 0;
}

}  // namespace

std::string next_job_id_path() { return folder_of_ids() + "/next-job-id"; }

bool parse_job_id_mark(const char* text, size_t size, uint32_t& id) {
    if (size > 0 && text[size - 1] == '\n') --size;
    if (size == 0 || size > 10) return false;
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + uint64_t(text[i] - '0');
    }
    if (value == 0 || value > kMaxJobId) return false;
    id = uint32_t(value);
    return true;
}

void JobIds::load(uint32_t highest_on_disk) {
    uint32_t mark = 1;
    char text[32];
    int fd = open(next_job_id_path().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ssize_t n = read(fd, text, sizeof text);
        close(fd);
        if (n > 0 && !parse_job_id_mark(text, size_t(n), mark)) mark = 1;
    }
    next_ = mark;
    if (highest_on_disk >= next_) next_ = after(highest_on_disk);
    reserved_ = next_;
}

uint32_t JobIds::next(const std::function<bool(uint32_t)>& in_use, DWORD& error) {
    error = 0;
    uint32_t id = next_;
    for (uint32_t tries = 0; in_use(id); id = after(id))
        if (++tries > kMaxJobId) return error = ERROR_NO_MORE_ITEMS, 0;
    // Reserve a block beyond `id` first, then hand it out; after a wrap-round
    // the reservation starts over below the old mark.
    if (id >= reserved_ || id < next_) {
        places::ensure_dir(folder_of_ids());
        uint32_t mark = id > kMaxJobId - kBlock ? kMaxJobId : id + kBlock;
        if ((error = write_durably(next_job_id_path(), std::to_string(mark) + "\n"))) return 0;
        reserved_ = mark;
    }
    next_ = after(id);
    if (next_ < id) reserved_ = next_;  // wrapped round: the next id needs a reservation of its own
    return id;
}

}  // namespace qor::spooler
