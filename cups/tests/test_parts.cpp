// The backend's parts without CUPS running: device URIs, queue names, the
// queue description, page-header settings, raster checks, condition
// reasons and job options.
#include "device_uri.h"
#include "job_options.h"
#include "option_defaults.h"
#include "page_settings.h"
#include "printer_state.h"
#include "queue_name.h"
#include "queue_ppd.h"
#include "raster_job.h"
#include "run_as.h"

#include "common/status.h"
#include "qor/spooler.h"

#include "qortest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <algorithm>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace qorcups;

std::unique_ptr<PpdBlock> Description() {
    auto block = std::make_unique<PpdBlock>();
    std::memset(block.get(), 0, sizeof(PpdBlock));
    PPD_AttachTables(block.get());
    const std::string path = QOR_DATA_DIR "/qorn5001.ppd";
    const std::u16string wide(path.begin(), path.end());
    EXPECT_TRUE(PPD_Init(&block->data, wide.c_str()));
    return block;
}

cups_page_header2_t Header() {
    cups_page_header2_t header{};
    header.cupsColorSpace = CUPS_CSPACE_W;
    header.cupsBitsPerColor = 8;
    header.cupsBitsPerPixel = 8;
    header.HWResolution[0] = header.HWResolution[1] = 203;
    header.cupsWidth = header.cupsBytesPerLine = 464;
    header.cupsHeight = 800;
    return header;
}

TEST(CupsParts, DeviceUriRoundTripsAndRefusesWhatItCannotRead) {
    const DeviceUri uri{"QOR ZEM-Dx10P", "/tmp/a b/root", "/run/q&r"};
    const std::string text = FormatDeviceUri(uri);
    EXPECT_EQ(text, "qor://QOR%20ZEM-Dx10P?root=/tmp/a%20b/root&runtime=/run/q%26r");
    const auto back = ParseDeviceUri(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->printer, uri.printer);
    EXPECT_EQ(back->root, uri.root);
    EXPECT_EQ(back->runtime, uri.runtime);
    const auto bare = ParseDeviceUri("qor://Kiosk");
    ASSERT_TRUE(bare);
    EXPECT_TRUE(bare->root.empty() && bare->runtime.empty());
    for (const char* bad : {"", "ipp://Kiosk", "qor://", "qor://%", "qor://a%2", "qor://a%zz", "qor://a%00b",
                            "qor://a?root", "qor://a?colour=red", "qor://a?root=%"})
        EXPECT_FALSE(ParseDeviceUri(bad)) << bad;
}

TEST(CupsParts, QueueNamesAreOnesCupsTakes) {
    EXPECT_EQ(QueueName("QOR ZEM-Dx10P"), "QOR_ZEM-Dx10P");
    EXPECT_EQ(QueueName("a/b#c?d\"e'f\\g\th"), "a_b_c_d_e_f_g_h");
    EXPECT_EQ(QueueName("   "), "");
    EXPECT_EQ(QueueName(std::string(300, 'x')).size(), 127u);
}

