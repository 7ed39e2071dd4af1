// The state of one open property sheet and the data its pages share.
#pragma once

#include "common/exdevmode.h"
#include "common/ppd.h"

#include <string>

enum class SheetKind : int { Document = 0, Device = 2 };

// Lives in a private heap created for the sheet; its own address at both
// ends tells a genuine state from stray user data.
struct SheetState {
    SheetState* self;
    HANDLE heap;
    HANDLE printer;
    WCHAR printer_name[256];
    LONG_PTR library_callback;
    LONG_PTR library_handle;
    EXDEVMODE current;  // handed out by the document sheet on OK
    WORD last_active_page;
    LONG_PTR last_page_handle;
    SheetState* self_end;
};

// A sheet for `printer`: the current record built from the printer's stored
// record (device sheet), the caller's record and the printer's settings.
// Null when no heap can be had.
SheetState* CreateSheetState(HANDLE printer, const DEVMODEW* caller, SheetKind kind, const PpdData& ppd);
// True when both self markers hold.
bool IsSheetState(const SheetState* state);
void DestroySheetState(SheetState* state);

// Shared by a sheet's pages; the pages edit `working` and copy what they
// show into the sheet's current record on apply.
struct PageData {
    HANDLE printer = nullptr;
    std::u16string printer_name;
    std::u16string help_path;
    EXDEVMODE working{};
    SheetState* sheet = nullptr;
    SheetKind kind = SheetKind::Document;
    bool applied = false;
};

PageData MakePageData(SheetState* sheet, SheetKind kind, const std::u16string& header_printer_name);
