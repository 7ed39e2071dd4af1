#include "show_groups.h"

namespace {

constexpr int kPaperSize[] = {1001, 1008};
constexpr int kOrientation[] = {1004, 1005, 1011};
constexpr int kSource[] = {1003, 1010};
constexpr int kKind[] = {1002, 1009};
constexpr int kDithering[] = {1101, 1102, 1103, 1104, 1105, 1111};
constexpr int kQuality[] = {1106, 1107, 1112};
constexpr int kIntensity[] = {1108, 1113, 1114, 1115};
constexpr int kDensity[] = {1109, 1116, 1117, 1118};
constexpr int kFonts[] = {1301, 1302, 1303, 1307};
constexpr int kCutter[] = {1304, 1309};
constexpr int kPageMode[] = {1305};

constexpr ShowGroup kGroups[] = {
    {kShowPaperSize, kPaperPage, kPaperSize},   {kShowCustomPaper, kPaperPage, {}},
    {kShowOrientation, kPaperPage, kOrientation}, {kShowSource, kPaperPage, kSource},
    {kShowKind, kPaperPage, kKind},             {kShowDithering, kGraphicsPage, kDithering},
    {kShowQuality, kGraphicsPage, kQuality},    {kShowIntensity, kGraphicsPage, kIntensity},
    {kShowDensity, kGraphicsPage, kDensity},    {kShowFonts, kOptionsPage, kFonts},
    {kShowCutter, kOptionsPage, kCutter},       {kShowPageMode, kOptionsPage, kPageMode},
};

}  // namespace

std::span<const ShowGroup> ShowGroups() { return kGroups; }
