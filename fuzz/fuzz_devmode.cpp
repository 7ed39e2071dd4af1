// Acceptance of a caller's device mode: any record bytes, read only as far
// as the record's own sizes reach, against a fixed description.
#include "common/exdevmode.h"
#include "common/ppd.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

const char kDescription[] =
    "DefPaper=768\r\nDefUserPaper=1\r\nDefOrient=1\r\nDefBin=1\r\nDefDither=3\r\n"
    "DefBright=150\r\nDefFont=1\r\n"
    "NumPaper=3\r\n"
    "768;\"80 x 297 mm\";80;297;72;297;0;640;2376;576;2376;32;32;0;0;0\r\n"
    "257;\"58 x 100 mm\";58;100;54;100;0;464;800;432;800;16;16;0;0;0\r\n"
    "258;\"112 x 297 mm\";112;297;104;297;0;896;2376;832;2376;32;32;0;0;0\r\n"
    "NumUserDef=2\r\n"
    "256;\"58 mm\";58;100;54;100;0;464;799;432;799;16;16;0;0;0\r\n"
    "256;\"80 mm\";80;100;72;100;0;640;799;576;799;32;32;0;0;0\r\n";

const PpdData& Description() {
    static PpdBlock* block = [] {
        auto* b = new PpdBlock();
        PPD_AttachTables(b);
        PPD_Parse(&b->data, kDescription, sizeof(kDescription) - 1);
        return b;
    }();
    return block->data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The record must at least hold the size fields; beyond that it claims
    // its own extent, which the caller's buffer is assumed to cover.
    if (size < offsetof(DEVMODEW, dmFields) || size > 4096) return 0;
    WORD dmSize, dmDriverExtra;
    std::memcpy(&dmSize, data + offsetof(DEVMODEW, dmSize), 2);
    std::memcpy(&dmDriverExtra, data + offsetof(DEVMODEW, dmDriverExtra), 2);
    size_t extent = std::max(size, static_cast<size_t>(dmSize) + dmDriverExtra);
    extent = std::max(extent, static_cast<size_t>(offsetof(DEVMODEW, dmFields)));
    auto record = std::make_unique<uint8_t[]>(extent);
    std::memset(record.get(), 0, extent);
    std::memcpy(record.get(), data, size);
    auto* caller = reinterpret_cast<DEVMODEW*>(record.get());

    EXDEVMODE device;
    if (!AcceptExDevMode(&device, caller, u"fuzz", &Description())) __builtin_trap();
    if (device.PaperCode != device.CurrentPaper.Code &&
        device.SettingsSignature == EXDM_SETTINGS_SIGNATURE &&
        (device.dm.dmFields & DM_PAPERSIZE))
        __builtin_trap();
    if (device.dm.dmOrientation == DMORIENT_LANDSCAPE && device.Font && !device.Mode)
        __builtin_trap();
    CharSetFromCodePage(ExDevModeCodePage(caller));
    return 0;
}
