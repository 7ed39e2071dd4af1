// Device contexts on a printer: creation, reset, capabilities and escapes.
#include "gdi_dc.h"
#include "qor/guard.h"

#include "qor/spooler.h"
#include "qor/strings.h"

#include <cstring>

namespace qor::gdi {
namespace {

constexpr size_t kMaxDevmode = 0x10000;

bool is_spooler_name(LPCWSTR driver) {
    if (!driver || !*driver) return true;
    static const char16_t kWinspool[] = u"WINSPOOL";
    size_t i = 0;
    for (; driver[i] && i < 8; ++i) {
        char16_t c = driver[i] >= u'a' && driver[i] <= u'z' ? driver[i] - 32 : driver[i];
        if (c != kWinspool[i]) return false;
    }
    return i == 8 && !driver[i];
}

// The caller's device mode, copied as far as its own sizes say.
std::vector<uint8_t> copy_devmode(const DEVMODEW* devmode, const std::u16string& device_name) {
    if (devmode && devmode->dmSize >= offsetof(DEVMODEW, dmFields) + sizeof(DWORD)) {
        size_t size = static_cast<size_t>(devmode->dmSize) + devmode->dmDriverExtra;
        if (size <= kMaxDevmode) {
            const auto* bytes = reinterpret_cast<const uint8_t*>(devmode);
            return std::vector<uint8_t>(bytes, bytes + size);
        }
    }
    // No usable record: a bare public part naming the device; the driver fills in its defaults.
    std::vector<uint8_t> bytes(sizeof(DEVMODEW), 0);
    DEVMODEW public_part{};
    size_t n = std::min<size_t>(device_name.size(), CCHDEVICENAME - 1);
    std::memcpy(public_part.dmDeviceName, device_name.data(), n * 2);
    public_part.dmSpecVersion = DM_SPECVERSION;
    public_part.dmSize = sizeof(DEVMODEW);
    std::memcpy(bytes.data(), &public_part, sizeof(public_part));
    return bytes;
}

// The printer's default device mode from the spooler, when it has one.
std::vector<uint8_t> printer_devmode(HANDLE printer) {
    if (!printer) return {};
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    if (needed == 0 || needed > 0x100000) return {};
    std::vector<uint8_t> buffer(needed);
    if (!GetPrinterW(printer, 2, buffer.data(), needed, &needed)) return {};
    PRINTER_INFO_2W info;
    std::memcpy(&info, buffer.data(), sizeof(info));
    if (!info.pDevMode) return {};
    return copy_devmode(info.pDevMode, u"");
}

std::u16string installed_driver_path(HANDLE printer) {
    if (!printer) return {};
    DWORD needed = 0;
    GetPrinterDriverW(printer, nullptr, 2, nullptr, 0, &needed);
    if (needed == 0 || needed > 0x100000) return {};
    std::vector<uint8_t> buffer(needed);
    if (!GetPrinterDriverW(printer, nullptr, 2, buffer.data(), needed, &needed)) return {};
    DRIVER_INFO_2W info;
    std::memcpy(&info, buffer.data(), sizeof(info));
    return info.pDriverPath ? std::u16string(info.pDriverPath) : std::u16string();
}

HDC create_dc(LPCWSTR driver, LPCWSTR device, const DEVMODEW* devmode) {
    if (!device || !*device) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    ensure_stock_objects();
    auto dc = std::make_shared<Dc>();
    dc->device_name = device;
    HANDLE printer = nullptr;
    std::u16string name = dc->device_name;
    bool direct = !is_spooler_name(driver);
    // A driver named directly may run without a printer the spooler knows.
    if (!OpenPrinterW(name.data(), &printer, nullptr)) {
        printer = nullptr;
        if (!direct) {
            SetLastError(ERROR_INVALID_PRINTER_NAME);
            return nullptr;
        }
    }
    dc->printer = printer;
    dc->driver_path = direct ? std::u16string(driver) : installed_driver_path(printer);
    if (dc->driver_path.empty()) {
        if (printer) ClosePrinter(printer);
        SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
        return nullptr;
    }
    dc->devmode = devmode ? copy_devmode(devmode, dc->device_name) : printer_devmode(printer);
    if (dc->devmode.empty()) dc->devmode = copy_devmode(nullptr, dc->device_name);
    dc->device = create_device(dc->driver_path, reinterpret_cast<DEVMODEW*>(dc->devmode.data()),
                               dc->device_name, printer);
    if (!dc->device) {
        DWORD error = GetLastError();
        if (printer) ClosePrinter(printer);
        SetLastError(error);
        return nullptr;
    }
    dc->font = GetStockObject(DEVICE_DEFAULT_FONT);
    dc->brush = GetStockObject(WHITE_BRUSH);
    dc->pen = GetStockObject(BLACK_PEN);
    return insert_object(dc);
}

}  // namespace

std::shared_ptr<Dc> dc_of(HDC hdc) {
    auto dc = lookup<Dc>(hdc);
    if (!dc) SetLastError(ERROR_INVALID_HANDLE);
    return dc;
}

}  // namespace qor::gdi

using namespace qor::gdi;

extern "C" {

QORAPI HDC CreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR, const DEVMODEW* devmode) {
    return qor::guarded(HDC{nullptr}, [&]() -> HDC { return create_dc(driver, device, devmode); });
}

