// The suite's version, which every program's --version reports.
#pragma once

namespace qor {

inline constexpr char kSuiteVersion[] = "1.0";

}  // namespace qor
