// The escapes the driver answers.
#include "entries.h"

#include <cstring>

namespace {

constexpr ULONG kQueryEscSupport = 8;
constexpr ULONG kSetCopyCount = 17;
constexpr ULONG kGetTechnology = 20;
constexpr char kTechnology[] = "RVXL Level2";
static_assert(sizeof(kTechnology) == 12);

ULONG invalid() {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

}  // namespace

ULONG DrvEscape(SURFOBJ* surface, ULONG escape, ULONG input_size, PVOID input, ULONG output_size, PVOID output) {
    switch (escape) {
    case kQueryEscSupport: {
        DWORD asked = 0;
        if (!input || input_size < sizeof(asked)) return invalid();
        std::memcpy(&asked, input, sizeof(asked));
        if (asked == kSetCopyCount) return 99;
        return asked == kQueryEscSupport || asked == kGetTechnology ? 1 : 0;
    }
    case kSetCopyCount: {
        PDEV* pdev = ValidPdevOfSurface(surface);
        if (!pdev) return 0;
        if (!input) return static_cast<ULONG>(-1);
        // The printer makes one copy; the spooler repeats jobs for more.
        pdev->devmode.dm.dmCopies = 1;
        if (output && output_size >= sizeof(DWORD)) {
            DWORD copies = 1;
            std::memcpy(output, &copies, sizeof(copies));
        }
        return 1;
    }
    case kGetTechnology:
        if (!output || output_size < sizeof(kTechnology)) return invalid();
        std::memcpy(output, kTechnology, sizeof(kTechnology));
        return 1;
    default:
        return 0;
    }
}
