#include "cups_fixture.h"

#include "qoremu/control_client.h"

#include <cstdio>
#include <cups/cups.h>
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

namespace qorcupstest {

std::string PdfInDots(int width, int height, const std::vector<std::string>& pages) {
    char box[64];
    // The page size as the queue's description writes it, so that CUPS
    // neither scales nor moves the page.
    std::snprintf(box, sizeof box, "[0 0 %.2f %.2f]", width * 72.0 / 203.0, height * 72.0 / 203.0);
    std::vector<std::string> objects = {"<</Type/Catalog/Pages 2 0 R>>", ""};
    std::string kids;
    for (size_t i = 0; i < pages.size(); ++i) {
        const size_t page = objects.size() + 1;
        kids += std::to_string(page) + " 0 R ";
        objects.push_back("<</Type/Page/Parent 2 0 R/MediaBox" + std::string(box) + "/Contents " +
                          std::to_string(page + 1) + " 0 R>>");
        // Dots, origin at the top-left corner, y downwards.
        const std::string content = "0.3546798 0 0 -0.3546798 0 " + std::to_string(height * 72.0 / 203.0) + " cm\n" +
                                    pages[i];
        objects.push_back("<</Length " + std::to_string(content.size()) + ">>stream\n" + content + "\nendstream");
    }
    objects[1] = "<</Type/Pages/Kids[" + kids + "]/Count " + std::to_string(pages.size()) + ">>";
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<</Size " + std::to_string(objects.size() + 1) + "/Root 1 0 R>>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

e2e::Bitmap RenderPdf(const std::string& path) {
    // Ghostscript's raster device fills paths as the queue's renderer does
    // (any part of a dot), so edges agree dot for dot.
    const std::string raster = path + ".reference.ras";
    const qortest::Output out = qortest::run(
        "/usr/bin/gs", {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=cups", "-r203", "-dcupsColorSpace=0",
                        "-dcupsBitsPerColor=8", "-dcupsColorOrder=0", "-sOutputFile=" + raster, path});
    e2e::Bitmap bitmap;
    const int fd = open(raster.c_str(), O_RDONLY);
    cups_raster_t* reader = out.status == 0 && fd >= 0 ? cupsRasterOpen(fd, CUPS_RASTER_READ) : nullptr;
    cups_page_header2_t header;
    if (reader && cupsRasterReadHeader2(reader, &header) && header.cupsBitsPerPixel == 8) {
        bitmap.width = static_cast<int>(header.cupsWidth);
        bitmap.height = static_cast<int>(header.cupsHeight);
        std::vector<uint8_t> rows(static_cast<size_t>(header.cupsBytesPerLine) * header.cupsHeight);
        if (cupsRasterReadPixels(reader, rows.data(), static_cast<unsigned>(rows.size())) == rows.size()) {
            for (unsigned y = 0; y < header.cupsHeight; ++y)
                bitmap.grey.insert(bitmap.grey.end(), rows.begin() + y * header.cupsBytesPerLine,
                                   rows.begin() + y * header.cupsBytesPerLine + header.cupsWidth);
        }
    }
    if (reader) cupsRasterClose(reader);
    if (fd >= 0) close(fd);
    if (bitmap.grey.size() != static_cast<size_t>(bitmap.width) * static_cast<size_t>(bitmap.height) ||
        bitmap.grey.empty()) {
        ADD_FAILURE() << "gs could not render " << path << ": " << out.err;
        return {};
    }
    return bitmap;
}

void CupsQueue::SetUp() {
    e2e::PrintStack::SetUp();
    if (HasFatalFailure()) return;
    cups_ = std::make_unique<PrivateCupsd>();
    if (!cups_->unavailable().empty()) GTEST_SKIP() << "no CUPS test: " << cups_->unavailable();
    const qortest::Output added = qortest::run(qortest::bin_dir() + "/qorctl", {"cups-add", printstack::kPrinter});
    ASSERT_EQ(added.status, 0) << added.out << added.err << cups_->error_log();
    ASSERT_NE(added.out.find(kQueue), std::string::npos) << added.out;
}

void CupsQueue::TearDown() {
    if (cups_) cups_->stop();
    e2e::PrintStack::TearDown();
}

CupsJob CupsQueue::Print(const std::vector<std::string>& options, const std::string& file) {
    const int id = cups_->submit(kQueue, options, file);
    EXPECT_GT(id, 0) << "lp refused " << file;
    if (id <= 0) return {};
    const CupsJob job = cups_->wait_done(id);
    EXPECT_GE(job.state, IPP_JSTATE_CANCELED) << "job " << id << " did not end: " << job.message;
    return job;
}

std::vector<e2e::Bitmap> CupsQueue::Tickets(size_t count) {
    EXPECT_TRUE(qoremu::wait_for_tickets(tickets_, count, std::chrono::seconds(60)));
    std::vector<e2e::Bitmap> tickets;
    for (const std::string& path : qoremu::list_tickets(tickets_)) tickets.push_back(e2e::ReadTicket(path));
    return tickets;
}

std::string CupsQueue::Lpstat(const std::vector<std::string>& args) { return cups_->run("lpstat", args).out; }

int CupsQueue::ServiceJobs() {
    const qortest::Output out =
        qortest::run(qortest::bin_dir() + "/qorctl", {"jobs", printstack::kPrinter, "--json"});
    int count = 0;
    for (size_t at = out.out.find("\"id\""); at != std::string::npos; at = out.out.find("\"id\"", at + 1)) ++count;
    return count;
}

}  // namespace qorcupstest
