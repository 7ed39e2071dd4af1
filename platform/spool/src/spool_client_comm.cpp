// A serial port's default configuration: the line settings the spooler
// keeps for the port in the machine registry, as a device control block.
#include "spool_client.h"
#include "qor/spool/ports.h"
#include "qor/guard.h"
#include "qor/spool/serial_settings.h"
#include "acp_text.h"
#include "qor/support/utf.h"

#include "qor/monitor.h"
#include "qor/registry.h"

#include <cstring>
#include <string>

namespace qor::spool {
namespace {

const char* const kPortsKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Ports\\";

// The stored settings of `port`, or false when the port is unknown.
bool port_settings(const std::string& port, std::string& settings) {
    std::u16string key = utf8_to_utf16(kPortsKey + port);
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &k) != 0) return false;
    char16_t value[128] = {};
    DWORD size = sizeof value - sizeof(char16_t), type = 0;
    settings.clear();
    if (RegQueryValueExW(k, u"Settings", nullptr, &type, reinterpret_cast<LPBYTE>(value), &size) == 0 && type == REG_SZ)
        settings = utf16_to_utf8(value);
    RegCloseKey(k);
    return true;
}

void fill_dcb(const SerialSettings& s, DCB& dcb) {
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = s.baud;
    dcb.fBinary = 1;
    dcb.fParity = s.parity != Parity::None;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = s.flow == FlowControl::Hardware ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fOutxCtsFlow = s.flow == FlowControl::Hardware;
    dcb.fOutX = dcb.fInX = s.flow == FlowControl::XonXoff;
    dcb.ByteSize = static_cast<BYTE>(s.data_bits);
    static const BYTE kParity[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
    dcb.Parity = kParity[static_cast<int>(s.parity)];
    dcb.StopBits = s.stop_bits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
}

BOOL default_comm_config(std::string name, LPCOMMCONFIG config, LPDWORD size) {
    if (!size) return fail(ERROR_INVALID_PARAMETER);
    if (!name.empty() && name.back() == ':') name.pop_back();
    if (*size < sizeof(COMMCONFIG) || !config) {
        *size = sizeof(COMMCONFIG);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::string settings;
    if (name.empty() || !port_settings(name, settings)) return fail(ERROR_FILE_NOT_FOUND);
    auto parsed = parse_serial_settings(settings.empty() ? qor::ports::kDefaultSerialSettings : settings);
    if (!parsed) return fail(ERROR_BADDB);
    std::memset(config, 0, sizeof(COMMCONFIG));
    config->dwSize = sizeof(COMMCONFIG);
    config->wVersion = 1;
    fill_dcb(*parsed, config->dcb);
    config->dwProviderSubType = PST_RS232;
    *size = sizeof(COMMCONFIG);
    return succeed();
}

}  // namespace
}  // namespace qor::spool

extern "C" {

QORAPI BOOL GetDefaultCommConfigA(LPCSTR name, LPCOMMCONFIG config, LPDWORD size) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return qor::spool::default_comm_config(name ? qor::acp_to_utf8(name) : std::string(), config, size);
    });
}

QORAPI BOOL GetDefaultCommConfigW(LPCWSTR name, LPCOMMCONFIG config, LPDWORD size) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return qor::spool::default_comm_config(name ? qor::utf16_to_utf8(name) : std::string(), config, size);
    });
}

}  // extern "C"
