// Description-file reader: any bytes parse within the line, text and table
// bounds, and the default device mode built from the result stays in its
// record.
#include "common/exdevmode.h"
#include "common/ppd.h"

#include <cstdint>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1u << 20) return 0;
    auto block = std::make_unique<PpdBlock>();
    PPD_AttachTables(block.get());
    // Exactly the input's bytes, so a read past the end of the view is caught.
    auto bytes = std::make_unique<uint8_t[]>(size ? size : 1);
    if (size) std::memcpy(bytes.get(), data, size);
    PPD_Parse(&block->data, size ? bytes.get() : nullptr, static_cast<DWORD>(size));

    const PpdData& ppd = block->data;
    if (ppd.NumPaper > PPD_MAX_PAPER || ppd.NumUserDef > PPD_MAX_USERDEF ||
        ppd.NumBin > PPD_MAX_BIN || ppd.NumKind > PPD_MAX_KIND)
        __builtin_trap();
    if (ppd.Name[PPD_NAME_CHARS - 1] != 0 || ppd.UIName[PPD_UINAME_CHARS - 1] != 0) __builtin_trap();
    for (int i = 0; i < ppd.NumPaper; i++)
        if (block->paper[i].Name[PAPER_NAME_CHARS - 1] != 0) __builtin_trap();

    EXDEVMODE devmode;
    EngSetDefaultEXDEVMODE(&devmode, u"fuzz", &ppd);
    EXDEVMODE device;
    AcceptExDevMode(&device, &devmode.dm, u"fuzz", &ppd);
    if (device.PaperCode != device.CurrentPaper.Code) __builtin_trap();
    return 0;
}
