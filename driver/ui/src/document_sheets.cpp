// DrvDocumentPropertySheets: the document's device mode, sized and copied
// for the platform, or edited on the Paper and Graphics pages.
#include "context.h"
#include "devmode_ops.h"
#include "sheet_state.h"

#include "qor/ddiui.h"
#include "qor/guard.h"

#include <cstring>

namespace {

// The platform's size-and-copy call, header only.
LONG SizeAndCopy(DOCUMENTPROPERTYHEADER* header) {
    header->cbOut = EXDM_SIZE;
    if (!header->fMode || !header->pdmOut) return EXDM_SIZE;
    const Description description = LoadPrinterDescription();
    SheetState* state = CreateSheetState(header->hPrinter, header->pdmIn, SheetKind::Document, description.ppd());
    if (!state) return -1;
    BOOL copied = TRUE;
    if (header->fMode & (DM_UPDATE | DM_COPY)) copied = CopyDevModeOut(state->current, header->pdmIn, header->pdmOut);
    DestroySheetState(state);
    return copied ? 1 : -1;
}

}  // namespace

extern "C" QORAPI LONG DrvDocumentPropertySheets(void* info, LONG_PTR parameter) {
    return qor::guarded(LONG(-1), [&]() -> LONG {
        if (!info) {
            auto* header = reinterpret_cast<DOCUMENTPROPERTYHEADER*>(parameter);
            if (!header || header->cbSize < sizeof(DOCUMENTPROPERTYHEADER)) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return -1;
            }
            return SizeAndCopy(header);
        }
        // The pages need the desktop layer's property-sheet host.
        SetLastError(ERROR_NOT_SUPPORTED);
        return -1;
    });
}