QORAPI HDC ResetDCW(HDC hdc, const DEVMODEW* devmode) {
    return qor::guarded(HDC{nullptr}, [&]() -> HDC {
        auto dc = dc_of(hdc);
        if (!dc) return nullptr;
        if (dc->canvas) return refuse(HDC{nullptr});
        std::lock_guard<std::recursive_mutex> guard(dc->lock);
        // A page in progress belongs to the old device mode.
        if (dc->page_open) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        auto bytes = devmode ? copy_devmode(devmode, dc->device_name) : dc->devmode;
        auto device = reset_device(dc->device, dc->driver_path, reinterpret_cast<DEVMODEW*>(bytes.data()),
                                   dc->device_name, dc->printer);
        if (!device) return nullptr;
        // The document goes on: the new device takes it over from the old one.
        if (dc->doc_started) {
            if (auto start_doc = device->entry<PFN_DrvStartDoc>(INDEX_DrvStartDoc)) {
                if (!start_doc(device->surface, dc->doc_name.data(), dc->job_id)) {
                    DWORD error = GetLastError();
                    destroy_device(*device);
                    SetLastError(error);
                    return nullptr;
                }
            }
        }
        destroy_device(*dc->device);
        dc->device = device;
        dc->devmode = std::move(bytes);
        dc->realized.reset();
        dc->realized_for = nullptr;
        return hdc;
    });
}

QORAPI BOOL DeleteDC(HDC hdc) {
    return qor::guarded(FALSE, [&]() -> BOOL {
        auto dc = dc_of(hdc);
        if (!dc) return FALSE;
        if (dc->canvas) return remove_object(hdc) ? TRUE : FALSE;
        {
            std::lock_guard<std::recursive_mutex> guard(dc->lock);
            if (dc->doc_started) AbortDoc(hdc);
            dc->realized.reset();
            destroy_device(*dc->device);
            if (dc->printer) ClosePrinter(dc->printer);
            dc->printer = nullptr;
        }
        remove_object(hdc);
        return TRUE;
    });
}

QORAPI int GetDeviceCaps(HDC hdc, int index) {
    return qor::guarded(0, [&]() -> int {
        auto dc = dc_of(hdc);
        if (!dc) return 0;
        std::lock_guard<std::recursive_mutex> guard(dc->lock);
        if (dc->canvas) return dc->canvas->device_caps(index);
        const GDIINFO& caps = dc->device->caps;
        switch (index) {
        case DRIVERVERSION: return static_cast<int>(caps.ulVersion);
        case TECHNOLOGY: return static_cast<int>(caps.ulTechnology);
        case HORZSIZE: return static_cast<int>(caps.ulHorzSize);
        case VERTSIZE: return static_cast<int>(caps.ulVertSize);
        case HORZRES: return static_cast<int>(caps.ulHorzRes);
        case VERTRES: return static_cast<int>(caps.ulVertRes);
        case BITSPIXEL: return static_cast<int>(caps.cBitsPixel);
        case PLANES: return static_cast<int>(caps.cPlanes);
        case NUMBRUSHES:
        case NUMPENS: return -1;
        case NUMMARKERS: return 0;
        case NUMFONTS: return static_cast<int>(dc->device->info.cFonts);
        case NUMCOLORS: return caps.cBitsPixel > 8 ? -1 : static_cast<int>(caps.ulNumColors);
        case PDEVICESIZE: return 0;
        case CURVECAPS: return 0;
        case LINECAPS: return 2;       // polylines
        case POLYGONALCAPS: return 2;  // rectangles
        case TEXTCAPS: return static_cast<int>(caps.flTextCaps);
        case CLIPCAPS: return 1;       // rectangles
        case RASTERCAPS: return 0x2A03;  // bitblt, banding, DIB to device, stretching
        case ASPECTX: return static_cast<int>(caps.ulAspectX);
        case ASPECTY: return static_cast<int>(caps.ulAspectY);
        case ASPECTXY: return static_cast<int>(caps.ulAspectXY);
        case LOGPIXELSX: return static_cast<int>(caps.ulLogPixelsX);
        case LOGPIXELSY: return static_cast<int>(caps.ulLogPixelsY);
        case SIZEPALETTE:
        case NUMRESERVED: return 0;
        case COLORRES: return static_cast<int>(caps.cBitsPixel);
        case PHYSICALWIDTH: return caps.szlPhysSize.cx;
        case PHYSICALHEIGHT: return caps.szlPhysSize.cy;
        case PHYSICALOFFSETX: return caps.ptlPhysOffset.x;
        case PHYSICALOFFSETY: return caps.ptlPhysOffset.y;
        case SCALINGFACTORX:
        case SCALINGFACTORY: return 0;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
    });
}

QORAPI int ExtEscape(HDC hdc, int escape, int input_size, LPCSTR input, int output_size, LPSTR output) {
    return qor::guarded(-1, [&]() -> int {
        auto dc = dc_of(hdc);
        if (!dc) return -1;
        if (dc->canvas) return refuse(-1);
        if (input_size < 0 || output_size < 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return -1;
        }
        std::lock_guard<std::recursive_mutex> guard(dc->lock);
        auto escape_entry = dc->device->entry<PFN_DrvEscape>(INDEX_DrvEscape);
        if (!escape_entry) return 0;
        ULONG result = escape_entry(dc->device->surface, static_cast<ULONG>(escape), static_cast<ULONG>(input_size),
                                    const_cast<LPSTR>(input), static_cast<ULONG>(output_size), output);
        return static_cast<int>(result);
    });
}

}  // extern "C"
