// The effective device mode of a printer: the description's defaults, the
// printer's stored record, the caller's record and the printer-wide
// settings kept as printer data, in that order.
#pragma once

#include "common/exdevmode.h"
#include "common/ppd.h"
#include "qor/spooler.h"

#include <string>
#include <vector>

// The printer's level-2 information; its strings and device mode point into
// `buffer`. False when the printer gives none.
bool ReadPrinterInfo(HANDLE printer, std::vector<BYTE>* buffer, PRINTER_INFO_2W* info);

// The stored device mode inside a level-2 buffer, when the whole record
// (dmSize + dmDriverExtra bytes) lies inside the buffer; else null.
const DEVMODEW* StoredDevMode(const std::vector<BYTE>& buffer, const PRINTER_INFO_2W& info);

// Copies the printer's stored record into `destination` when it is a whole
// record of this driver's size and not marked as a form-name record.
BOOL GetPrinterDevMode(LPCWSTR printer_name, EXDEVMODE* destination);

// The printer's stored record, else the description's defaults; with the
// printer's name, the resolution block, source and papers always refreshed.
void SetDefaultDevMode(EXDEVMODE* destination, LPCWSTR printer_name, const PpdData& ppd);

// The record a printer's documents print with (see the header comment).
void BuildCurrentDevMode(EXDEVMODE* record, const DEVMODEW* caller, HANDLE printer, LPCWSTR printer_name,
                         const PpdData& ppd);

// Printer data with the printer-wide settings.
inline constexpr char16_t kFontValue[] = u"FONT";
inline constexpr char16_t kCutterValue[] = u"CUTTER";
inline constexpr char16_t kPageModeValue[] = u"PAGEMODE";
inline constexpr char16_t kPermissionValue[] = u"Permission";

// Writes `value` as a REG_DWORD printer-data value; false without the right.
bool WritePrinterSetting(HANDLE printer, const char16_t* name, DWORD value);
