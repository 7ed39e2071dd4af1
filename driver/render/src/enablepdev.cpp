// Creating, resetting and destroying the device.
#include "devcaps.h"
#include "qor/guard.h"
#include "common/driver_folder.h"
#include "entries.h"
#include "fontmetrics.h"
#include "glyphset.h"
#include "jobstream.h"
#include "splbinding.h"
#include "qor/memory.h"
#include "qor/module.h"
#include "qor/spooler.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The printer's name from the caller's device mode (at most 32 characters,
// not necessarily terminated).
std::u16string device_name_of(const DEVMODEW* devmode) {
    std::u16string name;
    for (size_t i = 0; i < CCHDEVICENAME && devmode->dmDeviceName[i]; ++i) name.push_back(devmode->dmDeviceName[i]);
    return name;
}

// The data file of the printer's installed driver, else the default file.
std::u16string find_description(const DEVMODEW* devmode) {
    std::u16string name = device_name_of(devmode);
    HANDLE printer = nullptr;
    std::u16string path;
    if (!name.empty() && OpenPrinterW(name.data(), &printer, nullptr)) {
        DWORD needed = 0;
        GetPrinterDriverW(printer, nullptr, 2, nullptr, 0, &needed);
        if (needed >= sizeof(DRIVER_INFO_2W) && needed <= 0x100000) {
            std::vector<BYTE> buffer(needed);
            if (GetPrinterDriverW(printer, nullptr, 2, buffer.data(), needed, &needed)) {
                DRIVER_INFO_2W info;
                std::memcpy(&info, buffer.data(), sizeof(info));
                if (info.pDataFile && info.pDataFile[0]) path = info.pDataFile;
            }
        }
        ClosePrinter(printer);
    }
    if (path.empty()) path = DriverFilePath(u"qorn5001.ppd");
    return path;
}

std::u16string description_path(const DEVMODEW* devmode) {
    return qor::guarded(std::u16string(), [&] { return find_description(devmode); });
}

PDEV* create_pdev(HANDLE printer) {
    HANDLE heap = HeapCreate(0, PDEV_HEAP_INITIAL, 0);
    if (!heap) return nullptr;
    auto* pdev = static_cast<PDEV*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, sizeof(PDEV)));
    if (!pdev) {
        HeapDestroy(heap);
        return nullptr;
    }
    pdev->heap = heap;
    pdev->printer = printer;
    return pdev;
}

DHPDEV fail(PDEV* pdev, HPALETTE palette, DWORD error) {
    if (palette) EngDeletePalette(palette);
    FreePdevMemory(pdev);
    SetLastError(error ? error : ERROR_INVALID_PARAMETER);
    return nullptr;
}

}  // namespace

DHPDEV DrvEnablePDEV(DEVMODEW* devmode, LPWSTR, ULONG patterns, HSURF* pattern_surfaces, ULONG caps_size,
                     ULONG* caps, ULONG info_size, DEVINFO* info, HDEV, LPWSTR device_name, HANDLE printer) {
    PDEV* pdev = create_pdev(printer);
    if (!pdev) return nullptr;
    std::u16string own = DriverFilePath(u"qorkpdn5.dll");
    if (!own.empty()) pdev->own_module = LoadLibraryW(own.c_str());
    pdev->ppd = static_cast<PpdBlock*>(std::calloc(1, sizeof(PpdBlock)));
    if (!pdev->ppd) return fail(pdev, nullptr, ERROR_NOT_ENOUGH_MEMORY);
    PPD_AttachTables(pdev->ppd);
    if (!devmode || devmode->dmSize < offsetof(DEVMODEW, dmFields) + sizeof(DWORD))
        return fail(pdev, nullptr, ERROR_INVALID_PARAMETER);
    std::u16string path = description_path(devmode);
    if (path.empty() || !PPD_Init(&pdev->ppd->data, path.c_str())) return fail(pdev, nullptr, GetLastError());
    ResetStaging(&pdev->staging);
    ResetStaging(&pdev->text);
    if (!AcceptExDevMode(&pdev->devmode, devmode, device_name, &pdev->ppd->data))
        return fail(pdev, nullptr, GetLastError());
    pdev->current_paper = &pdev->devmode.CurrentPaper;
    FillMyDevData(pdev);
    pdev->character_table = qor::guarded(BYTE{0}, [&] { return PrinterCharacterTable(printer); });
    pdev->code_page = ExDevModeCodePage(devmode);
    pdev->charset = CharSetFromCodePage(pdev->code_page);
    GDIINFO gdi_info;
    FillMyDevCaps(pdev, &gdi_info);
    if (caps) std::memcpy(caps, &gdi_info, std::min<size_t>(caps_size, sizeof(gdi_info)));
    pdev->device_fonts_on = pdev->devmode.Font ? 1 : 0;
    pdev->device_font_count = pdev->devmode.Font ? 2 : 0;
    DEVINFO dev_info;
    if (!FillMyDevInfo(pdev, &dev_info)) return fail(pdev, nullptr, GetLastError());
    if (info) std::memcpy(info, &dev_info, std::min<size_t>(info_size, sizeof(dev_info)));
    if (pdev->device_font_count && !BuildFontMetrics(pdev))
        return fail(pdev, dev_info.hpalDefault, ERROR_NOT_ENOUGH_MEMORY);
    if (pattern_surfaces && patterns) std::memset(pattern_surfaces, 0, sizeof(HSURF) * std::min<ULONG>(patterns, 64));
    return pdev;
}

void DrvCompletePDEV(DHPDEV dhpdev, HDEV hdev) {
    if (PDEV* pdev = ValidPdev(dhpdev)) pdev->hdev = hdev;
}

void DrvDisablePDEV(DHPDEV dhpdev) {
    PDEV* pdev = ValidPdev(dhpdev);
    if (!pdev) return;
    ResetStaging(&pdev->staging);
    // A document left open must not leave its job or module behind.
    if (pdev->spl.job && pdev->spl.close) pdev->spl.close(pdev->spl.job);
    UnloadSplModule(pdev);
    FreeRVXL2GlyphSet(pdev);
    FreePdevMemory(pdev);
}

BOOL DrvResetPDEV(DHPDEV old_dhpdev, DHPDEV new_dhpdev) {
    PDEV* old_pdev = ValidPdev(old_dhpdev);
    PDEV* new_pdev = ValidPdev(new_dhpdev);
    if (!old_pdev || !new_pdev) return FALSE;
    if (old_pdev->flags & PF_DOC_STARTED) {
        new_pdev->flags |= PF_DOC_CONTINUES;
        // The job's output state travels with it, as does a failed output.
        new_pdev->flags |= old_pdev->flags & (PF_DOC_STARTED | PF_PAGE_OPEN | PF_PAGE_SENT | PF_OUTPUT_FAILED);
        new_pdev->flags &= ~0x1u;
        new_pdev->spl = old_pdev->spl;
        std::memset(&old_pdev->spl, 0, sizeof(old_pdev->spl));
        new_pdev->job_id = old_pdev->job_id;
    }
    return TRUE;
}
