// The interface driver's string resources (driver/ui/strings.txt).
#pragma once

#include "qor/base.h"

#include <string>

inline constexpr UINT kStringCustomPaper = 11;
inline constexpr UINT kStringQuestionCaption = 2000;
inline constexpr UINT kStringCancelPageMode = 2010;
inline constexpr UINT kStringCancelPageModePortrait = 2011;
inline constexpr UINT kStringUsePageMode = 2014;
inline constexpr UINT kStringPaperSizeError = 2100;
inline constexpr UINT kStringMaximumLength = 2101;
inline constexpr UINT kStringNoLength = 2102;
inline constexpr UINT kStringMinimumLength = 2103;
inline constexpr UINT kStringFullCut = 2200;  // then partial cut, no cut
inline constexpr UINT kStringHelpFile = 3000;

// The string `id` of the driver's module; empty when it has none.
std::u16string DriverString(UINT id);
