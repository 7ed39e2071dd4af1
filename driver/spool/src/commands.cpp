#include "commands.h"

#include "output.h"

#include <cstring>

namespace {

constexpr BYTE kStatusBack[] = {0x1D, 0x61, 0x1E};
constexpr BYTE kInitialise[] = {0x1B, 0x40};
constexpr BYTE kSetting123D[] = {0x12, 0x3D, 0x01};
constexpr BYTE kMotionUnits[] = {0x1D, 0x50, 0xCB, 0xCB};
constexpr BYTE kStandardMode[] = {0x1B, 0x53};
constexpr BYTE kPageMode[] = {0x1B, 0x4C};
constexpr BYTE kKanjiCodeSystem[] = {0x1C, 0x43, 0x01};
constexpr BYTE kSetting124F[] = {0x12, 0x4F, 0x00};
constexpr BYTE kLeftMargin[] = {0x1D, 0x4C, 0x00, 0x00};
constexpr BYTE kPrintPage[] = {0x1B, 0x0C};
constexpr BYTE kLineFeed[] = {0x0A};
constexpr BYTE kFeedToMark[] = {0x1D, 0x0C};

static_assert(sizeof(SPL_IDENTIFICATION) - 1 == 22);

BYTE Low(int64_t value) { return static_cast<BYTE>(value & 0xFF); }
BYTE High(int64_t value) { return static_cast<BYTE>((value >> 8) & 0xFF); }

template <size_t N>
void Send(SPLJOB* job, const BYTE (&bytes)[N]) {
    Emit(job, bytes, N);
}

BYTE DensityCode(BYTE density) {
    switch (density) {
    case 0: case 1: case 2: case 4: case 5: case 6: return density;
    default: return 3;
    }
}

}  // namespace

bool IsPageMode(const SPLJOB* job) noexcept { return job->devmode.Mode != 0; }

bool IsLandscape(const EXDEVMODE& devmode) noexcept { return devmode.dm.dmOrientation == DMORIENT_LANDSCAPE; }

void SendJobStart(SPLJOB* job) noexcept {
    BYTE start[sizeof(kStatusBack) + sizeof(kInitialise) + 2 + 24 + sizeof(kSetting123D) +
               sizeof(kMotionUnits)];
    BYTE* p = start;
    auto put = [&p](const void* bytes, size_t n) {
        std::memcpy(p, bytes, n);
        p += n;
    };
    put(kStatusBack, sizeof(kStatusBack));
    put(kInitialise, sizeof(kInitialise));
    put("\x13\x28(" SPL_IDENTIFICATION ")", 26);
    put(kSetting123D, sizeof(kSetting123D));
    put(kMotionUnits, sizeof(kMotionUnits));
    WriteDirect(job, start, sizeof(start));
}

void SendPageStart(SPLJOB* job) noexcept {
    const EXDEVMODE& dm = job->devmode;
    job->last_x = -1;
    job->last_y = -1;
    OpenPageBuffer(job);

    const BYTE quality = static_cast<BYTE>((dm.Quality ? 0x10 : 0x00) + DensityCode(dm.Density));
    const BYTE quality_density[] = {0x1D, 0x45, quality};
    Send(job, quality_density);
    if (IsPageMode(job)) Send(job, kPageMode);
    else Send(job, kStandardMode);

    const BYTE print_mode = dm.Font == 2 ? 1 : 0;
    const BYTE mode[] = {0x1B, 0x21, print_mode};
    const BYTE kanji_mode[] = {0x1C, 0x21, print_mode};
    Send(job, mode);
    Send(job, kKanjiCodeSystem);
    Send(job, kanji_mode);

    if (IsPageMode(job)) {
        Send(job, kSetting124F);
        SendPrintDirection(job, IsLandscape(dm) ? 3 : 0);
        if (dm.Kind == EXDM_KIND_PAGE_AREA) {
            const PaperMetrix paper = dm.CurrentPaper;
            SendPrintArea(job, 0, 0, int64_t{paper.AreaWidthMM} * 8, int64_t{paper.AreaLengthMM} * 8);
        }
    } else {
        Send(job, kLeftMargin);
        const LONG width = dm.CurrentPaper.AreaWidth;
        const BYTE print_width[] = {0x1D, 0x57, Low(width), High(width)};
        Send(job, print_width);
    }
}

void SendPageEnd(SPLJOB* job) noexcept {
    const EXDEVMODE& dm = job->devmode;
    if (IsPageMode(job)) Send(job, kPrintPage);
    else Send(job, kLineFeed);
    if (dm.Kind == EXDM_KIND_MARK) Send(job, kFeedToMark);
    if (dm.Cut < 2) {
        const BYTE cut[] = {0x1D, 0x56, dm.Cut};
        Send(job, cut);
    }
    if (IsPageMode(job)) Send(job, kStandardMode);
    ClosePageBuffer(job);
}

void SendPrintDirection(SPLJOB* job, BYTE direction) noexcept {
    const BYTE command[] = {0x1B, 0x54, direction};
    Send(job, command);
}

void SendPrintArea(SPLJOB* job, int64_t x, int64_t y, int64_t dx, int64_t dy) noexcept {
    const BYTE command[] = {0x1B, 0x57, Low(x), High(x), Low(y), High(y), Low(dx), High(dx), Low(dy), High(dy)};
    Send(job, command);
}

void SendHorizontalPosition(SPLJOB* job, int64_t x) noexcept {
    const BYTE command[] = {0x1B, 0x24, Low(x), High(x)};
    Send(job, command);
}

void SendVerticalPosition(SPLJOB* job, int64_t y) noexcept {
    const BYTE command[] = {0x1D, 0x24, Low(y), High(y)};
    Send(job, command);
}

void SendFeed(SPLJOB* job, LONG rows) noexcept {
    if (rows <= 0) return;
    static constexpr BYTE kFullFeed[] = {0x1B, 0x4A, 0xFF};
    for (LONG i = 0; i < rows / 255; ++i) Send(job, kFullFeed);
    if (const LONG rest = rows % 255) {
        const BYTE feed[] = {0x1B, 0x4A, Low(rest)};
        Send(job, feed);
    }
}

void SendRasterImage(SPLJOB* job, const BYTE* data, DWORD bytes_per_row, DWORD rows) noexcept {
    const BYTE header[] = {0x1D, 0x76, 0x30, 0x00,
                           Low(static_cast<LONG>(bytes_per_row)), High(static_cast<LONG>(bytes_per_row)),
                           Low(static_cast<LONG>(rows)), High(static_cast<LONG>(rows))};
    Send(job, header);
    uint64_t left = static_cast<uint64_t>(bytes_per_row) * rows;
    while (left > 0) {
        const DWORD piece = left > PAGE_BUFFER_SIZE ? PAGE_BUFFER_SIZE : static_cast<DWORD>(left);
        Emit(job, data, piece);
        data += piece;
        left -= piece;
    }
}