TEST(CupsParts, QueueDescriptionOffersThePapersAndTheDeviceModeDefaults) {
    auto ppd = Description();
    EXDEVMODE defaults;
    ASSERT_TRUE(DeviceModeDefaults(ppd->data, u"Kiosk", &defaults));
    const std::string text = WriteQueuePpd(ppd->data, {"ZEM-D510x", "QOR ZEM-D510x"}, defaults);
    EXPECT_NE(text.find("*DefaultPageSize: 80x297mm\n"), std::string::npos);  // the description's 768
    EXPECT_NE(text.find("*PageSize 58x100mm/58 x 100 mm: \"<</PageSize[164.57 283.74]/ImagingBBox null/cupsInteger7 "
                        "258>>setpagedevice\""),
              std::string::npos);
    EXPECT_NE(text.find("*ImageableArea 58x100mm/58 x 100 mm: \"5.67 0 158.90 283.74\""), std::string::npos);
    EXPECT_NE(text.find("*PageSize 76x297mm/76.2 x 297 mm"), std::string::npos);
    EXPECT_NE(text.find("*DefaultQorDither: Dispersed\n"), std::string::npos);
    EXPECT_NE(text.find("*QorDither Threshold/Threshold: \"<</cupsInteger0 2>>setpagedevice\""), std::string::npos);
    EXPECT_NE(text.find("*DefaultQorBrightness: 150\n"), std::string::npos);
    EXPECT_NE(text.find("*QorBrightness 250/250"), std::string::npos);
    EXPECT_EQ(text.find("*QorBrightness 260/"), std::string::npos);
    EXPECT_NE(text.find("*DefaultQorDensity: 3\n"), std::string::npos);
    EXPECT_NE(text.find("*DefaultQorCut: Full\n"), std::string::npos);
    EXPECT_NE(text.find("*QorMediaKind Kind1/Black mark paper"), std::string::npos);
    EXPECT_NE(text.find("*cupsFilter: \"application/vnd.cups-raster 0 -\""), std::string::npos);

    // Other defaults follow the device mode given.
    defaults.dm.dmDitherType = 5;
    defaults.Cut = 7;
    defaults.CurrentPaper = ppd->data.pPaper[1];
    const std::string changed = WriteQueuePpd(ppd->data, {"ZEM-D510x", "QOR ZEM-D510x"}, defaults);
    EXPECT_NE(changed.find("*DefaultQorDither: Diffusion\n"), std::string::npos);
    EXPECT_NE(changed.find("*DefaultQorCut: None\n"), std::string::npos);
    EXPECT_NE(changed.find("*DefaultPageSize: 58x100mm\n"), std::string::npos);
}

TEST(CupsParts, PageHeaderSettingsReachTheDeviceModeWithinTheirRanges) {
    auto ppd = Description();
    EXDEVMODE devmode;
    ASSERT_TRUE(DeviceModeDefaults(ppd->data, u"Kiosk", &devmode));
    cups_page_header2_t header = Header();
    PageSettings settings;
    std::string error;
    ASSERT_TRUE(ReadPageSettings(header, ppd->data, &settings, &error)) << error;
    EXPECT_FALSE(settings.dither || settings.paper || settings.cut);  // nothing given

    header.cupsInteger[kSlotDither] = 1 + 1;
    header.cupsInteger[kSlotBright] = 200 + 1;
    header.cupsInteger[kSlotDensity] = 6 + 1;
    header.cupsInteger[kSlotQuality] = 1 + 1;
    header.cupsInteger[kSlotCut] = 1 + 1;
    header.cupsInteger[kSlotMode] = 1 + 1;
    header.cupsInteger[kSlotKind] = 2 + 1;
    header.cupsInteger[kSlotPaper] = 259 + 1;
    ASSERT_TRUE(ReadPageSettings(header, ppd->data, &settings, &error)) << error;
    ASSERT_TRUE(ApplyPageSettings(settings, header, ppd->data, &devmode, &error)) << error;
    EXPECT_EQ(devmode.dm.dmDitherType, 1u);
    EXPECT_EQ(devmode.Bright, 200);
    EXPECT_EQ(devmode.Density, 6);
    EXPECT_EQ(devmode.Quality, 1);
    EXPECT_EQ(devmode.Cut, 1);
    EXPECT_EQ(devmode.Mode, 1);
    EXPECT_EQ(devmode.Kind, 2);
    EXPECT_EQ(devmode.PaperCode, 259);
    EXPECT_EQ(devmode.dm.dmPaperSize, 259);
    EXPECT_EQ(devmode.CurrentPaper.AreaWidth, 448);

    // Values outside the printer's ranges, and unknown papers, are refused.
    for (auto [slot, value] : {std::pair{kSlotDither, 6u}, {kSlotBright, 251u}, {kSlotBright, 49u},
                               {kSlotDensity, 7u}, {kSlotCut, 3u}, {kSlotMode, 2u}, {kSlotQuality, 0xFFFFFFFEu}}) {
        cups_page_header2_t bad = Header();
        bad.cupsInteger[slot] = value + 1;
        EXPECT_FALSE(ReadPageSettings(bad, ppd->data, &settings, &error)) << slot << "=" << value;
    }
    cups_page_header2_t unknown = Header();
    unknown.cupsInteger[kSlotPaper] = 999 + 1;
    ASSERT_TRUE(ReadPageSettings(unknown, ppd->data, &settings, &error));
    EXPECT_FALSE(ApplyPageSettings(settings, unknown, ppd->data, &devmode, &error));
    EXPECT_NE(error.find("999"), std::string::npos);
}

