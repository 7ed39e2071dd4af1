#include "common/driver_folder.h"

#include "qor/guard.h"
#include "qor/spooler.h"

#include <vector>

std::u16string DriverFilePath(const char16_t* name) {
    return qor::guarded(std::u16string(), [&]() -> std::u16string {
    DWORD needed = 0;
    GetPrinterDriverDirectoryW(nullptr, nullptr, 1, nullptr, 0, &needed);
    if (needed < 2 || needed > 0x10000) return {};
    std::vector<BYTE> buffer(needed + 2, 0);
    if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, buffer.data(), needed, &needed)) return {};
    std::u16string path;
    for (size_t i = 0; i + 1 < buffer.size(); i += 2) {
        char16_t ch = static_cast<char16_t>(buffer[i] | (buffer[i + 1] << 8));
        if (!ch) break;
        path.push_back(ch);
    }
    if (path.empty()) return {};
    path += u"\\3\\";
    path += name;
    return path;
    });
}
