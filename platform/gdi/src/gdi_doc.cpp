// Documents and pages: the spooler job, the driver's document and page
// entries, and the banding loop that plays each recorded page.
#include "gdi_dc.h"
#include "qor/guard.h"
#include "gdi_surface.h"

#include "qor/spooler.h"

#include <atomic>

namespace qor::gdi {
namespace {

// A driver that never reports the end of its bands must not hang the caller.
constexpr int kMaxBands = 1 << 16;

std::atomic<DWORD> next_local_job{1};

bool check_abort_proc(Dc& dc, HDC hdc) {
    if (dc.abort_proc && !dc.abort_proc(hdc, 0)) dc.device->aborted = true;
    return !dc.device->aborted;
}

// Renders the recorded page band by band and sends it.
bool band_page(Dc& dc, HDC hdc) {
    Device& device = *dc.device;
    SURFOBJ* surface = device.surface;
    auto start_banding = device.entry<PFN_DrvStartBanding>(INDEX_DrvStartBanding);
    auto next_band = device.entry<PFN_DrvNextBand>(INDEX_DrvNextBand);
    bool ok = true;
    check_abort_proc(dc, hdc);
    auto record = lookup<Surface>(device.hsurf);
    // A banding surface ends its page with its last band; others are sent whole.
    if (record && record->banding && start_banding && next_band) {
        POINTL origin{0, 0};
        if (!start_banding(surface, &origin)) return false;
        for (int band = 0; !(origin.x == -1 && origin.y == -1); ++band) {
            if (band == kMaxBands) {
                SetLastError(ERROR_INVALID_FUNCTION);
                return false;
            }
            if (!play_page(device, dc.page, origin)) ok = false;
            check_abort_proc(dc, hdc);
            if (!next_band(surface, &origin)) return false;
        }
        return ok;
    }
    if (!play_page(device, dc.page, POINTL{0, 0})) ok = false;
    if (auto send_page = device.entry<PFN_DrvSendPage>(INDEX_DrvSendPage)) {
        if (!send_page(surface)) ok = false;
    }
    return ok;
}

// Ends the driver's document and the spooler job, normally or aborted (the
// page in progress is then dropped and the driver sees the abort).
bool finish_document(Dc& dc, bool abort) {
    if (abort) {
        dc.device->aborted = true;
        dc.page.commands.clear();
        dc.page_open = false;
    }
    bool ok = true;
    if (auto end_doc = dc.device->entry<PFN_DrvEndDoc>(INDEX_DrvEndDoc)) {
        if (!end_doc(dc.device->surface, abort ? ED_ABORTDOC : 0)) ok = false;
    }
    if (dc.spooler_job) {
        if (abort) AbortPrinter(dc.printer);
        else if (!EndDocPrinter(dc.printer)) ok = false;
    }
    dc.spooler_job = false;
    dc.doc_started = false;
    dc.device->aborted = false;
    return ok || abort;
}

}  // namespace
}  // namespace qor::gdi

using namespace qor::gdi;

