// Printer handles, printer information and printer data.
#include "spool_client.h"
#include "qor/security/access.h"
#include "qor/guard.h"
#include "spool_client_pack.h"

#include "qor/registry.h"

#include "qor/support/utf.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace qor::spool {
namespace {

BOOL open_printer(const std::string& name, bool has_defaults, const std::string& datatype,
                  const std::vector<uint8_t>& devmode, DWORD access, LPHANDLE out) {
    if (!out) return fail(ERROR_INVALID_PARAMETER);
    *out = nullptr;
    auto handle = std::make_unique<PrinterHandle>();
    handle->conn = Connection::open();
    if (!handle->conn) return FALSE;
    requests::OpenPrinter request{.name = name, .has_defaults = has_defaults, .datatype = datatype,
                                  .devmode = devmode, .access = access};
    Response<requests::OpenPrinter> response;
    if (!call(*handle->conn, request, response)) return FALSE;
    if (!finish(response)) return FALSE;
    *out = insert_printer_handle(std::move(handle));
    return succeed();
}

// Runs `body(handle)` with the handle locked; invalid handles fail.
template <class Body>
auto with_handle(HANDLE printer, Body body) -> decltype(body(std::declval<PrinterHandle&>())) {
    auto h = lookup_printer_handle(printer);
    if (!h) return FALSE;
    std::lock_guard lock(h->mutex);
    return body(*h);
}

template <class Info1, class Char>
void fill_1(Packer& p, Info1* r, const PrinterInfo& i) {
    r->Flags = 0x00040000;  // PRINTER_ENUM_ICON8, as local printers report
    r->pDescription = p.str<Char>(i.name + "," + i.driver + "," + i.location);
    r->pName = p.str<Char>(i.name);
    r->pComment = p.str<Char>(i.comment);
}

template <class Info2, class Char>
void fill_2(Packer& p, Info2* r, const PrinterInfo& i) {
    r->pServerName = nullptr;
    r->pPrinterName = p.str<Char>(i.name);
    r->pShareName = p.str<Char>(i.share);
    r->pPortName = p.str<Char>(i.port);
    r->pDriverName = p.str<Char>(i.driver);
    r->pComment = p.str<Char>(i.comment);
    r->pLocation = p.str<Char>(i.location);
    if constexpr (sizeof(Char) == 2) {
        r->pDevMode = static_cast<LPDEVMODEW>(p.blob(i.devmode.data(), i.devmode.size()));
    } else {
        auto narrow = devmode_wide_to_narrow(i.devmode);
        r->pDevMode = p.blob(narrow.data(), narrow.size());
    }
    r->pSepFile = p.str<Char>(i.sep_file);
    r->pPrintProcessor = p.str<Char>(i.print_processor);
    r->pDatatype = p.str<Char>(i.datatype);
    r->pParameters = p.str<Char>(i.parameters);
    r->pSecurityDescriptor = nullptr;
    r->Attributes = i.attributes;
    r->Priority = i.priority;
    r->DefaultPriority = i.default_priority;
    r->StartTime = i.start_time;
    r->UntilTime = i.until_time;
    r->Status = i.status;
    r->cJobs = i.jobs;
    r->AveragePPM = 0;
}

template <class Info5, class Char>
void fill_5(Packer& p, Info5* r, const PrinterInfo& i) {
    r->pPrinterName = p.str<Char>(i.name);
    r->pPortName = p.str<Char>(i.port);
    r->Attributes = i.attributes;
    r->DeviceNotSelectedTimeout = i.dns_timeout;
    r->TransmissionRetryTimeout = i.tx_timeout;
}

template <bool Wide>
BOOL pack_printers(const std::vector<PrinterInfo>& items, DWORD level, LPBYTE buffer, DWORD size,
                   LPDWORD needed) {
    using Char = std::conditional_t<Wide, char16_t, char>;
    using I1 = std::conditional_t<Wide, PRINTER_INFO_1W, PRINTER_INFO_1A>;
    using I2 = std::conditional_t<Wide, PRINTER_INFO_2W, PRINTER_INFO_2A>;
    using I5 = std::conditional_t<Wide, PRINTER_INFO_5W, PRINTER_INFO_5A>;
    switch (level) {
    case 1: return pack_records<I1>(items, buffer, size, needed, fill_1<I1, Char>);
    case 2: return pack_records<I2>(items, buffer, size, needed, fill_2<I2, Char>);
    case 5: return pack_records<I5>(items, buffer, size, needed, fill_5<I5, Char>);
    default: SetLastError(ERROR_INVALID_LEVEL); return FALSE;
    }
}

bool printer_level_supported(DWORD level) { return level == 1 || level == 2 || level == 5; }

// Level 3: the record, then the self-relative descriptor it points to.
BOOL pack_security(const std::vector<uint8_t>& sd, LPBYTE buffer, DWORD size, LPDWORD needed) {
    *needed = DWORD(sizeof(PRINTER_INFO_3) + sd.size());
    if (!buffer || size < *needed) return fail(ERROR_INSUFFICIENT_BUFFER);
    auto* record = reinterpret_cast<PRINTER_INFO_3*>(buffer);
    std::memcpy(buffer + sizeof(PRINTER_INFO_3), sd.data(), sd.size());
    record->pSecurityDescriptor = sd.empty() ? nullptr : buffer + sizeof(PRINTER_INFO_3);
    return succeed();
}

template <bool Wide>
BOOL enum_printers(DWORD flags, const std::string& name, DWORD level, LPBYTE buffer, DWORD size,
                   LPDWORD needed, LPDWORD returned) {
    if (!counters_ok(needed, returned)) return FALSE;
    if (!printer_level_supported(level)) return fail(ERROR_INVALID_LEVEL);
    Response<requests::EnumPrinters> response;
    if (!call_once(requests::EnumPrinters{.flags = flags, .name = name}, response)) return FALSE;
    if (!finish(response)) return FALSE;
    return finish_list(response.reply, returned, [&](const std::vector<PrinterInfo>& items) { return pack_printers<Wide>(items, level, buffer, size, needed); });
}

template <bool Wide>
BOOL get_printer(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed) {
    if (!needed) return fail(ERROR_INVALID_PARAMETER);
    *needed = 0;
    return with_handle(printer, [&](PrinterHandle& h) -> BOOL {
        if (!printer_level_supported(level) && level != 3) return fail(ERROR_INVALID_LEVEL);
        Response<requests::GetPrinter> response;
        if (!call(*h.conn, requests::GetPrinter{}, response) || !finish(response)) return FALSE;
        if (level == 3) return pack_security(response.reply.security, buffer, size, needed);
        if (!pack_printers<Wide>({response.reply}, level, buffer, size, needed)) return FALSE;
        return succeed();
    });
}

// The printer record a level-2 or level-5 SetPrinter call carries.
template <bool Wide>
bool read_set_info(DWORD level, LPBYTE info, PrinterInfo& out) {
    using I2 = std::conditional_t<Wide, PRINTER_INFO_2W, PRINTER_INFO_2A>;
    using I5 = std::conditional_t<Wide, PRINTER_INFO_5W, PRINTER_INFO_5A>;
    auto text = [](auto* s) {
        if constexpr (Wide) return wide_to_utf8(s);
        else return ansi_to_utf8(s);
    };
    if (level == 2) {
        const auto* r = reinterpret_cast<const I2*>(info);
        out.name = text(r->pPrinterName), out.share = text(r->pShareName);
        out.port = text(r->pPortName), out.driver = text(r->pDriverName);
        out.comment = text(r->pComment), out.location = text(r->pLocation);
        out.sep_file = text(r->pSepFile), out.print_processor = text(r->pPrintProcessor);
        out.datatype = text(r->pDatatype), out.parameters = text(r->pParameters);
        if constexpr (Wide) {
            out.devmode = devmode_bytes(r->pDevMode);
        } else if (r->pDevMode) {
            // The narrow record's own size fields bound what is read.
            const auto* head = static_cast<const uint8_t*>(r->pDevMode);
            uint16_t size_a, extra;
            std::memcpy(&size_a, head + 36, 2);
            std::memcpy(&extra, head + 38, 2);
            out.devmode = devmode_narrow_to_wide(r->pDevMode, size_t(size_a) + extra);
        }
        out.attributes = r->Attributes, out.priority = r->Priority;
        out.default_priority = r->DefaultPriority, out.start_time = r->StartTime;
        out.until_time = r->UntilTime;
        return true;
    }
    const auto* r = reinterpret_cast<const I5*>(info);
    out.name = text(r->pPrinterName), out.port = text(r->pPortName);
    out.attributes = r->Attributes;
    out.dns_timeout = r->DeviceNotSelectedTimeout, out.tx_timeout = r->TransmissionRetryTimeout;
    return true;
}

template <bool Wide>
BOOL set_printer(HANDLE printer, DWORD level, LPBYTE info, DWORD command) {
    return with_handle(printer, [&](PrinterHandle& h) -> BOOL {
        if (level != 0 && level != 2 && level != 3 && level != 5) return fail(ERROR_INVALID_LEVEL);
        if (level != 0 && !info) return fail(ERROR_INVALID_PARAMETER);
        requests::SetPrinter request;
        request.level = level, request.command = command;
        // With PRINTER_CONTROL_SET_STATUS the status word is the pointer's value.
        request.status = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(info));
        if (level == 3) {
            request.info.security =
                qor::security::self_relative_copy(reinterpret_cast<PRINTER_INFO_3*>(info)->pSecurityDescriptor);
            if (request.info.security.empty()) return fail(ERROR_INVALID_SECURITY_DESCR);
        } else if (level != 0) {
            read_set_info<Wide>(level, info, request.info);
        }
        Response<requests::SetPrinter> response;
        if (!call(*h.conn, request, response)) return FALSE;
        return finish(response);
    });
}