TEST(CupsParts, WithoutAPaperCodeThePageSizePicksThePaper) {
    auto ppd = Description();
    EXDEVMODE devmode;
    ASSERT_TRUE(DeviceModeDefaults(ppd->data, u"Kiosk", &devmode));
    cups_page_header2_t header = Header();
    header.PageSize[0] = 216;  // 76.2 mm
    header.PageSize[1] = 283;  // 100 mm
    PageSettings settings;
    std::string error;
    ASSERT_TRUE(ApplyPageSettings(settings, header, ppd->data, &devmode, &error));
    EXPECT_EQ(devmode.PaperCode, 263);
    // A size the description lacks keeps the device mode's paper.
    header.PageSize[0] = 612;
    ASSERT_TRUE(ApplyPageSettings(settings, header, ppd->data, &devmode, &error));
    EXPECT_EQ(devmode.PaperCode, 263);
}

TEST(CupsParts, RasterPagesMustBeGreyAt203DpiAndWithinBounds) {
    std::string error;
    EXPECT_TRUE(CheckRasterHeader(Header(), &error)) << error;
    const auto refused = [&](auto change) {
        cups_page_header2_t header = Header();
        change(header);
        return !CheckRasterHeader(header, &error);
    };
    EXPECT_TRUE(refused([](auto& h) { h.cupsColorSpace = CUPS_CSPACE_RGB; }));
    EXPECT_TRUE(refused([](auto& h) { h.cupsBitsPerPixel = 1; }));
    EXPECT_TRUE(refused([](auto& h) { h.HWResolution[0] = 300; }));
    EXPECT_TRUE(refused([](auto& h) { h.cupsWidth = 0; }));
    EXPECT_TRUE(refused([](auto& h) { h.cupsHeight = kMaxRasterHeight + 1; }));
    EXPECT_TRUE(refused([](auto& h) { h.cupsWidth = kMaxRasterWidth + 1; }));
    EXPECT_TRUE(refused([](auto& h) { h.cupsBytesPerLine = h.cupsWidth - 1; }));
    EXPECT_TRUE(refused([](auto& h) { h.cupsColorOrder = CUPS_ORDER_BANDED; }));

    EXPECT_EQ(PrintableColumns(464, 432).first, 16u);
    EXPECT_EQ(PrintableColumns(464, 432).count, 432u);
    EXPECT_EQ(PrintableColumns(400, 432).first, 0u);
    EXPECT_EQ(PrintableColumns(400, 432).count, 400u);
}

