// Which control groups of the sheets a description shows (its Show= bits).
// A group whose bit is clear is hidden and disabled.
#pragma once

#include "qor/base.h"

#include <span>

inline constexpr DWORD kShowPaperSize = 0x001;
inline constexpr DWORD kShowCustomPaper = 0x002;
inline constexpr DWORD kShowOrientation = 0x004;
inline constexpr DWORD kShowSource = 0x008;
inline constexpr DWORD kShowKind = 0x010;
inline constexpr DWORD kShowDithering = 0x020;
inline constexpr DWORD kShowQuality = 0x040;
inline constexpr DWORD kShowIntensity = 0x080;
inline constexpr DWORD kShowDensity = 0x100;
inline constexpr DWORD kShowFonts = 0x200;
inline constexpr DWORD kShowCutter = 0x400;
inline constexpr DWORD kShowPageMode = 0x800;

// Dialog templates of the pages.
inline constexpr WORD kPaperPage = 100;
inline constexpr WORD kGraphicsPage = 101;
inline constexpr WORD kOptionsPage = 103;

// The controls a Show bit stands for, on the page `page`; empty for the
// custom paper entry, which is a list entry rather than a control.
struct ShowGroup {
    DWORD bit;
    WORD page;
    std::span<const int> controls;
};

std::span<const ShowGroup> ShowGroups();
