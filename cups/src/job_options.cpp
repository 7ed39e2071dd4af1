#include "job_options.h"

#include <cups/cups.h>
#include <cups/ppd.h>

#include <strings.h>

// The description-file calls are how a backend reads its queue's options;
// libcups marks them deprecated for drivers in general.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace qorcups {

bool CheckJobOptions(const char* options, const char* ppd_path, std::string* error) {
    cups_option_t* parsed = nullptr;
    const int count = cupsParseOptions(options ? options : "", 0, &parsed);
    ppd_file_t* ppd = ppd_path && *ppd_path ? ppdOpenFile(ppd_path) : nullptr;
    bool ok = true;
    for (int i = 0; ok && i < count; ++i) {
        const char* name = parsed[i].name;
        const char* value = parsed[i].value;
        ppd_option_t* option = ppd ? ppdFindOption(ppd, name) : nullptr;
        if (!option) {
            if (strncasecmp(name, "Qor", 3) == 0) {
                *error = std::string("unknown option \"") + name + "\" for this printer";
                ok = false;
            }
            continue;
        }
        if (!ppdFindChoice(option, value)) {
            *error = std::string("option \"") + name + "\" has no choice \"" + value + "\" on this printer";
            ok = false;
        }
    }
    if (ppd) ppdClose(ppd);
    cupsFreeOptions(count, parsed);
    return ok;
}

}  // namespace qorcups

#pragma GCC diagnostic pop
