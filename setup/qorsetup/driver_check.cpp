// The printer list read at level 2 and each driver name compared.
#include "driver_check.h"

#include "qor/memory.h"
#include "qor/spooler.h"
#include "qor/strings.h"

#include <cstring>

namespace qorsetup {

bool begins_with_multibyte(const char* name, const char* prefix, size_t bytes) {
    size_t at = 0;
    while (at < bytes) {
        size_t unit = IsDBCSLeadByte(BYTE(name[at])) && name[at + 1] != '\0' ? 2 : 1;
        if (IsDBCSLeadByte(BYTE(prefix[at])) && prefix[at + 1] != '\0') unit = 2;
        if (at + unit > bytes) unit = bytes - at;
        if (std::memcmp(name + at, prefix + at, unit) != 0) return false;
        if (name[at] == '\0') return at + 1 >= bytes || prefix[at] == '\0';
        at += unit;
    }
    return true;
}

int find_family_driver() {
    static const char kFamily[] = "QOR ZEM-D";
    DWORD needed = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    void* buffer = LocalAlloc(LPTR, needed ? needed : 1);
    if (!buffer) return -1;
    int result = -1;
    if (EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, static_cast<LPBYTE>(buffer), needed, &needed, &count)) {
        result = 0;
        auto* printers = static_cast<PRINTER_INFO_2A*>(buffer);
        for (DWORD i = 0; i < count && result == 0; ++i) {
            const char* driver = printers[i].pDriverName;
            if (driver && begins_with_multibyte(driver, kFamily, sizeof kFamily - 1)) result = 1;
        }
    }
    LocalFree(buffer);
    return result;
}

}  // namespace qorsetup
