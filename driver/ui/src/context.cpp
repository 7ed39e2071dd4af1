#include "context.h"

#include "common/driver_folder.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace {

std::atomic<HMODULE> driver_module{nullptr};

// The platform may call two entry points of one process at once: the last
// good description is swapped under a lock and handed out as copies.
std::mutex context_lock;
Description& context() {
    static Description description;
    return description;
}

}  // namespace

Description::Description() {
    std::memset(&block_, 0, sizeof(block_));
    PPD_AttachTables(&block_);
}

Description::Description(const Description& other) : Description() { *this = other; }

Description& Description::operator=(const Description& other) {
    if (this != &other) {
        std::memcpy(&block_, &other.block_, sizeof(block_));
        PPD_AttachTables(&block_);
    }
    return *this;
}

void SetDriverModule(HMODULE module) { driver_module = module; }
HMODULE DriverModule() { return driver_module; }

Description LoadPrinterDescription() {
    // The refresh is invisible to callers: their last error stays.
    const DWORD caller_error = GetLastError();
    const std::u16string path = DriverFilePath(u"qorn5002.ppd");
    Description fresh;
    const bool parsed = !path.empty() && PPD_Init(&fresh.ppd(), path.c_str());
    std::lock_guard<std::mutex> guard(context_lock);
    if (parsed) context() = fresh;
    SetLastError(caller_error);
    return context();
}
