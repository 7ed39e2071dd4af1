#include "scripted_spooler.h"

#include "qor/registry.h"

#include <algorithm>
#include <cstring>

namespace ciltest {

ScriptedSpooler& ScriptedSpooler::instance() {
    static ScriptedSpooler spooler;
    return spooler;
}

void ScriptedSpooler::reset() {
    std::lock_guard lock(mutex_);
    printers_.clear();
    calls_.clear();
    open_.clear();
    monitor_ = nullptr;
}

void ScriptedSpooler::set_printers(std::vector<ScriptedPrinter> printers) {
    std::lock_guard lock(mutex_);
    printers_ = std::move(printers);
}

void ScriptedSpooler::set_monitor(std::function<Answer(const std::string&)> monitor) {
    std::lock_guard lock(mutex_);
    monitor_ = std::move(monitor);
}

std::vector<ScriptedPrinter> ScriptedSpooler::printers() {
    std::lock_guard lock(mutex_);
    return printers_;
}

std::vector<std::string> ScriptedSpooler::calls() {
    std::lock_guard lock(mutex_);
    return calls_;
}

size_t ScriptedSpooler::count(const std::string& call) {
    const auto all = calls();
    return size_t(std::count(all.begin(), all.end(), call));
}

void ScriptedSpooler::record(std::string call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
}

Answer ScriptedSpooler::answer(const std::string& request) {
    std::function<Answer(const std::string&)> monitor;
    {
        std::lock_guard lock(mutex_);
        calls_.push_back("request " + request);
        monitor = monitor_;
    }
    return monitor ? monitor(request) : Answer{ERROR_NOT_SUPPORTED, 0, 0};
}

bool ScriptedSpooler::open(const std::string& name, HANDLE* handle) {
    std::lock_guard lock(mutex_);
    calls_.push_back("open " + name);
    for (size_t i = 0; i < printers_.size(); ++i) {
        if (printers_[i].name != name) continue;
        // The printer's index in the low bits; a fresh value for every open.
        next_handle_ += 0x100;
        *handle = reinterpret_cast<HANDLE>(next_handle_ + i);
        open_.push_back(*handle);
        return true;
    }
    return false;
}

bool ScriptedSpooler::close(HANDLE handle) {
    std::lock_guard lock(mutex_);
    calls_.push_back("close");
    auto it = std::find(open_.begin(), open_.end(), handle);
    if (it == open_.end()) return false;
    open_.erase(it);
    return true;
}

int ScriptedSpooler::printer_of(HANDLE handle) {
    std::lock_guard lock(mutex_);
    if (std::find(open_.begin(), open_.end(), handle) == open_.end()) return -1;
    const size_t index = reinterpret_cast<uintptr_t>(handle) & 0xFF;
    return index < printers_.size() ? int(index) : -1;
}

void ScriptedSpooler::set_timeout(int printer, DWORD timeout) {
    std::lock_guard lock(mutex_);
    calls_.push_back("set-5 " + std::to_string(timeout));
    printers_[size_t(printer)].not_selected_timeout = timeout;
}

}  // namespace ciltest

using ciltest::ScriptedSpooler;

namespace {

// Packs strings after the fixed records, as the spooler does.
class Packer {
public:
    Packer(LPBYTE buffer, DWORD size, size_t fixed) : buffer_(buffer), size_(size), end_(fixed) {}
    LPSTR add(const std::string& text) {
        const size_t at = end_;
        end_ += text.size() + 1;
        if (!buffer_ || end_ > size_) return nullptr;
        std::memcpy(buffer_ + at, text.c_str(), text.size() + 1);
        return reinterpret_cast<LPSTR>(buffer_ + at);
    }
    size_t needed() const { return end_; }
    bool fits() const { return buffer_ && end_ <= size_; }

private:
    LPBYTE buffer_;
    DWORD size_;
    size_t end_;
};

BOOL too_small(LPDWORD needed, size_t size) {
    *needed = DWORD(size);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
}

}  // namespace

