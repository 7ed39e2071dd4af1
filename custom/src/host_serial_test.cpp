#include "host_serial_test.h"

#include <vector>

namespace custom {

std::string serial_mismatch(BYTE byte3, const DCB& host) {
    static constexpr DWORD kSpeeds[] = {38400, 19200, 9600, 4800};
    if (host.BaudRate != kSpeeds[(byte3 >> 1) & 3]) return "Mismatch [Bit per second] port setting of Host and Printer";
    const bool busy = byte3 & 0x80;
    const bool flow_ok = busy ? (host.fOutxCtsFlow && !host.fOutX && !host.fInX) : (host.fOutX && host.fInX);
    if (!flow_ok) return "Mismatch [Flow control] port setting of Host and Printer";
    if (host.StopBits != ((byte3 & 0x40) ? ONESTOPBIT : TWOSTOPBITS))
        return "Mismatch [Stop bits] port setting of Host and Printer";
    if (host.ByteSize != ((byte3 & 0x08) ? 8 : 7)) return "Mismatch [Data bits] port setting of Host and Printer";
    static constexpr BYTE kParity[] = {NOPARITY, ODDPARITY, NOPARITY, EVENPARITY};
    if (host.Parity != kParity[(byte3 >> 4) & 3]) return "Mismatch [Parity] port setting of Host and Printer";
    return {};
}

bool host_port_config(std::string_view port, DCB* dcb) {
    const std::string name(port);
    DWORD size = 0;
    GetDefaultCommConfigA(name.c_str(), nullptr, &size);
    if (size < sizeof(COMMCONFIG)) return false;
    // The configuration may carry provider data after the fixed record.
    std::vector<DWORD> storage((size + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* config = reinterpret_cast<COMMCONFIG*>(storage.data());
    if (!GetDefaultCommConfigA(name.c_str(), config, &size)) return false;
    *dcb = config->dcb;
    return true;
}

}  // namespace custom
