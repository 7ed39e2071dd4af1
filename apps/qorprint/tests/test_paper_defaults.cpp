// The printer's own paper by default: chosen from what the emulated 58 mm
// printer reports when it is added, and the only papers a job may ask for.
#include "e2e_fixture.h"

#include "qoremu/control_client.h"

#include "common/exdevmode.h"
#include "common/setbank.h"
#include "qor/registry.h"
#include "qor/spooler.h"

#include <cstdlib>
#include <cstring>

namespace {

using namespace e2e;

using PaperDefaults = PrintStack;

struct Stored {
    bool has_devmode = false;
    EXDEVMODE devmode{};
    qor::setbank::Bytes settings{};
    bool has_settings = false;
};

Stored ReadStored(const std::string& printer_name) {
    Stored stored;
    std::u16string name(printer_name.begin(), printer_name.end());
    HANDLE printer = nullptr;
    EXPECT_TRUE(OpenPrinterW(name.data(), &printer, nullptr)) << printer_name;
    if (!printer) return stored;
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    if (needed && GetPrinterW(printer, 2, buffer.data(), needed, &needed)) {
        const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
        if (info->pDevMode && size_t{info->pDevMode->dmSize} + info->pDevMode->dmDriverExtra >= sizeof(EXDEVMODE)) {
            std::memcpy(&stored.devmode, info->pDevMode, sizeof(EXDEVMODE));
            stored.has_devmode = true;
        }
    }
    std::u16string value = qor::setbank::kPrinterDataName;
    DWORD type = 0;
    stored.has_settings = GetPrinterDataW(printer, value.data(), &type, stored.settings.data(), 4, &needed) ==
                              ERROR_SUCCESS &&
                          type == REG_BINARY && needed == 4;
    ClosePrinter(printer);
    return stored;
}

void ExpectRollPaper(const Stored& stored, WORD code, DWORD roll_mm, LONG area_width,
                     const qor::setbank::Bytes& settings) {
    ASSERT_TRUE(stored.has_devmode);
    // Fields of the packed record are copied out before they are compared.
    const WORD signature = stored.devmode.SettingsSignature, paper_code = stored.devmode.PaperCode;
    const SHORT paper_size = stored.devmode.dm.dmPaperSize;
    EXPECT_EQ(signature, EXDM_SETTINGS_SIGNATURE);
    EXPECT_EQ(paper_size, static_cast<SHORT>(code));
    EXPECT_EQ(paper_code, code);
    const PaperMetrix paper = stored.devmode.CurrentPaper;
    EXPECT_EQ(paper.PaperWidth, roll_mm);
    EXPECT_EQ(paper.AreaWidth, area_width);
    ASSERT_TRUE(stored.has_settings);
    EXPECT_EQ(stored.settings, settings);
}

TEST_F(PaperDefaults, AddingThePrinterStoresItsRollsPaperAsItsDefault) {
    // The D510x's factory settings: 58 mm paper; the longest 58 mm paper is 58 x 297 mm.
    ExpectRollPaper(ReadStored(printstack::kPrinter), 258, 58, kWidth, {0x18, 0x07, 0x00, 0xC8});

    // qorctl add-printer does the same, here for a 112 mm D610x on COM2.
    const std::string runtime = std::getenv("QOR_RUNTIME_DIR");
    qortest::Child wide = qortest::Child::spawn(
        "qoremu", {"--name", "wide", "--model", "D610x", "--tickets", qortest::sandbox() + "/tickets-wide", "--state",
                   "none"});
    const std::string socket = runtime + "/qoremu/wide.sock";
    ASSERT_TRUE(qoremu::wait_for_path(socket));
    qortest::Child port = qortest::Child::spawn(
        "qorctl", {"configure-port", "COM2", "--device", "emu:" + socket, "--settings", "38400,n,8,1"});
    ASSERT_EQ(port.wait(std::chrono::seconds(30)), 0);
    qortest::Child add = qortest::Child::spawn("qorctl", {"add-printer", "Wide ZEM", "COM2", printstack::kDriver});
    ASSERT_EQ(add.wait(std::chrono::seconds(30)), 0);
    ExpectRollPaper(ReadStored("Wide ZEM"), 269, 112, 832, {0x18, 0x07, 0x06, 0xC8});
    spooler_.stop();
    wide.kill();
}

TEST_F(PaperDefaults, WideImageArrivesWholeScaledToThePrintersPaper) {
    // 800 dots wide: bars 40 dots wide, and a solid edge on the right.
    const int width = 800, height = 200;
    std::vector<uint8_t> rgb(static_cast<size_t>(width * height * 3), 255);
    auto black = [&](int x, int y) { return x >= 770 || (x / 40) % 2 == 0 || (y >= 150 && x < 100); };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (black(x, y)) std::fill_n(&rgb[static_cast<size_t>((y * width + x) * 3)], 3, 0);
    const std::string image = WriteRgbPng("wide.png", width, height, rgb);
    // No --paper: the printer's own 58 mm paper.
    ASSERT_EQ(Print({"--dither", "threshold", image}), 0);

    const Bitmap ticket = FirstTicket();
    const int scaled_height = height * kWidth / width;  // 108
    ASSERT_GE(ticket.height, scaled_height);
    ASSERT_GE(ticket.width, kWidth);
    // The image scaled here by averaging each destination dot's source area;
    // dots whose area straddles an edge may go either way.
    int mismatches = 0, undecided = 0;
    for (int y = 0; y < scaled_height; ++y)
        for (int x = 0; x < ticket.width; ++x) {
            double ink = 0;
            if (x < kWidth) {
                const double x0 = double(x) * width / kWidth, x1 = double(x + 1) * width / kWidth;
                const double y0 = double(y) * height / scaled_height, y1 = double(y + 1) * height / scaled_height;
                double covered = 0, area = 0;
                for (int sy = int(y0); sy < y1; ++sy)
                    for (int sx = int(x0); sx < x1; ++sx) {
                        const double w = (std::min<double>(sx + 1, x1) - std::max<double>(sx, x0)) *
                                         (std::min<double>(sy + 1, y1) - std::max<double>(sy, y0));
                        area += w;
                        if (black(sx, sy)) covered += w;
                    }
                ink = covered / area;
            }
            if (ink > 0.2 && ink < 0.8) {
                ++undecided;
                continue;
            }
            if (ticket.ink(x, y) != (ink >= 0.8) && ++mismatches <= 5)
                ADD_FAILURE() << "dot " << x << "," << y << " should be " << (ink >= 0.8 ? "black" : "white");
        }
    EXPECT_EQ(mismatches, 0);
    EXPECT_LT(undecided, scaled_height * 40);  // only the bars' edges
    // The right edge arrived: the last printable dots carry ink on every row.
    for (int y = 0; y < scaled_height; ++y) EXPECT_TRUE(ticket.ink(kWidth - 1, y)) << "row " << y;
}

TEST_F(PaperDefaults, OnlyPapersThatFitTheRollAreOfferedOrTaken) {
    const Outcome list = RunQorprint({"-P", printstack::kPrinter, "--list-papers"});
    const std::string& papers = list.output;
    EXPECT_EQ(list.status, 0);
    // From the driver's capabilities: code, name and size, without the
    // user-defined paper, which --paper cannot name.
    EXPECT_NE(papers.find("257\t58 x 100 mm\t58 x 100 mm\n"), std::string::npos) << papers;
    EXPECT_EQ(papers.find("Custom paper size"), std::string::npos) << papers;
    EXPECT_NE(papers.find("258\t58 x 297 mm"), std::string::npos) << papers;
    EXPECT_EQ(papers.find("768"), std::string::npos) << papers;
    EXPECT_EQ(papers.find("60 x"), std::string::npos) << papers;

    const std::string text = WriteFile("hello.txt", "hello\n");
    const Outcome wide = RunQorprint({"-q", "-P", printstack::kPrinter, "--paper", "768", text});
    EXPECT_EQ(wide.status, 2);
    EXPECT_NE(wide.errors.find("80 mm"), std::string::npos) << wide.errors;
    EXPECT_NE(wide.errors.find("58 mm"), std::string::npos) << wide.errors;
    EXPECT_TRUE(spooler_.wait_idle(printstack::kPrinter));
    EXPECT_EQ(Stat("raster-rows"), 0);
    EXPECT_EQ(Stat("characters"), 0);
}

TEST_F(PaperDefaults, UnscaledImageWiderThanThePaperIsReportedCut) {
    const int width = 500, height = 20;
    std::vector<uint8_t> rgb(static_cast<size_t>(width * height * 3), 0);
    const std::string image = WriteRgbPng("unscaled.png", width, height, rgb);
    // Reported even when progress is not.
    const Outcome run = RunQorprint({"-q", "-P", printstack::kPrinter, "--paper", kPaper, "--no-scale", "--dither",
                                     "threshold", image});
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_NE(run.errors.find("unscaled.png"), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("right 68 dots are not printed"), std::string::npos) << run.errors;
    const Bitmap ticket = FirstTicket();
    ASSERT_GE(ticket.height, height);
    for (int x = 0; x < kWidth; ++x) EXPECT_TRUE(ticket.ink(x, height / 2)) << x;  // one dot per pixel
    for (int x = 0; x < kWidth; ++x) EXPECT_FALSE(ticket.ink(x, height + 2)) << x;
}

}  // namespace
