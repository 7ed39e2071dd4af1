// Logical fonts by their fields, and reading one back from its handle.
#include "gdi_font.h"

#include "qor/guard.h"

#include <cstring>

extern "C" {

QORAPI HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strike_out, DWORD charset, DWORD out_precision,
                         DWORD clip_precision, DWORD quality, DWORD pitch_and_family, LPCWSTR face) {
    LOGFONTW logfont{};
    logfont.lfHeight = height;
    logfont.lfWidth = width;
    logfont.lfEscapement = escapement;
    logfont.lfOrientation = orientation;
    logfont.lfWeight = weight;
    logfont.lfItalic = static_cast<BYTE>(italic);
    logfont.lfUnderline = static_cast<BYTE>(underline);
    logfont.lfStrikeOut = static_cast<BYTE>(strike_out);
    logfont.lfCharSet = static_cast<BYTE>(charset);
    logfont.lfOutPrecision = static_cast<BYTE>(out_precision);
    logfont.lfClipPrecision = static_cast<BYTE>(clip_precision);
    logfont.lfQuality = static_cast<BYTE>(quality);
    logfont.lfPitchAndFamily = static_cast<BYTE>(pitch_and_family);
    for (size_t i = 0; face && i + 1 < LF_FACESIZE && face[i]; ++i) logfont.lfFaceName[i] = face[i];
    return CreateFontIndirectW(&logfont);
}

QORAPI int GetObjectW(HGDIOBJ object, int size, LPVOID buffer) {
    using namespace qor::gdi;
    return qor::guarded(0, [&]() -> int {
        auto font = lookup<Font>(object);
        if (!font) {
            SetLastError(ERROR_INVALID_HANDLE);
            return 0;
        }
        if (!buffer) return static_cast<int>(sizeof(LOGFONTW));
        if (size < 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        size_t copied = std::min(static_cast<size_t>(size), sizeof(LOGFONTW));
        std::memcpy(buffer, &font->logfont, copied);
        return static_cast<int>(copied);
    });
}

}  // extern "C"
