// Window directory records and posted packets are other processes' bytes:
// whatever decodes must encode back to the same bytes. The names in the
// shared folder are the members' too.
#include "qor/ui/shared_broadcast.h"
#include "qor/ui/window_directory.h"

#include <cstdlib>
#include <string>

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
    const std::string name(reinterpret_cast<const char*>(data), size);
    const pid_t pid = windir::shared_socket_pid(name);
    if (pid < 0 || (pid > 0 && name.find(".sock") == std::string::npos)) std::abort();
    return 0;
}
