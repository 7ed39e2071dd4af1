// CUPS jobs through the suite: lp -> private cupsd -> cups-filters -> the
// qor backend -> graphics engine, drivers, print service, language monitor
// -> the emulated printer's tickets.
#include "cups_fixture.h"

#include "common/exdevmode.h"
#include "qor/registry.h"
#include "qor/spooler.h"
#include "qoremu/control_client.h"

#include <cups/cups.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace qorcupstest {
namespace {

constexpr int kPhysWidth = 464, kPaperRows = 800;  // 58 x 100 mm

// Black boxes, a dark grey and a light grey on dot boundaries.
const std::string kReceipt =
    "0 g 10 12 200 30 re f 300 40 60 60 re f 0 700 464 20 re f\n"
    "0.2 g 40 200 150 150 re f 0.8 g 250 200 150 150 re f\n";

// A dark grey page, printed as a dense raster.
const std::string kDark = "0.3 g 16 0 432 800 re f\n";

long Ink(const e2e::Bitmap& b) {
    return std::count_if(b.grey.begin(), b.grey.end(), [](uint8_t v) { return v < 128; });
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Holds(const std::string& stream, std::initializer_list<uint8_t> bytes) {
    return stream.find(std::string(bytes.begin(), bytes.end())) != std::string::npos;
}

TEST_F(CupsQueue, PdfTicketEqualsTheSamePdfRenderedAndThresholded) {
    const std::string pdf = e2e::WriteFile("receipt.pdf", PdfInDots(kPhysWidth, kPaperRows, {kReceipt}));
    const CupsJob job = Print({"media=58x100mm", "QorDither=Threshold"}, pdf);
    ASSERT_EQ(job.state, IPP_JSTATE_COMPLETED) << job.message << cups_->error_log();
    const std::vector<e2e::Bitmap> tickets = Tickets(1);
    ASSERT_EQ(tickets.size(), 1u);
    const e2e::Bitmap& ticket = tickets[0];
    const e2e::Bitmap reference = RenderPdf(pdf);
    ASSERT_EQ(reference.width, kPhysWidth);
    ASSERT_EQ(ticket.width, kPhysWidth);
    // The printable area is the page less its centred margins; the printer
    // prints it from the ticket's first column.
    const int margin = (kPhysWidth - e2e::kWidth) / 2;
    // CUPS's Ghostscript filter is given the page size in whole points
    // (164 for a 164.57-point roll), so an edge may land a dot further out
    // than in the reference: a dot next to an edge may fall either way,
    // every other dot must match.
    const auto expected_at = [&](int x, int y) {
        return x >= 0 && x < e2e::kWidth && y >= 0 && y < reference.height && reference.ink(x + margin, y);
    };
    long differing = 0, on_edges = 0, ink = 0;
    std::string where;
    for (int y = 0; y < std::max(ticket.height, reference.height); ++y)
        for (int x = 0; x < ticket.width; ++x) {
            const bool expected = expected_at(x, y);
            const bool printed = y < ticket.height && ticket.ink(x, y);
            ink += expected;
            if (printed == expected) continue;
            const bool edge = expected_at(x - 1, y) != expected || expected_at(x + 1, y) != expected ||
                              expected_at(x, y - 1) != expected || expected_at(x, y + 1) != expected;
            if (edge) {
                ++on_edges;
            } else if (++differing < 20) {
                where += " (" + std::to_string(x) + "," + std::to_string(y) + (printed ? " ink)" : " white)");
            }
        }
    EXPECT_LT(on_edges, 1000) << "dots on edges";
    EXPECT_GT(ink, 40000);
    EXPECT_EQ(differing, 0) << "of " << ticket.width << "x" << ticket.height << " dots:" << where;
    EXPECT_EQ(ServiceJobs(), 0);
}

TEST_F(CupsQueue, MultiPagePdfGivesOneTicketPerPageWithTheConfiguredCut) {
    const std::string pdf = e2e::WriteFile(
        "pages.pdf", PdfInDots(kPhysWidth, kPaperRows, {"0 g 20 20 50 50 re f", "0 g 120 20 50 50 re f",
                                                         "0 g 220 20 50 50 re f"}));
    const CupsJob job = Print({"media=58x100mm", "QorCut=Partial"}, pdf);
    ASSERT_EQ(job.state, IPP_JSTATE_COMPLETED) << job.message;
    const std::vector<e2e::Bitmap> tickets = Tickets(3);
    ASSERT_EQ(tickets.size(), 3u);
    for (size_t i = 0; i < tickets.size(); ++i)
        EXPECT_TRUE(tickets[i].ink(static_cast<int>(20 + 100 * i) + 10 - 16, 40)) << "ticket " << i;
    EXPECT_EQ(job.pages, 3);
}

TEST_F(CupsQueue, PngAndPlainTextJobsPrint) {
    std::vector<uint8_t> rgb(200 * 120 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>((i / 3 % 200) < 100 ? 0 : 255);
    const std::string png = e2e::WriteRgbPng("half.png", 200, 120, rgb);
    EXPECT_EQ(Print({"media=58x100mm"}, png).state, IPP_JSTATE_COMPLETED);
    const std::string text = e2e::WriteFile("note.txt", "Thank you for your visit.\nTotal 12.50\n");
    EXPECT_EQ(Print({"media=58x100mm"}, text).state, IPP_JSTATE_COMPLETED);
    const std::vector<e2e::Bitmap> tickets = Tickets(2);
    ASSERT_EQ(tickets.size(), 2u);
    EXPECT_GT(Ink(tickets[0]), 5000);
    EXPECT_GT(Ink(tickets[1]), 100);
}

TEST_F(CupsQueue, EveryOptionReachesTheDeviceMode) {
    const std::string grey = e2e::WriteFile("grey.pdf", PdfInDots(kPhysWidth, kPaperRows, {"0.55 g 16 0 432 400 re f"}));
    // Dithering and brightness show in the dots of the same grey page.
    const auto ink_of = [&](const std::vector<std::string>& options, size_t ticket) {
        EXPECT_EQ(Print(options, grey).state, IPP_JSTATE_COMPLETED);
        const std::vector<e2e::Bitmap> tickets = Tickets(ticket);
        return tickets.size() >= ticket ? Ink(tickets[ticket - 1]) : -1;
    };
    const long threshold = ink_of({"media=58x100mm", "QorDither=Threshold"}, 1);
    const long diffusion = ink_of({"media=58x100mm", "QorDither=Diffusion"}, 2);
    const long bright = ink_of({"media=58x100mm", "QorDither=Diffusion", "QorBrightness=250"}, 3);
    EXPECT_EQ(threshold, 0) << "a light grey stays white at the threshold";
    EXPECT_GT(diffusion, 10000);
    EXPECT_LT(bright, diffusion * 9 / 10);

    // The others show in the printer's command stream of a kept job.
    ASSERT_EQ(qortest::run(qortest::bin_dir() + "/qorctl", {"set-printer", printstack::kPrinter, "+keep-printed"})
                  .status,
              0);
    ASSERT_EQ(Print({"media=60x100mm", "QorDensity=5", "QorQuality=High", "QorCut=None", "QorPageMode=Page",
                     "QorMediaKind=Kind1"},
                    grey)
                  .state,
              IPP_JSTATE_COMPLETED);
    std::vector<std::filesystem::path> kept;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(getenv("QOR_ROOT")) + "/spool/PRINTERS"))
        if (entry.path().extension() == ".SPL") kept.push_back(entry.path());
    ASSERT_EQ(kept.size(), 1u);
    const std::string stream = ReadAll(kept[0]);
    EXPECT_TRUE(Holds(stream, {0x1D, 0x45, 0x15})) << "high quality, density 5";
    EXPECT_TRUE(Holds(stream, {0x1B, 0x4C})) << "page mode";
    EXPECT_TRUE(Holds(stream, {0x1D, 0x0C})) << "black mark paper";
    EXPECT_FALSE(Holds(stream, {0x1D, 0x56})) << "no cut";
    EXPECT_TRUE(Holds(stream, {0x1D, 0x57, 448 & 0xFF, 448 >> 8}) || Holds(stream, {0x1B, 0x57}))
        << "the 60 mm paper's printable width";
}

// The queue's defaults are those the printer's interface driver gives a new
// document: the printer's stored device mode, and the cutter setting its
// Options page keeps as printer data.
TEST_F(CupsQueue, TheQueueDescriptionTakesThePrintersDriverDefaults) {
    std::u16string name(printstack::kPrinter, printstack::kPrinter + std::strlen(printstack::kPrinter));
    PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(name.data(), &printer, &access));
    EXDEVMODE devmode{};
    ASSERT_EQ(DocumentPropertiesW(nullptr, printer, name.data(), reinterpret_cast<DEVMODEW*>(&devmode), nullptr,
                                  DM_OUT_BUFFER),
              1)
        << "error " << GetLastError();
    devmode.Density = 5;
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> info(needed);
    ASSERT_TRUE(GetPrinterW(printer, 2, info.data(), needed, &needed));
    auto* level2 = reinterpret_cast<PRINTER_INFO_2W*>(info.data());
    level2->pDevMode = reinterpret_cast<DEVMODEW*>(&devmode);
    ASSERT_TRUE(SetPrinterW(printer, 2, info.data(), 0));
    DWORD no_cut = 2;
    std::u16string cutter = u"CUTTER";
    ASSERT_EQ(SetPrinterDataW(printer, cutter.data(), REG_DWORD, reinterpret_cast<BYTE*>(&no_cut), sizeof(no_cut)),
              DWORD(ERROR_SUCCESS));
    ClosePrinter(printer);

