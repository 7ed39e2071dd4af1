// Device-font text: strings become text records with one item per
// character, spaced by the printer's own cell widths.
#include "entries.h"
#include "qor/guard.h"
#include "fontmetrics.h"
#include "jobstream.h"
#include "textrecord.h"

#include <cstring>
#include <vector>

namespace {

struct Batch {
    PDEV* pdev;
    bool double_byte;
    LONG height;   // H
    LONG width;    // W
    LONG limit;    // L
    LONG x, y;     // first glyph position
    LONG cur;
    DWORD items = 0;
    LONG first_item_x = 0;
};

BYTE* item_area(PDEV* pdev) { return pdev->text.data + sizeof(TextRecordHeader); }

void start_record(Batch& batch) {
    batch.items = 0;
    std::memset(batch.pdev->text.data, 0, sizeof(TextRecordHeader));
}

void add_item(Batch& batch, BYTE lead, BYTE code) {
    TextItem item{batch.cur, batch.y - batch.height, lead, code, 0};
    if (batch.items == 0) batch.first_item_x = batch.cur;
    std::memcpy(item_area(batch.pdev) + batch.items * sizeof(TextItem), &item, sizeof(item));
    ++batch.items;
}

// Completes the header and writes the record; a failed write ends output.
bool write_record(Batch& batch) {
    PDEV* pdev = batch.pdev;
    const PaperMetrix paper = *pdev->current_paper;
    TextRecordHeader header{};
    header.header.type = JOB_RECORD_TEXT;  // payload length 0: the call's length is the record
    header.area_width = static_cast<DWORD>(paper.AreaWidth);
    header.area_length = static_cast<DWORD>(paper.AreaLength);
    header.x0 = batch.x > 0 ? batch.x : batch.first_item_x;
    header.y0 = batch.y - batch.height > 0 ? batch.y - batch.height : 0;
    if (batch.cur + batch.height > batch.limit)
        header.width = batch.limit - header.x0;
    else
        header.width = batch.double_byte ? batch.cur - batch.x : batch.cur - batch.x + batch.width;
    header.height = batch.height;
    header.item_bytes = batch.items * sizeof(TextItem);
    header.double_byte = batch.double_byte ? 1 : 0;
    header.double_byte2 = header.double_byte;
    header.item_count = batch.items;
    std::memcpy(pdev->text.data, &header, sizeof(header));
    const DWORD length = sizeof(header) + header.item_bytes;
    DWORD written = 0;
    if (!UMPDSplWritePrinter(pdev, pdev->text.data, length, &written) || written != length) {
        pdev->flags |= PF_OUTPUT_FAILED;
        SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
    start_record(batch);
    return true;
}

// The glyph handle is the printer's code for the character: one byte from
// the single-byte set, one or two bytes (lead byte high) from the
// double-byte set. Characters without a code are the engine's to draw.
bool draw_batch(PDEV* pdev, ULONG count, const GLYPHPOS* positions, const WCHAR* text, bool double_byte) {
    if (count == 0 || positions[0].ptl.y <= 0) return true;
    Batch batch{};
    batch.pdev = pdev;
    batch.double_byte = double_byte;
    batch.height = DeviceCellHeight(pdev);
    batch.width = batch.height / 2;
    const PaperMetrix paper = *pdev->current_paper;
    batch.limit = IsLandscape(pdev) ? paper.AreaLength : paper.AreaWidth;
    batch.x = positions[0].ptl.x;
    batch.y = positions[0].ptl.y;
    batch.cur = batch.x > 0 ? batch.x : 0;

    start_record(batch);
    if (static_cast<int64_t>(batch.cur) + batch.height < batch.limit) {
        for (ULONG i = 0; i < count && static_cast<int64_t>(batch.cur) + batch.height <= batch.limit; ++i) {
            if (batch.items * sizeof(TextItem) >= TEXT_MAX_ITEM_BYTES && !write_record(batch)) return false;
            const WCHAR ch = text[i];
            const HGLYPH code = positions[i].hg;
            if (ch == 0x0020) {
                batch.cur += batch.width;
            } else if (ch == 0x3000) {
                batch.cur += double_byte ? batch.height : batch.width;
            } else if (double_byte && code > 0xFF && code <= 0xFFFF) {
                add_item(batch, static_cast<BYTE>(code >> 8), static_cast<BYTE>(code));
                batch.cur += batch.height;
            } else {
                if (code <= 0xFF) add_item(batch, 0, static_cast<BYTE>(code));
                batch.cur += batch.width;
            }
        }
    }
    return batch.items == 0 || write_record(batch);
}

}  // namespace

BOOL DrvTextOut(SURFOBJ* surface, STROBJ* string, FONTOBJ* font, CLIPOBJ* clip, RECTL* extra, RECTL* opaque,
                BRUSHOBJ* foreground, BRUSHOBJ* background, POINTL* brush_origin, MIX mix) {
    if (!surface || !string || !font) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PDEV* pdev = ValidPdevOfSurface(surface);
    if (!pdev) return FALSE;
    if (pdev->flags & PF_OUTPUT_FAILED) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    // Only the printer's own fonts become text records; other fonts are the engine's to draw.
    const FLONG placement = SO_FLAG_DEFAULT_PLACEMENT | SO_HORIZONTAL | SO_VERTICAL;
    IFIMETRICS* ifi = FontMetricsOf(pdev, font->iFace);
    if (!pdev->device_fonts_on || !(string->flAccel & placement) || !(font->flFontType & FO_TYPE_DEVICE) || !ifi)
        return EngTextOut(surface, string, font, clip, extra, opaque, foreground, background, brush_origin, mix);
    const bool double_byte = IsDoubleByteCharset(ifi->jWinCharSet);
    if (!FONTOBJ_pxoGetXform(font) || !string->pwszOrg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    pdev->dbcs_font = double_byte ? 1 : 0;
    BOOL ok = TRUE;
    if (string->pgp) {
        ok = draw_batch(pdev, string->cGlyphs, string->pgp, string->pwszOrg, double_byte);
    } else {
        STROBJ_vEnumStart(string);
        ULONG done = 0;
        BOOL more = TRUE;
        while (more && ok) {
            ULONG count = 0;
            GLYPHPOS* positions = nullptr;
            more = STROBJ_bEnum(string, &count, &positions);
            if (count > string->cGlyphs - done || (count && !positions)) {
                SetLastError(ERROR_INVALID_PARAMETER);
                ok = FALSE;
                break;
            }
            if (!draw_batch(pdev, count, positions, string->pwszOrg + done, double_byte)) ok = FALSE;
            done += count;
        }
    }
    pdev->dbcs_font = 0;
    return ok;
}
