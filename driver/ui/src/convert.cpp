// DrvConvertDevMode: device modes between the platform's record versions
// and the driver's defaults.
#include "convert.h"

#include "context.h"
#include "current_devmode.h"
#include "devmode_ops.h"

#include "qor/ddiui.h"
#include "qor/guard.h"

namespace {

constexpr LONG kSize351 = 188 + EXDM_PRIVATE_SIZE;

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

BOOL Convert(DEVMODEW* in, DEVMODEW* out, LONG* size) {
    if (!out || !GetDevModeSpecVersion(out)) return Fail(ERROR_INVALID_PARAMETER);
    const LONG whole = LONG(out->dmSize) + out->dmDriverExtra;
    if (*size < whole || !CopyDevMode(in, out)) return Fail(ERROR_INVALID_PARAMETER);
    *size = whole;
    return TRUE;
}

BOOL Convert351(DEVMODEW* in, DEVMODEW* out, LONG* size) {
    if (!out || *size < kSize351) {
        *size = kSize351;
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    out->dmSpecVersion = 0x0320;
    out->dmSize = 188;
    out->dmDriverVersion = EXDM_DRIVER_VERSION;
    out->dmDriverExtra = EXDM_PRIVATE_SIZE;
    if (!CopyDevMode(in, out)) return Fail(ERROR_INVALID_PARAMETER);
    *size = kSize351;
    return TRUE;
}

BOOL DriverDefault(LPWSTR printer_name, DEVMODEW* out, LONG* size, const PpdData& ppd) {
    if (!out || *size < EXDM_SIZE) {
        *size = EXDM_SIZE;
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    *size = EXDM_SIZE;
    SetDefaultDevMode(reinterpret_cast<EXDEVMODE*>(out), printer_name, ppd);
    return TRUE;
}

}  // namespace

BOOL ConvertDevMode(LPWSTR printer_name, DEVMODEW* in, DEVMODEW* out, LONG* size, DWORD mode, const PpdData& ppd) {
    if (!size) return Fail(ERROR_INVALID_PARAMETER);
    switch (mode) {
    case CDM_CONVERT: return Convert(in, out, size);
    case CDM_CONVERT351: return Convert351(in, out, size);
    case CDM_DRIVER_DEFAULT: return DriverDefault(printer_name, out, size, ppd);
    default: return FALSE;
    }
}

extern "C" QORAPI BOOL DrvConvertDevMode(LPWSTR printer_name, DEVMODEW* in, DEVMODEW* out, LONG* size,
                                         DWORD mode) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        const Description description = LoadPrinterDescription();
        return ConvertDevMode(printer_name, in, out, size, mode, description.ppd());
    });
}