    const qortest::Output ppd = qortest::run(qortest::bin_dir() + "/qorcups", {"ppd", "--printer", printstack::kPrinter});
    ASSERT_EQ(ppd.status, 0) << ppd.err;
    EXPECT_NE(ppd.out.find("*DefaultQorDensity: 5\n"), std::string::npos);
    EXPECT_NE(ppd.out.find("*DefaultQorCut: None\n"), std::string::npos);
}

TEST_F(CupsQueue, PaperOutShowsInCupsAndTheJobWaitsThenPrintsOnce) {
    // A slow engine, so that the paper runs out while the job prints.
    ASSERT_TRUE(qoremu::control_command(control_, "print-speed 20"));
    const std::string pdf = e2e::WriteFile("wait.pdf", PdfInDots(kPhysWidth, kPaperRows, {kDark, kDark}));
    const int id = cups_->submit(kQueue, {"media=58x100mm", "QorDither=Diffusion"}, pdf);
    ASSERT_GT(id, 0);
    ASSERT_TRUE(qortest::eventually([&] { return Stat("raster-rows") > 0; }, std::chrono::seconds(30)))
        << cups_->error_log();
    ASSERT_TRUE(qoremu::control_command(control_, "raise paper-out"));
    const auto raised = std::chrono::steady_clock::now();
    bool shown = false;
    while (!shown && std::chrono::steady_clock::now() - raised < std::chrono::seconds(10)) {
        shown = Lpstat({"-l", "-p", kQueue}).find("media-empty") != std::string::npos;
        if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - raised);
    ASSERT_TRUE(shown) << Lpstat({"-l", "-p", kQueue}) << cups_->error_log();
    EXPECT_LT(waited.count(), 2000) << "ms until CUPS showed the paper out";
    std::this_thread::sleep_for(std::chrono::seconds(1));  // the job must not end while the paper is out
    EXPECT_LT(cups_->job(id).state, IPP_JSTATE_CANCELED) << "the job waits";
    ASSERT_TRUE(qoremu::control_command(control_, "print-speed 0"));
    ASSERT_TRUE(qoremu::control_command(control_, "clear paper-out"));
    const CupsJob job = cups_->wait_done(id);
    EXPECT_EQ(job.state, IPP_JSTATE_COMPLETED) << job.message;
    EXPECT_TRUE(spooler_.wait_idle(printstack::kPrinter));
    EXPECT_EQ(Tickets(2).size(), 2u) << "printed exactly once";
    EXPECT_EQ(Lpstat({"-l", "-p", kQueue}).find("media-empty"), std::string::npos);
}