bool is_string_type(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

DWORD get_printer_data(HANDLE printer, const std::string& name, LPDWORD type, LPBYTE data, DWORD size,
                       LPDWORD needed, bool narrow) {
    auto h = lookup_printer_handle(printer);
    if (!h) return ERROR_INVALID_HANDLE;
    std::lock_guard lock(h->mutex);
    // A narrow caller's size says nothing about the wide value: fetch it
    // whole, convert, then measure against the caller's buffer.
    uint32_t ask = narrow ? kMaxPrinterData : std::min(size, kMaxPrinterData);
    Response<requests::GetPrinterData> response;
    if (!call(*h->conn, requests::GetPrinterData{.name = name, .size = ask, .caller_size = std::min(size, kMaxPrinterData)},
              response))
        return GetLastError();
    uint32_t value_type = response.reply.type;
    uint32_t value_needed = response.reply.needed;
    std::vector<uint8_t>& value = response.reply.data;
    if (type) *type = value_type;
    if (narrow && response.result == ERROR_SUCCESS && is_string_type(value_type)) {
        std::u16string wide(value.size() / 2, u'\0');
        std::memcpy(wide.data(), value.data(), wide.size() * 2);
        // Keep embedded terminators of multi-strings: convert piecewise.
        std::string converted;
        size_t start = 0;
        while (start < wide.size()) {
            size_t end = wide.find(u'\0', start);
            if (end == std::u16string::npos) end = wide.size();
            converted += utf8_to_ansi(utf16_to_utf8(wide.data() + start, end - start));
            if (end < wide.size()) converted.push_back('\0');
            start = end + 1;
        }
        value.assign(converted.begin(), converted.end());
        value_needed = static_cast<uint32_t>(value.size());
    }
    if (needed) *needed = value_needed;
    uint32_t result = response.result;
    if (result == ERROR_SUCCESS && value.size() > size) result = ERROR_MORE_DATA;
    if (result == ERROR_SUCCESS && data && !value.empty()) std::memcpy(data, value.data(), value.size());
    SetLastError(result);
    return result;
}

DWORD set_printer_data(HANDLE printer, const std::string& name, DWORD type, const uint8_t* data, DWORD size) {
    if (size > kMaxPrinterData || (size && !data)) return ERROR_INVALID_PARAMETER;
    auto h = lookup_printer_handle(printer);
    if (!h) return ERROR_INVALID_HANDLE;
    std::lock_guard lock(h->mutex);
    requests::SetPrinterData request{.name = name, .type = type, .data = {}};
    if (size) request.data.assign(data, data + size);
    Response<requests::SetPrinterData> response;
    if (!call(*h->conn, request, response)) return GetLastError();
    SetLastError(response.result);
    return response.result;
}

}  // namespace
}  // namespace qor::spool

