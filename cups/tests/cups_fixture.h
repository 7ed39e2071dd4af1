// The demo printer on an emulator (as qorprint's end-to-end tests set it
// up), a private CUPS scheduler, and the printer's CUPS queue made with
// `qorctl cups-add`.
#pragma once

#include "e2e_fixture.h"
#include "private_cupsd.h"

#include <memory>
#include <string>
#include <vector>

namespace qorcupstest {

inline constexpr const char* kQueue = "QOR_ZEM-Dx10P";

// A PDF of pages whose content streams draw in dots (203 per inch) from the
// top-left corner of a `width` x `height` dot page.
std::string PdfInDots(int width, int height, const std::vector<std::string>& pages);
// Greys of a PDF's first page rendered at 203 dpi by Ghostscript,
// independently of CUPS.
e2e::Bitmap RenderPdf(const std::string& path);

class CupsQueue : public e2e::PrintStack {
protected:
    void SetUp() override;
    void TearDown() override;

    // Submits and waits until CUPS has finished the job.
    CupsJob Print(const std::vector<std::string>& options, const std::string& file);
    std::vector<e2e::Bitmap> Tickets(size_t count);
    std::string Lpstat(const std::vector<std::string>& args);
    // Jobs in the print service's queue of the demo printer.
    int ServiceJobs();

    std::unique_ptr<PrivateCupsd> cups_;
};

}  // namespace qorcupstest