extern "C" {

QORAPI BOOL EnumPrintersA(DWORD, LPSTR, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
    if (level != 2 || !needed || !returned) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    const auto printers = ScriptedSpooler::instance().printers();
    const size_t fixed = printers.size() * sizeof(PRINTER_INFO_2A);
    Packer packer(buffer, size, fixed);
    std::vector<PRINTER_INFO_2A> records(printers.size());
    for (size_t i = 0; i < printers.size(); ++i) {
        std::memset(&records[i], 0, sizeof records[i]);
        records[i].pPrinterName = packer.add(printers[i].name);
        records[i].pDriverName = packer.add(printers[i].driver);
        records[i].pPortName = packer.add("USB001");
        records[i].Attributes = printers[i].attributes;
    }
    *returned = 0;
    if (!packer.fits()) return too_small(needed, packer.needed());
    if (fixed) std::memcpy(buffer, records.data(), fixed);
    *needed = DWORD(packer.needed());
    *returned = DWORD(printers.size());
    return TRUE;
}

QORAPI BOOL OpenPrinterA(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults) {
    if (!defaults || defaults->DesiredAccess != PRINTER_ALL_ACCESS || !defaults->pDatatype ||
        std::string(defaults->pDatatype) != "RAW") {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!ScriptedSpooler::instance().open(name ? name : "", printer)) {
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        return FALSE;
    }
    return TRUE;
}

QORAPI BOOL ClosePrinter(HANDLE printer) {
    if (ScriptedSpooler::instance().close(printer)) return TRUE;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

QORAPI BOOL GetPrinterA(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed) {
    auto& spooler = ScriptedSpooler::instance();
    const int index = spooler.printer_of(printer);
    if (index < 0 || !needed) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const ciltest::ScriptedPrinter info = spooler.printers()[size_t(index)];
    if (level == 2) {
        Packer packer(buffer, size, sizeof(PRINTER_INFO_2A));
        PRINTER_INFO_2A record{};
        record.pPrinterName = packer.add(info.name);
        record.pDriverName = packer.add(info.driver);
        record.Attributes = info.attributes;
        if (!packer.fits()) return too_small(needed, packer.needed());
        std::memcpy(buffer, &record, sizeof record);
        *needed = DWORD(packer.needed());
        return TRUE;
    }
    if (level == 5) {
        Packer packer(buffer, size, sizeof(PRINTER_INFO_5A));
        PRINTER_INFO_5A record{};
        record.pPrinterName = packer.add(info.name);
        record.Attributes = info.attributes;
        record.DeviceNotSelectedTimeout = info.not_selected_timeout;
        if (!packer.fits()) return too_small(needed, packer.needed());
        std::memcpy(buffer, &record, sizeof record);
        *needed = DWORD(packer.needed());
        return TRUE;
    }
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
}

QORAPI BOOL SetPrinterA(HANDLE printer, DWORD level, LPBYTE info, DWORD) {
    auto& spooler = ScriptedSpooler::instance();
    const int index = spooler.printer_of(printer);
    if (index < 0 || level != 5 || !info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    spooler.set_timeout(index, reinterpret_cast<PRINTER_INFO_5A*>(info)->DeviceNotSelectedTimeout);
    return TRUE;
}

QORAPI DWORD GetPrinterDataA(HANDLE printer, LPSTR name, LPDWORD type, LPBYTE data, DWORD size, LPDWORD needed) {
    auto& spooler = ScriptedSpooler::instance();
    if (spooler.printer_of(printer) < 0) {
        spooler.record(std::string("request on a closed handle ") + (name ? name : ""));
        return ERROR_INVALID_HANDLE;
    }
    const ciltest::Answer answer = spooler.answer(name ? name : "");
    if (type) *type = REG_BINARY;
    if (needed) *needed = answer.returned;
    if (data && size >= sizeof answer.word) std::memcpy(data, &answer.word, sizeof answer.word);
    return answer.result;
}

}  // extern "C"