using namespace qor::spool;

extern "C" {

QORAPI BOOL OpenPrinterW(LPWSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSW defaults) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!name) {
            if (printer) *printer = nullptr;
            SetLastError(ERROR_INVALID_PRINTER_NAME);
            return FALSE;
        }
        return open_printer(wide_to_utf8(name), defaults != nullptr,
                            defaults ? wide_to_utf8(defaults->pDatatype) : std::string(),
                            defaults ? devmode_bytes(defaults->pDevMode) : std::vector<uint8_t>(),
                            defaults ? defaults->DesiredAccess : 0, printer);
    });
}

QORAPI BOOL OpenPrinterA(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!name) {
            if (printer) *printer = nullptr;
            SetLastError(ERROR_INVALID_PRINTER_NAME);
            return FALSE;
        }
        std::vector<uint8_t> devmode;
        if (defaults && defaults->pDevMode) {
            const auto* head = static_cast<const uint8_t*>(defaults->pDevMode);
            uint16_t size_a, extra;
            std::memcpy(&size_a, head + 36, 2);
            std::memcpy(&extra, head + 38, 2);
            devmode = devmode_narrow_to_wide(defaults->pDevMode, size_t(size_a) + extra);
        }
        return open_printer(ansi_to_utf8(name), defaults != nullptr,
                            defaults ? ansi_to_utf8(defaults->pDatatype) : std::string(), devmode,
                            defaults ? defaults->DesiredAccess : 0, printer);
    });
}