TEST(CupsParts, DamagedOrEmptyRasterStreamsPrintNothing) {
    auto ppd = Description();
    RasterJob job;
    job.printer = u"Nobody";
    job.ppd = &ppd->data;
    const std::string path = qortest::sandbox() + "/junk.ras";
    for (const std::string& bytes : {std::string(), std::string("RaS2"), std::string("hello, printer")}) {
        std::ofstream(path, std::ios::binary) << bytes;
        const int fd = open(path.c_str(), O_RDONLY);
        RasterOutcome outcome;
        std::string error;
        EXPECT_FALSE(PrintRaster(fd, job, nullptr, &outcome, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(outcome.job_id, 0u);
        close(fd);
    }
}

TEST(CupsParts, ConditionsBecomeStateReasonsReportedOnChange) {
    using namespace qor::status;
    EXPECT_TRUE(StateReasons(0).empty());
    EXPECT_EQ(StateReasons(kPaperOut | kPaperNearEnd),
              (std::set<std::string>{"media-empty-error", "media-low-report"}));
    EXPECT_EQ(StateReasons(kCoverOpen | kPaperJam | kOffline),
              (std::set<std::string>{"cover-open-error", "media-jam-error", "offline-report"}));
    EXPECT_EQ(StateReasons(PRINTER_STATUS_NOT_AVAILABLE), (std::set<std::string>{"offline-report"}));

    StateReporter reporter;
    EXPECT_EQ(reporter.Update(StateReasons(kPaperNearEnd)), "STATE: +media-low-report\n");
    EXPECT_EQ(reporter.Update(StateReasons(kPaperNearEnd)), "");
    EXPECT_EQ(reporter.Update(StateReasons(kPaperOut)), "STATE: -media-low-report\nSTATE: +media-empty-error\n");
    EXPECT_EQ(reporter.Clear(), "STATE: -media-empty-error\n");
    EXPECT_EQ(reporter.Clear(), "");
}

TEST(CupsParts, JobOptionsAreCheckedAgainstTheQueue) {
    auto ppd = Description();
    EXDEVMODE defaults;
    ASSERT_TRUE(DeviceModeDefaults(ppd->data, u"Kiosk", &defaults));
    const std::string path = qortest::sandbox() + "/queue.ppd";
    std::ofstream(path) << WriteQueuePpd(ppd->data, {"ZEM-D510x", "QOR ZEM-D510x"}, defaults);
    std::string error;
    EXPECT_TRUE(CheckJobOptions("QorDither=Diffusion QorBrightness=200 PageSize=58x100mm job-uuid=x media=a4",
                                path.c_str(), &error))
        << error;
    EXPECT_FALSE(CheckJobOptions("QorDither=Sparkly", path.c_str(), &error));
    EXPECT_NE(error.find("Sparkly"), std::string::npos);
    EXPECT_FALSE(CheckJobOptions("QorBrightness=255", path.c_str(), &error));
    EXPECT_FALSE(CheckJobOptions("qorglitter=1", path.c_str(), &error));
    EXPECT_NE(error.find("qorglitter"), std::string::npos);
    EXPECT_FALSE(CheckJobOptions("QorDither=Threshold", nullptr, &error));
    EXPECT_TRUE(CheckJobOptions("", nullptr, &error));
}

// The groups the account database gives `user`, sorted.
std::vector<gid_t> GroupsOf(const passwd& user) {
    int count = 64;
    std::vector<gid_t> groups(count);
    if (getgrouplist(user.pw_name, user.pw_gid, groups.data(), &count) < 0) groups.resize(count);
    getgrouplist(user.pw_name, user.pw_gid, groups.data(), &count);
    groups.resize(count);
    std::sort(groups.begin(), groups.end());
    return groups;
}

TEST(CupsParts, TheBackendGivesUpRootForTheAccountWithAllItsGroupsForGood) {
    std::string error;
    EXPECT_FALSE(BecomeUser("no-such-account-here", &error));
    EXPECT_NE(error.find("no-such-account-here"), std::string::npos) << error;
    if (geteuid() != 0) GTEST_SKIP() << "changing identity needs root";

    // An account with a group besides its own if there is one (lp is in qor
    // once the package is installed), else nobody.
    std::string name = "nobody";
    setpwent();
    while (passwd* p = getpwent())
        if (p->pw_uid != 0 && GroupsOf(*p).size() > 1) {
            name = p->pw_name;
            break;
        }
    endpwent();
    const passwd* user = getpwnam(name.c_str());
    ASSERT_NE(user, nullptr);
    const uid_t uid = user->pw_uid;
    const gid_t gid = user->pw_gid;
    const std::vector<gid_t> expected = GroupsOf(*user);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string why;
        if (!BecomeUser(name, &why)) _exit(1);
        if (getuid() != uid || geteuid() != uid || getgid() != gid || getegid() != gid) _exit(2);
        std::vector<gid_t> groups(getgroups(0, nullptr));
        groups.resize(getgroups(static_cast<int>(groups.size()), groups.data()));
        std::sort(groups.begin(), groups.end());
        if (groups != expected) _exit(3);
        if (setuid(0) == 0 || seteuid(0) == 0) _exit(4);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "as " << name << ": 1 refused, 2 wrong ids, 3 wrong groups, 4 root came back";
}

}  // namespace
