#include "cups_fixture.h"

#include "qoremu/control_client.h"

#include <cstdio>
#include <cups/cups.h>

namespace qorcupstest {

std::string PdfInDots(int width, int height, const std::vector<std::string>& pages) {
    char box[64];
    std::snprintf(box, sizeof box, "[0 0 %.4f %.4f]", width * 72.0 / 203.0, height * 72.0 / 203.0);
    std::vector<std::string> objects = {"<</Type/Catalog/Pages 2 0 R>>", ""};
    std::string kids;
    for (size_t i = 0; i < pages.size(); ++i) {
        const size_t page = objects.size() + 1;
        kids += std::to_string(page) + " 0 R ";
        objects.push_back("<</Type/Page/Parent 2 0 R/MediaBox" + std::string(box) + "/Contents " +
                          std::to_string(page + 1) + " 0 R>>");
        // Dots, origin at the top-left corner, y downwards.
        const std::string content = "0.35468 0 0 -0.35468 0 " + std::to_string(height * 72.0 / 203.0) + " cm\n" +
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
    const std::string png = path + ".reference.png";
    const qortest::Output out = qortest::run("/usr/bin/gs", {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pnggray",
                                                             "-r203", "-sOutputFile=" + png, path});
    if (out.status != 0) {
        ADD_FAILURE() << "gs could not render " << path << ": " << out.err;
        return {};
    }
    return e2e::ReadTicket(png);
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
