#include "dispatch.h"

#include "band.h"
#include "commands.h"
#include "halftone.h"
#include "output.h"
#include "common/jobstream.h"
#include "textcmd.h"
#include "textqueue.h"

#include <cstring>

namespace {

// Rows of error-diffusion lines for a page of this device mode.
LONG DiffusionWidth(const EXDEVMODE& dm) {
    const PaperMetrix paper = dm.CurrentPaper;
    return paper.Feed == PAPER_FEED_ROTATED ? paper.AreaLength : paper.AreaWidth;
}

BOOL StartPage(SPLJOB* job, const BYTE* payload, DWORD payload_length) {
    if (payload_length != EXDM_SIZE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    EXDEVMODE incoming;
    std::memcpy(&incoming, payload, sizeof(incoming));
    if (incoming.SettingsSignature == EXDM_SETTINGS_SIGNATURE) job->devmode = incoming;

    // A page whose end record never came is closed first: its buffered
    // bytes go out and its buffers are freed.
    if (job->flags & JOB_PAGE_OPEN) ReleasePage(job);
    if (job->page_count == 0) SendJobStart(job);
    SendPageStart(job);
    job->flags |= JOB_PAGE_OPEN;
    ++job->page_count;
    if (incoming.dm.dmDitherType == DITHER_DIFFUSION) DiffusionAllocate(&job->diffusion, DiffusionWidth(incoming));
    return TRUE;
}

void EndPage(SPLJOB* job) {
    // An end record with no page open (a second document on a device whose
    // page flag outlived the first) sends nothing: a cut before the job
    // start would waste paper.
    if (!(job->flags & JOB_PAGE_OPEN)) return;
    DiffusionRelease(&job->diffusion);
    ClearTextQueue(job);
    SendPageEnd(job);
    job->flags &= ~static_cast<DWORD>(JOB_PAGE_OPEN);
}

BOOL HandleText(SPLJOB* job, const BYTE* record, DWORD length) {
    if (length < sizeof(TextRecordHeader)) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    if (IsPageMode(job)) return SendText(job, record, length) ? TRUE : FALSE;
    if (!QueueText(job, record, length)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return TRUE;
}

BOOL PassThrough(SPLJOB* job, const BYTE* payload, DWORD payload_length) {
    // Bytes already buffered for the page go first, so the printer sees
    // the stream in the order it was written.
    FlushPageBuffer(job);
    return WriteDirect(job, payload, payload_length) ? TRUE : FALSE;
}

}  // namespace

void ReleasePage(SPLJOB* job) noexcept {
    DiffusionRelease(&job->diffusion);
    ClearTextQueue(job);
    ClosePageBuffer(job);
    job->flags &= ~static_cast<DWORD>(JOB_PAGE_OPEN | JOB_BAND_NEXT);
}

BOOL DispatchWrite(SPLJOB* job, const BYTE* buffer, DWORD length, DWORD* written) noexcept {
    *written = 0;
    if (length > 0 && !buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (job->flags & JOB_OUTPUT_FAILED) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    if (job->flags & JOB_BAND_NEXT) {
        job->flags &= ~static_cast<DWORD>(JOB_BAND_NEXT);
        const bool ok = SendBand(job, buffer, length);
        if (job->flags & JOB_OUTPUT_FAILED) return FALSE;
        if (!ok) return FALSE;
        *written = length;
        return TRUE;
    }
    if (length < sizeof(RecordHeader)) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    RecordHeader header;
    std::memcpy(&header, buffer, sizeof(header));
    job->last_type = header.type;
    job->last_length = header.length;
    const BYTE* payload = buffer + sizeof(header);
    const DWORD room = length - static_cast<DWORD>(sizeof(header));

    // The records that carry their payload must hold all of it.
    if ((header.type == JOB_RECORD_DEVMODE || header.type == JOB_RECORD_PASSTHROUGH) && header.length > room) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    BOOL result = TRUE;
    switch (header.type) {
    case JOB_RECORD_DEVMODE: result = StartPage(job, payload, header.length); break;
    case JOB_RECORD_END_PAGE: EndPage(job); break;
    case JOB_RECORD_BAND: job->flags |= JOB_BAND_NEXT; break;
    case JOB_RECORD_TEXT: result = HandleText(job, buffer, length); break;
    case JOB_RECORD_PASSTHROUGH: result = PassThrough(job, payload, header.length); break;
    default: break;
    }
    if (job->flags & JOB_OUTPUT_FAILED) return FALSE;
    if (result) *written = length;
    return result;
}
