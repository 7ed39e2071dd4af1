// The printer directory through the spooler's client API.
#include "printer_lookup.h"

#include "common/status.h"

#include "qor/spooler.h"

namespace qor::statmon {

namespace {

// A level-2 call's result in a buffer of the size the spooler asks for.
template <class Call>
std::vector<BYTE> level2_buffer(Call call) {
    std::vector<BYTE> buffer;
    DWORD needed = 0;
    call(nullptr, 0, &needed);
    if (needed == 0) return {};
    buffer.resize(needed);
    if (!call(buffer.data(), needed, &needed)) return {};
    return buffer;
}

std::string text_or_empty(LPCSTR text) { return text ? std::string(text) : std::string(); }

class SpoolerDirectory final : public PrinterDirectory {
public:
    std::optional<DWORD> attributes_of(const std::string& name, bool& opened) override {
        opened = false;
        std::string copy = name;
        HANDLE printer = nullptr;
        if (!OpenPrinterA(copy.data(), &printer, nullptr)) return std::nullopt;
        opened = true;
        const auto buffer = level2_buffer([&](BYTE* data, DWORD size, DWORD* needed) {
            return GetPrinterA(printer, 2, data, size, needed);
        });
        ClosePrinter(printer);
        if (buffer.size() < sizeof(PRINTER_INFO_2A)) return std::nullopt;
        return reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data())->Attributes;
    }

    void wake_monitor(const std::string& name) override {
        std::string copy = name;
        HANDLE printer = nullptr;
        if (!OpenPrinterA(copy.data(), &printer, nullptr)) return;
        std::string request = names::kRequestDummy;
        DWORD type = 0, word = 0, needed = 0;
        GetPrinterDataA(printer, request.data(), &type, reinterpret_cast<LPBYTE>(&word), sizeof word, &needed);
        ClosePrinter(printer);
    }

    std::vector<PrinterEntry> local_printers() override {
        DWORD count = 0;
        const auto buffer = level2_buffer([&](BYTE* data, DWORD size, DWORD* needed) {
            return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, data, size, needed, &count);
        });
        std::vector<PrinterEntry> printers;
        if (buffer.size() < size_t(count) * sizeof(PRINTER_INFO_2A)) return printers;
        const auto* infos = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
        for (DWORD i = 0; i < count; ++i)
            printers.push_back({text_or_empty(infos[i].pPrinterName), text_or_empty(infos[i].pDriverName),
                                infos[i].Attributes});
        return printers;
    }
};

}  // namespace

PrinterDirectory& spooler_directory() {
    static SpoolerDirectory directory;
    return directory;
}

}  // namespace qor::statmon