QORAPI BOOL ClosePrinter(HANDLE printer) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        auto h = take_printer_handle(printer);
        if (!h) return FALSE;
        std::lock_guard lock(h->mutex);
        if (h->spool_fd >= 0) close(h->spool_fd), h->spool_fd = -1;
        // Closing the connection releases everything the handle held, an
        // unfinished document included.
        Response<requests::ClosePrinter> response;
        call(*h->conn, requests::ClosePrinter{}, response);
        h->conn.reset();
        return succeed();
    });
}

QORAPI BOOL EnumPrintersW(DWORD flags, LPWSTR name, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                          LPDWORD returned) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return enum_printers<true>(flags, wide_to_utf8(name), level, buffer, size, needed, returned);
    });
}

QORAPI BOOL EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                          LPDWORD returned) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return enum_printers<false>(flags, ansi_to_utf8(name), level, buffer, size, needed, returned);
    });
}

QORAPI BOOL GetPrinterW(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return get_printer<true>(printer, level, buffer, size, needed);
    });
}

QORAPI BOOL GetPrinterA(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return get_printer<false>(printer, level, buffer, size, needed);
    });
}

QORAPI BOOL SetPrinterW(HANDLE printer, DWORD level, LPBYTE info, DWORD command) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return set_printer<true>(printer, level, info, command);
    });
}

QORAPI BOOL SetPrinterA(HANDLE printer, DWORD level, LPBYTE info, DWORD command) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return set_printer<false>(printer, level, info, command);
    });
}

QORAPI DWORD GetPrinterDataW(HANDLE printer, LPWSTR name, LPDWORD type, LPBYTE data, DWORD size, LPDWORD needed) {
    return qor::guarded_code([&]() -> DWORD {
        return get_printer_data(printer, wide_to_utf8(name), type, data, size, needed, false);
    });
}

QORAPI DWORD GetPrinterDataA(HANDLE printer, LPSTR name, LPDWORD type, LPBYTE data, DWORD size, LPDWORD needed) {
    return qor::guarded_code([&]() -> DWORD {
        return get_printer_data(printer, ansi_to_utf8(name), type, data, size, needed, true);
    });
}

QORAPI DWORD SetPrinterDataW(HANDLE printer, LPWSTR name, DWORD type, LPBYTE data, DWORD size) {
    return qor::guarded_code([&]() -> DWORD {
        return set_printer_data(printer, wide_to_utf8(name), type, data, size);
    });
}

QORAPI DWORD SetPrinterDataA(HANDLE printer, LPSTR name, DWORD type, LPBYTE data, DWORD size) {
    return qor::guarded_code([&]() -> DWORD {
        if (!is_string_type(type) || !data) return set_printer_data(printer, ansi_to_utf8(name), type, data, size);
        // Strings are kept wide; convert each zero-terminated piece.
        std::u16string wide;
        size_t start = 0;
        while (start < size) {
            const char* piece = reinterpret_cast<const char*>(data) + start;
            size_t len = strnlen(piece, size - start);
            wide += utf8_to_wide(ansi_to_utf8(std::string(piece, len).c_str()));
            if (start + len < size) wide.push_back(u'\0');
            start += len + 1;
        }
        return set_printer_data(printer, ansi_to_utf8(name), type, reinterpret_cast<const uint8_t*>(wide.data()),
                                static_cast<DWORD>(wide.size() * 2));
    });
}

}  // extern "C"
