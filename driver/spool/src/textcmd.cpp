#include "textcmd.h"

#include "commands.h"
#include "output.h"
#include "common/jobstream.h"

#include <algorithm>
#include <cstring>

bool SendText(SPLJOB* job, const BYTE* record, DWORD size) noexcept {
    if (size < sizeof(TextRecordHeader)) return false;
    TextRecordHeader header;
    std::memcpy(&header, record, sizeof(header));
    const bool page_mode = IsPageMode(job);
    const EXDEVMODE& dm = job->devmode;

    if (page_mode) {
        if (!IsLandscape(dm))
            SendPrintArea(job, header.x0, header.y0, header.width, header.height);
        else
            SendPrintArea(job, int64_t{header.area_width} - header.y0 - header.height, header.x0,
                          header.height, header.width);
    }
    job->last_x = -1;
    job->last_y = -1;

    const bool double_byte = header.double_byte != 0;
    if (double_byte && !(job->flags & JOB_KANJI_ON)) {
        static constexpr BYTE kKanjiOn[] = {0x1C, 0x26};
        Emit(job, kKanjiOn, sizeof(kKanjiOn));
        job->flags |= JOB_KANJI_ON;
    } else if (!double_byte && (job->flags & JOB_KANJI_ON)) {
        static constexpr BYTE kKanjiOff[] = {0x1C, 0x2E};
        Emit(job, kKanjiOff, sizeof(kKanjiOff));
        job->flags &= ~static_cast<DWORD>(JOB_KANJI_ON);
    }

    const LONG cell = dm.Font == 1 ? 24 : 16;
    const DWORD room = (size - sizeof(TextRecordHeader)) / sizeof(TextItem);
    const DWORD count = std::min({header.item_count, header.item_bytes / DWORD{sizeof(TextItem)}, room});
    const BYTE* items = record + sizeof(TextRecordHeader);
    for (DWORD i = 0; i < count; ++i) {
        TextItem item;
        std::memcpy(&item, items + i * sizeof(TextItem), sizeof(item));
        if (item.x != job->last_x) {
            SendHorizontalPosition(job, page_mode ? int64_t{item.x} - header.x0 : item.x);
            job->last_x = item.x;
        }
        if (page_mode && item.y != job->last_y) {
            SendVerticalPosition(job, int64_t{item.y} + cell - header.y0);
            job->last_y = item.y;
        }
        if (double_byte) {
            const BYTE pair[] = {item.lead, item.code};
            Emit(job, pair, 2);
        } else {
            Emit(job, &item.code, 1);
        }
    }
    return true;
}
