// The setting read goes through the model module's request channel: the
// command is staged in the Data block, sent with "QOR_SendDataRequest", and
// the printer's answer collected from the Reply block by
// "QOR_GetDataRequest", the port held started throughout.
#include "common/printer_report.h"

#include "common/blocks_shared.h"
#include "common/status.h"

#include "qor/spooler.h"
#include "qor/sysinfo.h"

#include <string>
#include <vector>

namespace qor::report {

namespace {

constexpr DWORD kReplyWaitMs = 2000;
const BYTE kSettingRead[] = {0x12, 0x6C, 0x00};  // DC2 l

DWORD request_once(HANDLE printer, const char* name, DWORD* word) {
    std::u16string wide(name, name + std::char_traits<char>::length(name));
    DWORD type = 0, needed = 0, value = 0;
    DWORD e = GetPrinterDataW(printer, wide.data(), &type, reinterpret_cast<LPBYTE>(&value), sizeof value, &needed);
    if (e == ERROR_SUCCESS && needed < sizeof value) e = ERROR_INVALID_DATA;
    if (word) *word = value;
    return e;
}

bool request(HANDLE printer, const char* name, DWORD* word) {
    return request_once(printer, name, word) == ERROR_SUCCESS;
}

// The port of a printer that was just added may still be closing for the
// printer that used it before; it is tried again for a while.
bool hold_port(HANDLE printer) {
    const DWORD start = GetTickCount();
    DWORD e;
    while ((e = request_once(printer, names::kRequestStartDocPort, nullptr)) == ERROR_BUSY &&
           GetTickCount() - start < kReplyWaitMs)
        Sleep(50);
    return e == ERROR_SUCCESS;
}

// Unread bytes of the Reply block, appended to `into`.
void take_replies(blocks::MappedBlock& reply, std::vector<BYTE>* into) {
    blocks::BlockLock lock(names::kReplyMutex);
    if (!lock.held()) return;
    BYTE chunk[blocks::kAreaSize];
    const DWORD taken = blocks::reply_take(*reply.as<blocks::ReplyBlock>(), chunk, sizeof chunk);
    into->insert(into->end(), chunk, chunk + taken);
}

std::optional<setbank::Bytes> read_settings(HANDLE printer) {
    auto data = blocks::map_exchange_block(names::kDataBlock);
    auto reply = blocks::map_exchange_block(names::kReplyBlock);
    if (!data || !reply) return std::nullopt;
    std::vector<BYTE> received;
    take_replies(reply, &received);  // whatever an earlier exchange left
    received.clear();
    {
        blocks::BlockLock lock(names::kDataMutex);
        if (!lock.held()) return std::nullopt;
        blocks::data_stage(*data.as<blocks::DataBlock>(), kSettingRead, sizeof kSettingRead);
    }
    DWORD sent = 0;
    if (!request(printer, names::kRequestSendData, &sent) || sent != sizeof kSettingRead) return std::nullopt;
    const DWORD start = GetTickCount();
    do {
        request(printer, names::kRequestGetData, nullptr);  // waits for the printer itself
        take_replies(reply, &received);
        if (auto bytes = setbank::find_setting_reply(received.data(), received.size())) return bytes;
    } while (GetTickCount() - start < kReplyWaitMs);
    return std::nullopt;
}

std::optional<setbank::Bytes> model_settings(HANDLE printer) {
    std::u16string name = u"Get DeviceID";
    std::vector<BYTE> id(1024);
    DWORD type = 0, needed = 0;
    if (GetPrinterDataW(printer, name.data(), &type, id.data(), static_cast<DWORD>(id.size()), &needed) !=
        ERROR_SUCCESS)
        return std::nullopt;
    id.resize(std::min<size_t>(needed, id.size()));
    return setbank::factory_settings(std::string_view(reinterpret_cast<const char*>(id.data()), id.size()));
}

}  // namespace

std::optional<PrinterSettings> ask_printer(HANDLE printer) {
    if (!printer) return std::nullopt;
    std::optional<setbank::Bytes> bytes;
    if (hold_port(printer)) {
        bytes = read_settings(printer);
        request(printer, names::kRequestEndDocPort, nullptr);
    }
    if (bytes) return PrinterSettings{*bytes, Source::SettingRead};
    if (auto factory = model_settings(printer)) return PrinterSettings{*factory, Source::Model};
    return std::nullopt;
}

}  // namespace qor::report