extern "C" {

QORAPI int SetAbortProc(HDC hdc, ABORTPROC proc) {
    return qor::guarded(SP_ERROR, [&]() -> int {
        return with_dc(hdc, SP_ERROR, [&](Dc& dc) {
            dc.abort_proc = proc;
            return 1;
        });
    });
}

QORAPI int StartDocW(HDC hdc, const DOCINFOW* doc) {
    return qor::guarded(SP_ERROR, [&]() -> int {
        return with_dc(hdc, SP_ERROR, [&](Dc& dc) {
            if (dc.canvas) return refuse(SP_ERROR);
            if (dc.doc_started) {
                SetLastError(ERROR_BUSY);
                return SP_ERROR;
            }
            std::u16string name = doc && doc->lpszDocName ? std::u16string(doc->lpszDocName) : u"";
            dc.device->aborted = false;
            dc.spooler_job = false;
            if (dc.printer) {
                DOC_INFO_1W info{};
                info.pDocName = name.data();
                std::u16string output = doc && doc->lpszOutput ? std::u16string(doc->lpszOutput) : u"";
                info.pOutputFile = output.empty() ? nullptr : output.data();
                std::u16string datatype = u"RAW";
                info.pDatatype = datatype.data();
                // The job carries the device mode the document is drawn with,
                // for the printer's driver to check before it is sent; a bare
                // record that sets no field asks for nothing and is not passed.
                auto* devmode = reinterpret_cast<DEVMODEW*>(dc.devmode.data());
                PRINTER_DEFAULTSW defaults{datatype.data(), devmode->dmFields ? devmode : nullptr, 0};
                if (!ResetPrinterW(dc.printer, &defaults)) return SP_ERROR;
                dc.job_id = StartDocPrinterW(dc.printer, 1, reinterpret_cast<LPBYTE>(&info));
                if (dc.job_id == 0) return SP_ERROR;
                dc.spooler_job = true;
            } else {
                dc.job_id = next_local_job++;
            }
            auto start_doc = dc.device->entry<PFN_DrvStartDoc>(INDEX_DrvStartDoc);
            if (start_doc && !start_doc(dc.device->surface, name.data(), dc.job_id)) {
                DWORD error = GetLastError();
                if (dc.spooler_job) AbortPrinter(dc.printer);
                dc.spooler_job = false;
                SetLastError(error ? error : ERROR_INVALID_FUNCTION);
                return SP_ERROR;
            }
            dc.doc_started = true;
            dc.page_open = false;
            dc.doc_name = name;
            return static_cast<int>(dc.job_id);
        });
    });
}

QORAPI int StartPage(HDC hdc) {
    return qor::guarded(SP_ERROR, [&]() -> int {
        return with_dc(hdc, SP_ERROR, [&](Dc& dc) {
            if (!dc.doc_started || dc.page_open) return refuse(SP_ERROR);
            auto start_page = dc.device->entry<PFN_DrvStartPage>(INDEX_DrvStartPage);
            if (start_page && !start_page(dc.device->surface)) return SP_ERROR;
            // The spooler counts the job's pages from these marks.
            if (dc.spooler_job && !StartPagePrinter(dc.printer)) return SP_ERROR;
            dc.page.commands.clear();
            dc.page_open = true;
            return 1;
        });
    });
}

QORAPI int EndPage(HDC hdc) {
    return qor::guarded(SP_ERROR, [&]() -> int {
        return with_dc(hdc, SP_ERROR, [&](Dc& dc) {
            if (!dc.page_open) return refuse(SP_ERROR);
            bool ok = band_page(dc, hdc);
            if (ok && dc.spooler_job && !EndPagePrinter(dc.printer)) ok = false;
            dc.page.commands.clear();
            dc.page_open = false;
            return ok ? 1 : SP_ERROR;
        });
    });
}

QORAPI int EndDoc(HDC hdc) {
    return qor::guarded(SP_ERROR, [&]() -> int {
        return with_dc(hdc, SP_ERROR, [&](Dc& dc) {
            if (!dc.doc_started) return refuse(SP_ERROR);
            bool ok = !dc.page_open || EndPage(hdc) != SP_ERROR;
            // A job its abort procedure cancelled is ended as cancelled, not completed.
            if (dc.device->aborted) {
                finish_document(dc, true);
                SetLastError(ERROR_PRINT_CANCELLED);
                return SP_ERROR;
            }
            return finish_document(dc, false) && ok ? 1 : SP_ERROR;
        });
    });
}

QORAPI int AbortDoc(HDC hdc) {
    return qor::guarded(SP_ERROR, [&]() -> int {
        return with_dc(hdc, SP_ERROR, [&](Dc& dc) {
            if (!dc.doc_started) return refuse(SP_ERROR);
            finish_document(dc, true);
            return 1;
        });
    });
}

}  // extern "C"
