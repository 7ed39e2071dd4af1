#include "recovery.h"

#include "requests.h"

#include <cstring>
#include <iterator>
#include <string_view>
#include <vector>

namespace qor::model {

namespace {

// DLE DC4 9 "QORSYNC": when the printer reaches it, whatever the interrupted
// attempt left unfinished ends there (a raster image stops taking data);
// everything received before it is printed first. ESC @ then resets the
// print modes and GS V 0 cuts the partial ticket off. A printer with nothing
// printed since its last cut makes no ticket of it.
const BYTE kRecovery[] = {0x10, 0x14, 0x09, 'Q', 'O', 'R', 'S', 'Y', 'N', 'C', 0x1B, 0x40, 0x1D, 0x56, 0x00};

}  // namespace

bool is_recovery_request(LPCWSTR value_name) {
    return value_name && std::u16string_view(value_name) == u"RecoverySequence";
}

BOOL answer_recovery_request(bool with_status_back, LPWSTR out, DWORD out_size, LPDWORD returned) {
    // The job's enabling of automatic status back, when still due, follows.
    std::vector<BYTE> bytes(std::begin(kRecovery), std::end(kRecovery));
    if (with_status_back) {
        auto command = status_back_command();
        bytes.insert(bytes.end(), command.begin(), command.end());
    }
    const DWORD size = static_cast<DWORD>(bytes.size());
    if (returned) *returned = size;
    if (!out || out_size < size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(out, bytes.data(), size);
    return TRUE;
}

}  // namespace qor::model
