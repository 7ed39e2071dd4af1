#include "output.h"

#include "qor/memory.h"
#include "qor/spooler.h"

#include <atomic>
#include <cstring>

namespace {

std::atomic<PrinterWrite> g_write{&WritePrinter};

}  // namespace

void SetPrinterWrite(PrinterWrite write) noexcept {
    g_write.store(write ? write : &WritePrinter);
}

bool WriteDirect(SPLJOB* job, const void* bytes, DWORD size) noexcept {
    if (job->flags & JOB_OUTPUT_FAILED) return false;
    PrinterWrite write = g_write.load();
    auto* cursor = static_cast<BYTE*>(const_cast<void*>(bytes));
    while (size > 0) {
        DWORD written = 0;
        const BOOL ok = write(job->printer, cursor, size, &written);
        if (!ok || written == 0 || written > size) {
            if (ok || GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_WRITE_FAULT);
            job->flags |= JOB_OUTPUT_FAILED;
            return false;
        }
        cursor += written;
        size -= written;
    }
    return true;
}

void FlushPageBuffer(SPLJOB* job) noexcept {
    PageBuffer& page = job->page;
    if (!page.base || page.count == 0) return;
    WriteDirect(job, page.base, page.count);
    page.position = 0;
    page.count = 0;
}

void Emit(SPLJOB* job, const void* bytes, DWORD size) noexcept {
    PageBuffer& page = job->page;
    if (!page.base) {
        WriteDirect(job, bytes, size);
        return;
    }
    if (page.count + static_cast<uint64_t>(size) > PAGE_BUFFER_SIZE - 1) FlushPageBuffer(job);
    if (size >= PAGE_BUFFER_SIZE) {
        WriteDirect(job, bytes, size);
        return;
    }
    std::memcpy(page.base + page.position, bytes, size);
    page.position += size;
    page.count += size;
}

void OpenPageBuffer(SPLJOB* job) noexcept {
    ClosePageBuffer(job);
    PageBuffer& page = job->page;
    page.memory = GlobalAlloc(GMEM_MOVEABLE, PAGE_BUFFER_SIZE);
    if (!page.memory) return;
    page.base = static_cast<BYTE*>(GlobalLock(page.memory));
    if (!page.base) {
        GlobalFree(page.memory);
        page.memory = nullptr;
    }
    page.position = 0;
    page.count = 0;
}

void ClosePageBuffer(SPLJOB* job) noexcept {
    PageBuffer& page = job->page;
    FlushPageBuffer(job);
    if (page.memory) {
        GlobalUnlock(page.memory);
        GlobalFree(page.memory);
    }
    page = PageBuffer{};
}
