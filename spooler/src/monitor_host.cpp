#include "monitor_host.h"

#include "database.h"
#include "qor/support/utf.h"

#include <cctype>
#include <dlfcn.h>
#include <filesystem>

namespace qor::spooler {
namespace {

std::string stem_lower(std::string name) {
    for (auto& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* ext : {".dll", ".so"}) {
        std::string e(ext);
        if (name.size() > e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0) {
            name.resize(name.size() - e.size());
            break;
        }
    }
    return name;
}

std::string own_folder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

DWORD last_error_or(DWORD fallback) {
    DWORD e = GetLastError();
    return e ? e : fallback;
}

}  // namespace

std::string find_monitor_module(const std::string& module_file) {
    std::filesystem::path given(module_file);
    if (given.is_absolute()) return std::filesystem::exists(given) ? module_file : std::string();
    std::string want = stem_lower(given.filename().string());
    std::string drivers = Database::driver_directory();
    for (const std::string& dir : {drivers + "/3", drivers, own_folder()}) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
            std::string name = entry.path().filename().string();
            std::string lower = stem_lower(name);
            bool shared_object = name.size() > 3 && name.compare(name.size() - 3, 3, ".so") == 0;
            if (lower == want && shared_object) return entry.path().string();
        }
    }
    return {};
}

const LoadedMonitor* LanguageMonitors::load(const std::string& module_file) {
    std::lock_guard lock(mutex_);
    std::string key = stem_lower(std::filesystem::path(module_file).filename().string());
    if (auto it = loaded_.find(key); it != loaded_.end()) return &it->second;
    std::string path = find_monitor_module(module_file);
    if (path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    auto init = reinterpret_cast<PFN_InitializePrintMonitor2>(dlsym(module, "InitializePrintMonitor2"));
    if (!init) {
        dlclose(module);
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    MONITORINIT mi{sizeof(MONITORINIT), nullptr, nullptr, nullptr, TRUE, nullptr};
    LoadedMonitor m;
    m.module = module;
    SetLastError(0);
    m.table = init(&mi, &m.handle);
    if (!m.table || !m.table->pfnOpenPortEx || !m.table->pfnStartDocPort || !m.table->pfnWritePort ||
        !m.table->pfnEndDocPort || !m.table->pfnClosePort) {
        // Kept mapped: a half-initialised monitor may have started threads.
        SetLastError(last_error_or(ERROR_INVALID_FUNCTION));
        return nullptr;
    }
    return &(loaded_[key] = m);
}

void LanguageMonitors::shutdown_all() {
    std::lock_guard lock(mutex_);
    for (auto& [name, m] : loaded_)
        if (m.table->pfnShutdown) m.table->pfnShutdown(m.handle);
    loaded_.clear();
}

std::shared_ptr<MonitorChain> MonitorChain::open(LocalPortMonitor& ports, const LoadedMonitor* lm,
                                                 const std::string& printer, const std::string& port, DWORD& error) {
    std::shared_ptr<MonitorChain> chain(new MonitorChain);
    chain->printer_ = utf8_to_utf16(printer);
    std::u16string port_name = utf8_to_utf16(port);
    SetLastError(0);
    BOOL ok;
    if (lm) {
        chain->table_ = lm->table;
        chain->language_monitor_ = true;
        ok = lm->table->pfnOpenPortEx(lm->handle, ports.handle(), port_name.data(), chain->printer_.data(),
                                      &chain->port_, ports.table());
    } else {
        chain->table_ = ports.table();
        ok = ports.table()->pfnOpenPort(ports.handle(), port_name.data(), &chain->port_);
    }
    if (!ok) {
        error = last_error_or(ERROR_GEN_FAILURE);
        chain->table_ = nullptr;  // nothing to close
        return nullptr;
    }
    error = 0;
    return chain;
}

MonitorChain::~MonitorChain() {
    if (table_) table_->pfnClosePort(port_);
}

DWORD MonitorChain::start_doc(DWORD job_id, const std::string& document, const std::string& output_file) {
    std::u16string doc = utf8_to_utf16(document), out = utf8_to_utf16(output_file), type = u"RAW";
    DOC_INFO_1W info{doc.data(), output_file.empty() ? nullptr : out.data(), type.data()};
    SetLastError(0);
    if (table_->pfnStartDocPort(port_, printer_.data(), job_id, 1, reinterpret_cast<LPBYTE>(&info))) return 0;
    return last_error_or(ERROR_GEN_FAILURE);
}

DWORD MonitorChain::write(const uint8_t* data, DWORD size, DWORD& written) {
    written = 0;
    SetLastError(0);  // a stale ERROR_PRINT_CANCELLED would make a monitor skip the data
    if (table_->pfnWritePort(port_, const_cast<LPBYTE>(data), size, &written)) return 0;
    return last_error_or(ERROR_WRITE_FAULT);
}

DWORD MonitorChain::end_doc() {
    SetLastError(0);
    if (table_->pfnEndDocPort(port_)) return 0;
    return last_error_or(ERROR_GEN_FAILURE);
}

DWORD MonitorChain::get_data(const std::string& value_name, uint8_t* out, DWORD size, DWORD& returned) {
    returned = 0;
    if (!table_->pfnGetPrinterDataFromPort) return ERROR_NOT_SUPPORTED;
    std::u16string name = utf8_to_utf16(value_name);
    SetLastError(0);
    if (table_->pfnGetPrinterDataFromPort(port_, 0, name.data(), nullptr, 0, reinterpret_cast<LPWSTR>(out), size,
                                          &returned))
        return 0;
    return last_error_or(ERROR_NOT_SUPPORTED);
}

}  // namespace qor::spooler
