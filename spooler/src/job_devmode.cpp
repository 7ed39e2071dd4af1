#include "job_devmode.h"

#include "qor/devmode.h"
#include "qor/spool/protocol.h"

#include <cstring>

namespace qor::spooler {

bool devmode_acceptable(const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return true;
    constexpr size_t kMinimum = offsetof(DEVMODEW, dmFields) + sizeof(DWORD);
    if (bytes.size() < kMinimum || bytes.size() > spool::kMaxPrinterData) return false;
    WORD size = 0, extra = 0;
    std::memcpy(&size, bytes.data() + offsetof(DEVMODEW, dmSize), sizeof size);
    std::memcpy(&extra, bytes.data() + offsetof(DEVMODEW, dmDriverExtra), sizeof extra);
    return size >= kMinimum && size_t(size) + extra == bytes.size();
}

}  // namespace qor::spooler
