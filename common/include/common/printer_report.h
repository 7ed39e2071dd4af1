// What a printer says about itself, asked through its language monitor:
// the setting bytes by the setting read, else the factory settings of the
// model its device ID names.
#pragma once

#include "common/setbank.h"

#include "qor/base.h"

#include <optional>

namespace qor::report {

enum class Source { SettingRead, Model };

struct PrinterSettings {
    setbank::Bytes bytes{};
    Source source = Source::SettingRead;
};

// Asks the printer behind `printer` (an open handle). Empty when the
// printer gives neither answer within about two seconds.
std::optional<PrinterSettings> ask_printer(HANDLE printer);

}  // namespace qor::report