TEST_F(CupsQueue, AJobOfSeveralFilesPrintsTheFirstAndSaysSo) {
    const std::string first = e2e::WriteFile("a.pdf", PdfInDots(kPhysWidth, kPaperRows, {"0 g 20 20 50 50 re f"}));
    const std::string second = e2e::WriteFile("b.pdf", PdfInDots(kPhysWidth, kPaperRows, {"0 g 120 20 50 50 re f"}));
    const qortest::Output out = cups_->run("lp", {"-d", kQueue, first, second});
    ASSERT_EQ(out.status, 0) << out.err;
    const int id = std::atoi(out.out.c_str() + out.out.rfind('-') + 1);
    const CupsJob job = cups_->wait_done(id);
    EXPECT_EQ(job.state, IPP_JSTATE_ABORTED);
    EXPECT_NE(job.message.find("more than one document"), std::string::npos) << job.message;
    EXPECT_EQ(Tickets(1).size(), 1u);
}

TEST_F(CupsQueue, BadJobsEndWithAClearErrorAndLeaveNothingQueued) {
    const std::string corrupt = e2e::WriteFile("corrupt.pdf", "%PDF-1.4\n1 0 obj\n<</Type/Catalog/Pages 9 0 R\n");
    const CupsJob broken = Print({"media=58x100mm"}, corrupt);
    EXPECT_EQ(broken.state, IPP_JSTATE_ABORTED) << broken.message;

    const std::string pdf = e2e::WriteFile("ok.pdf", PdfInDots(kPhysWidth, kPaperRows, {"0 g 20 20 50 50 re f"}));
    const CupsJob unknown = Print({"QorSparkle=On"}, pdf);
    EXPECT_EQ(unknown.state, IPP_JSTATE_ABORTED);
    EXPECT_NE(unknown.message.find("QorSparkle"), std::string::npos) << unknown.message;
    const CupsJob bad_choice = Print({"QorDither=Wobbly"}, pdf);
    EXPECT_EQ(bad_choice.state, IPP_JSTATE_ABORTED);
    EXPECT_NE(bad_choice.message.find("Wobbly"), std::string::npos) << bad_choice.message;

    ASSERT_EQ(qortest::run(qortest::bin_dir() + "/qorctl", {"remove-printer", printstack::kPrinter}).status, 0);
    const CupsJob orphan = Print({}, pdf);
    EXPECT_EQ(orphan.state, IPP_JSTATE_ABORTED);
    EXPECT_NE(orphan.message.find("does not exist"), std::string::npos) << orphan.message;

    EXPECT_EQ(Lpstat({"-o", kQueue}), "") << "nothing left in the CUPS queue";
    EXPECT_TRUE(Lpstat({"-p", kQueue}).find("enabled") != std::string::npos) << "the queue goes on";
    EXPECT_TRUE(qoremu::list_tickets(tickets_).empty());
}

}  // namespace
}  // namespace qorcupstest
