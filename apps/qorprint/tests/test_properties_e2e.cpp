// qorprint --properties with the printer's real document sheet on a private
// X server: keys pressed as a user presses them end up in the job's device
// mode and on the paper, and Cancel prints nothing.
#include "e2e_fixture.h"
#include "x_display.h"

#include "common/exdevmode.h"
#include "qor/spooler.h"
#include "qor/support/utf.h"
#include "qor/ui/windows.h"
#include "qoremu/control_client.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace e2e {
namespace {

const std::string kSheetTitle = std::string(printstack::kPrinter) + " Properties";
constexpr DWORD kDiffusion = 5;  // dmDitherType of "Error diffusion", as of --dither diffusion

// The device modes of the printer's jobs, oldest first (zeros for a job
// without one).
std::vector<EXDEVMODE> JobDevmodes() {
    std::u16string name = qor::utf8_to_utf16(printstack::kPrinter);
    HANDLE printer = nullptr;
    std::vector<EXDEVMODE> devmodes;
    if (!OpenPrinterW(name.data(), &printer, nullptr)) return devmodes;
    DWORD needed = 0, count = 0;
    EnumJobsW(printer, 0, 100, 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> list(needed);
    if (needed && EnumJobsW(printer, 0, 100, 1, list.data(), needed, &needed, &count)) {
        const auto* jobs = reinterpret_cast<const JOB_INFO_1W*>(list.data());
        for (DWORD i = 0; i < count; ++i) {
            EXDEVMODE devmode{};
            GetJobW(printer, jobs[i].JobId, 2, nullptr, 0, &needed);
            std::vector<BYTE> job(needed);
            if (needed && GetJobW(printer, jobs[i].JobId, 2, job.data(), needed, &needed)) {
                const DEVMODEW* dm = reinterpret_cast<const JOB_INFO_2W*>(job.data())->pDevMode;
                if (dm && size_t{dm->dmSize} + dm->dmDriverExtra >= sizeof devmode)
                    std::memcpy(&devmode, dm, sizeof devmode);
            }
            devmodes.push_back(devmode);
        }
    }
    ClosePrinter(printer);
    return devmodes;
}

// The settings a job prints with: the public part and the settings block.
// The paper's extent is left out (the driver fills it in from the paper,
// it is not in force for a paper of the table) and so is the resolution
// block (stamped with the paper whenever the driver writes a record).
void ExpectSameSettings(const EXDEVMODE& expected, const EXDEVMODE& actual) {
    const auto* want = reinterpret_cast<const uint8_t*>(&expected);
    const auto* got = reinterpret_cast<const uint8_t*>(&actual);
    const size_t extent = offsetof(DEVMODEW, dmPaperLength), extent_end = offsetof(DEVMODEW, dmScale);
    int differences = 0;
    for (size_t at = 0; at < EXDM_SETTINGS_OFFSET + EXDM_SETTINGS_SIZE; ++at) {
        if ((at >= extent && at < extent_end) || (at >= EXDM_PUBLIC_SIZE && at < EXDM_SETTINGS_OFFSET)) continue;
        if (want[at] != got[at] && ++differences <= 8)
            ADD_FAILURE() << "byte " << at << " of the job's device mode is " << int(got[at]) << ", not "
                          << int(want[at]);
    }
    EXPECT_EQ(differences, 0);
    EXPECT_EQ(actual.dm.dmFields & (DM_PAPERLENGTH | DM_PAPERWIDTH), 0u) << "a paper of the table, not a custom size";
}

// Rows inked across the whole printable width.
int FullRows(const Bitmap& ticket) {
    int rows = 0;
    for (int y = 0; y < ticket.height; ++y) {
        int x = 0;
        while (x < kWidth && ticket.ink(x, y)) ++x;
        rows += x == kWidth;
    }
    return rows;
}

// Columns of the printable width inked on each of the first `rows` rows.
int FullColumns(const Bitmap& ticket, int rows) {
    int columns = 0;
    for (int x = 0; x < kWidth; ++x) {
        int y = 0;
        while (y < rows && y < ticket.height && ticket.ink(x, y)) ++y;
        columns += y == rows;
    }
    return columns;
}

// The share of dots in the box unlike the dot 8 to their right: none for
// the repeating 8 x 8 matrix of the ordered dither, many for error
// diffusion, which has no period.
double PatternBreaks(const Bitmap& ticket, int x0, int x1, int y0, int y1) {
    int breaks = 0, dots = 0;
    for (int y = y0; y < y1 && y < ticket.height; ++y)
        for (int x = x0; x + 8 < x1 && x + 8 < ticket.width; ++x, ++dots)
            breaks += ticket.ink(x, y) != ticket.ink(x + 8, y);
    return dots ? double(breaks) / dots : -1;
}

// A picture as wide as the paper: a black bar 24 rows high along its top,
// mid grey below.
std::string BarPicture() {
    const int height = 120;
    std::vector<uint8_t> rgb(static_cast<size_t>(kWidth * height * 3), 128);
    std::fill(rgb.begin(), rgb.begin() + kWidth * 24 * 3, uint8_t{0});
    return WriteRgbPng("bar.png", kWidth, height, rgb);
}

class PropertiesSheet : public PrintStack {
protected:
    void SetUp() override {
        PrintStack::SetUp();
        ASSERT_TRUE(display_.ok()) << display_.error();
        // Printed jobs stay in the queue with their device modes.
        ASSERT_EQ(
            qortest::run(qortest::bin_dir() + "/qorctl", {"set-printer", printstack::kPrinter, "+keep-printed"}).status,
            0);
        earlier_jobs_ = JobDevmodes().size();  // cases that ran before in this process left theirs
        // The desktop's toolkit wants a user's runtime folder private, as
        // a session's is, and says so on stderr otherwise.
        std::filesystem::permissions(std::getenv("XDG_RUNTIME_DIR"), std::filesystem::perms::owner_all);
    }

    // The device modes of the jobs this case printed, oldest first.
    std::vector<EXDEVMODE> NewJobs() const {
        std::vector<EXDEVMODE> jobs = JobDevmodes();
        jobs.erase(jobs.begin(), jobs.begin() + static_cast<long>(std::min(earlier_jobs_, jobs.size())));
        return jobs;
    }

    // Runs `qorprint --properties` with `args`; once its sheet is up,
    // focuses it and presses `keys`. What qorprint did.
    Outcome AnswerSheet(std::vector<std::string> args, const std::vector<std::string>& keys) {
        args.insert(args.begin(), {"-q", "-P", printstack::kPrinter, "--properties"});
        qortest::Started qorprint = qortest::Started::launch(qortest::bin_dir() + "/qorprint", args);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        const std::u16string title = qor::utf8_to_utf16(kSheetTitle);
        // The layer lists the sheet once it is shown; the X server has it
        // once it is mapped.
        const bool listed = qortest::eventually([&] { return FindWindowW(nullptr, title.c_str()) != nullptr; },
                                                std::chrono::seconds(10));
        EXPECT_TRUE(listed) << "qorprint shows no window \"" << kSheetTitle << "\"";
        const auto window = listed ? display_.wait_window(qorprint.pid(), kSheetTitle, deadline) : std::nullopt;
        EXPECT_TRUE(window) << "the sheet is not mapped on " << display_.name();
        const bool answered = window && display_.focus(*window) && display_.keys(keys);
        EXPECT_TRUE(!window || answered) << "no keys reached the sheet";
        // A sheet nobody answers is not waited for.
        const qortest::Output result =
            qorprint.finish(answered ? std::chrono::milliseconds(10000) : std::chrono::milliseconds(0));
        return Outcome{result.status, result.out, result.err};
    }

    XDisplay display_;
    size_t earlier_jobs_ = 0;
};

// A control is reached by its mnemonic and set with the space bar (the
// mnemonic's own click comes later, from a timer, and could lose the race
// with the next key); Ctrl+Tab turns to the next page, Return is OK.
const std::vector<std::string> kChooseLandscape{"alt+l", "space"};
const std::vector<std::string> kChoosePortrait{"alt+p", "space"};
const std::vector<std::string> kNextPage{"ctrl+Tab"};
const std::vector<std::string> kChooseDiffusion{"alt+e", "space"};

std::vector<std::string> Keys(std::initializer_list<std::vector<std::string>> steps) {
    std::vector<std::string> keys;
    for (const auto& step : steps) keys.insert(keys.end(), step.begin(), step.end());
    return keys;
}

TEST_F(PropertiesSheet, LandscapeAndErrorDiffusionChosenInTheSheetReachThePaper) {
    const std::string picture = BarPicture();
    ASSERT_EQ(Print({"--paper", kPaper, picture}), 0);  // the same job without the sheet
    const Outcome outcome =
        AnswerSheet({"--paper", kPaper, picture}, Keys({kChooseLandscape, kNextPage, kChooseDiffusion, {"Return"}}));
    ASSERT_EQ(outcome.status, 0) << outcome.errors;
    // The sheet's choices were this document's: the next job prints as the
    // first did.
    ASSERT_EQ(Print({"--paper", kPaper, picture}), 0);
    ASSERT_TRUE(qoremu::wait_for_tickets(tickets_, 3, std::chrono::seconds(30)));

    const std::vector<EXDEVMODE> jobs = NewJobs();
    ASSERT_EQ(jobs.size(), 3u);
    EXDEVMODE expected = jobs[0];
    expected.dm.dmOrientation = DMORIENT_LANDSCAPE;
    expected.dm.dmDitherType = kDiffusion;
    ExpectSameSettings(expected, jobs[1]);
    ExpectSameSettings(jobs[0], jobs[2]);

    const auto tickets = qoremu::list_tickets(tickets_);
    ASSERT_EQ(tickets.size(), 3u);
    // Without the sheet: the bar across the top, the grey in the matrix's
    // repeating pattern.
    const Bitmap plain = ReadTicket(tickets[0]);
    EXPECT_EQ(FullRows(plain), 24);
    EXPECT_EQ(FullColumns(plain, plain.height), 0);
    EXPECT_EQ(PatternBreaks(plain, 8, kWidth - 8, 32, 112), 0.0);
    // With it: the page turned, so the bar runs down one side of the whole
    // 800-dot page, its 24 rows scaled up as the picture now spans the
    // page's length, and the grey is diffused.
    const Bitmap turned = ReadTicket(tickets[1]);
    ASSERT_GE(turned.height, 800);
    EXPECT_EQ(FullRows(turned), 0);
    const int bar = FullColumns(turned, 800);
    EXPECT_GE(bar, 36);
    EXPECT_LE(bar, 48);
    EXPECT_GT(PatternBreaks(turned, kWidth - 200, kWidth - 60, 20, 780), 0.2);
}

TEST_F(PropertiesSheet, OpensOnTheCommandLinesSettingsAndPrintsWhatItsUserLeft) {
    // The command line asks for landscape and diffusion; the user turns the
    // page back to portrait. The sheet's answer is what prints.
    const std::string picture = BarPicture();
    ASSERT_EQ(Print({"--paper", kPaper, "--dither", "diffusion", picture}), 0);
    const Outcome outcome =
        AnswerSheet({"--paper", kPaper, "--orientation", "landscape", "--dither", "diffusion", picture},
                    Keys({kChoosePortrait, {"Return"}}));
    ASSERT_EQ(outcome.status, 0) << outcome.errors;
    ASSERT_TRUE(qoremu::wait_for_tickets(tickets_, 2, std::chrono::seconds(30)));
    const std::vector<EXDEVMODE> jobs = NewJobs();
    ASSERT_EQ(jobs.size(), 2u);
    ExpectSameSettings(jobs[0], jobs[1]);
    EXPECT_EQ(FullRows(ReadTicket(qoremu::list_tickets(tickets_).back())), 24) << "printed in portrait";
}

TEST_F(PropertiesSheet, CancelPrintsNothingWhateverWasChanged) {
    const Outcome outcome = AnswerSheet({"--paper", kPaper, BarPicture()},
                                        Keys({kChooseLandscape, kNextPage, kChooseDiffusion, {"Escape"}}));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.errors, "qorprint: cancelled in the printer's properties; nothing was printed\n");
    // qorprint has ended, so nothing of it can reach the queue any more.
    EXPECT_TRUE(NewJobs().empty());
    EXPECT_TRUE(qoremu::list_tickets(tickets_).empty());
    EXPECT_EQ(Stat("raster-rows"), 0);
}

}  // namespace
}  // namespace e2e
