// The version-record walker on arbitrary bytes: every path looked up must
// stay inside the record and the value it names.
#include "version_records.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> record(data, data + size);  // exact size, so overruns show
    for (const char16_t* path : {u"\\", u"\\VarFileInfo\\Translation", u"\\StringFileInfo\\040904b0\\ProductVersion",
                                 u"\\A\\B\\C\\D\\E\\F\\G\\H\\I"}) {
        auto value = qorui::find_version_value(record.data(), record.size(), path);
        if (value && value->offset > record.size()) __builtin_trap();
    }
    return 0;
}
