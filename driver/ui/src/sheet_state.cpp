#include "sheet_state.h"

#include "current_devmode.h"

#include "qor/memory.h"

#include <cstring>
#include <vector>

namespace {

constexpr SIZE_T kHeapSize = 8192;

}  // namespace

SheetState* CreateSheetState(HANDLE printer, const DEVMODEW* caller, SheetKind kind, const PpdData& ppd) {
    HANDLE heap = HeapCreate(0, kHeapSize, 0);
    if (!heap) return nullptr;
    void* memory = HeapAlloc(heap, HEAP_ZERO_MEMORY, sizeof(SheetState));
    if (!memory) {
        HeapDestroy(heap);
        return nullptr;
    }
    auto* state = static_cast<SheetState*>(memory);
    state->self = state->self_end = state;
    state->heap = heap;
    state->printer = printer;

    std::vector<BYTE> buffer;
    PRINTER_INFO_2W info;
    if (ReadPrinterInfo(printer, &buffer, &info)) {
        for (size_t i = 0; info.pPrinterName && info.pPrinterName[i] && i + 1 < 256; ++i)
            state->printer_name[i] = info.pPrinterName[i];
        const DEVMODEW* stored = StoredDevMode(buffer, info);
        if (kind == SheetKind::Device && stored && stored->dmSize == EXDM_PUBLIC_SIZE &&
            stored->dmDriverExtra >= EXDM_PRIVATE_SIZE)
            std::memcpy(&state->current, stored, EXDM_SIZE);
    }
    BuildCurrentDevMode(&state->current, caller, printer, state->printer_name, ppd);
    return state;
}

bool IsSheetState(const SheetState* state) { return state && state->self == state && state->self_end == state; }

void DestroySheetState(SheetState* state) {
    if (!IsSheetState(state)) return;
    HANDLE heap = state->heap;
    state->self = state->self_end = nullptr;
    HeapDestroy(heap);
}

PageData MakePageData(SheetState* sheet, SheetKind kind, const std::u16string& header_printer_name) {
    PageData data;
    data.printer = sheet->printer;
    data.printer_name = header_printer_name;
    data.working = sheet->current;
    data.sheet = sheet;
    data.kind = kind;
    return data;
}
