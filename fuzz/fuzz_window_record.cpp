// Window directory records and posted packets are other processes' bytes:
// whatever decodes must encode back to the same bytes.
#include "qor/ui/window_directory.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace windir = qor::windir;
    if (auto record = windir::decode_record(data, size)) {
        auto again = windir::encode_record(*record);
        auto back = windir::decode_record(again.data(), again.size());
        if (!back || back->title != record->title || back->properties != record->properties) std::abort();
    }
    if (auto packet = windir::decode_packet(data, size)) {
        auto again = windir::encode_packet(*packet);
        if (again.size() != size || !std::equal(again.begin(), again.end(), data)) std::abort();
    }
    return 0;
}
