#include "qor/security/access.h"
#include "registry_store.h"

#include "qor/support/utf.h"

#include "qor/registry.h"
#include "qor/spooler.h"

#include <cstring>

namespace qor::spooler::store {
namespace {

const std::string kPrinters = std::string(kPrintKey) + "\\Printers";
const std::string kDrivers = std::string(kPrintKey) + "\\Environments\\Windows NT x86\\Drivers\\Version-3";
const std::string kMonitors = std::string(kPrintKey) + "\\Monitors";
const std::string kPorts = std::string(kPrintKey) + "\\Ports";

// An open registry key, closed on scope exit.
class Key {
public:
    Key() = default;
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    LONG open(const std::string& path) {
        std::u16string w = utf8_to_utf16(path);
        return RegOpenKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<LPCWSTR>(w.c_str()), 0, KEY_READ, &key_);
    }
    LONG create(const std::string& path) {
        std::u16string w = utf8_to_utf16(path);
        return RegCreateKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<LPCWSTR>(w.c_str()), 0, nullptr,
                               REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    }

    LONG set(const std::string& name, DWORD type, const void* data, size_t size) {
        std::u16string w = utf8_to_utf16(name);
        return RegSetValueExW(key_, reinterpret_cast<LPCWSTR>(w.c_str()), 0, type, static_cast<const BYTE*>(data),
                              static_cast<DWORD>(size));
    }
    LONG set_string(const std::string& name, const std::string& value) {
        std::u16string w = utf8_to_utf16(value);
        return set(name, REG_SZ, w.c_str(), (w.size() + 1) * 2);
    }
    LONG set_dword(const std::string& name, DWORD value) { return set(name, REG_DWORD, &value, sizeof value); }

    bool get(const std::string& name, DataValue& out) const {
        std::u16string w = utf8_to_utf16(name);
        DWORD size = 0, type = 0;
        if (RegQueryValueExW(key_, reinterpret_cast<LPCWSTR>(w.c_str()), nullptr, &type, nullptr, &size) != 0)
            return false;
        out.type = type;
        out.bytes.assign(size, 0);
        return RegQueryValueExW(key_, reinterpret_cast<LPCWSTR>(w.c_str()), nullptr, &type, out.bytes.data(),
                                &size) == 0 &&
               (out.bytes.resize(size), true);
    }
    std::string get_string(const std::string& name) const {
        DataValue v;
        if (!get(name, v) || (v.type != REG_SZ && v.type != REG_EXPAND_SZ)) return {};
        std::u16string w(v.bytes.size() / 2, u'\0');
        std::memcpy(w.data(), v.bytes.data(), w.size() * 2);
        if (auto z = w.find(u'\0'); z != std::u16string::npos) w.resize(z);
        return utf16_to_utf8(w.data(), w.size());
    }
    DWORD get_dword(const std::string& name, DWORD fallback) const {
        DataValue v;
        if (!get(name, v) || v.type != REG_DWORD || v.bytes.size() < 4) return fallback;
        DWORD d;
        std::memcpy(&d, v.bytes.data(), 4);
        return d;
    }
    std::vector<std::string> multi(const std::string& name) const {
        DataValue v;
        std::vector<std::string> out;
        if (!get(name, v) || v.type != REG_MULTI_SZ) return out;
        std::u16string w(v.bytes.size() / 2, u'\0');
        std::memcpy(w.data(), v.bytes.data(), w.size() * 2);
        size_t start = 0;
        while (start < w.size()) {
            size_t end = w.find(u'\0', start);
            if (end == std::u16string::npos) end = w.size();
            if (end > start) out.push_back(utf16_to_utf8(w.data() + start, end - start));
            start = end + 1;
        }
        return out;
    }

    std::vector<std::string> subkeys() const {
        std::vector<std::string> out;
        for (DWORD i = 0;; ++i) {
            WCHAR name[512];
            DWORD len = 512;
            if (RegEnumKeyExW(key_, i, name, &len, nullptr, nullptr, nullptr, nullptr) != 0) break;
            out.push_back(utf16_to_utf8(name, len));
        }
        return out;
    }
    // Every value with its type and bytes.
    std::vector<std::pair<std::string, DataValue>> values() const {
        std::vector<std::pair<std::string, DataValue>> out;
        for (DWORD i = 0;; ++i) {
            WCHAR name[512];
            DWORD len = 512, type = 0, size = 0;
            if (RegEnumValueW(key_, i, name, &len, nullptr, &type, nullptr, &size) != 0) break;
            std::string n = utf16_to_utf8(name, len);
            DataValue v;
            if (get(n, v)) out.emplace_back(n, std::move(v));
        }
        return out;
    }

private:
    HKEY key_ = nullptr;
};

// Deletes a key and everything below it.
DWORD delete_tree(const std::string& path) {
    {
        Key k;
        if (k.open(path) != 0) return 0;
        for (const auto& sub : k.subkeys()) delete_tree(path + "\\" + sub);
    }
    std::u16string w = utf8_to_utf16(path);
    LONG r = RegDeleteKeyW(HKEY_LOCAL_MACHINE, reinterpret_cast<LPCWSTR>(w.c_str()));
    return r == ERROR_FILE_NOT_FOUND ? 0 : static_cast<DWORD>(r);
}

void load_printer(const std::string& key_name, Contents& out) {
    Key k;
    if (k.open(kPrinters + "\\" + key_name) != 0) return;
    Printer p;
    PrinterInfo& i = p.info;
    i.name = k.get_string("Name");
    if (i.name.empty()) i.name = key_name;
    i.port = k.get_string("Port"), i.driver = k.get_string("Printer Driver");
    i.comment = k.get_string("Description"), i.location = k.get_string("Location");
    i.share = k.get_string("Share Name"), i.sep_file = k.get_string("Separator File");
    i.print_processor = k.get_string("Print Processor"), i.datatype = k.get_string("Datatype");
    i.parameters = k.get_string("Parameters");
    i.attributes = k.get_dword("Attributes", PRINTER_ATTRIBUTE_LOCAL);
    i.priority = k.get_dword("Priority", 1), i.default_priority = k.get_dword("Default Priority", 0);
    i.start_time = k.get_dword("StartTime", 0), i.until_time = k.get_dword("UntilTime", 0);
    i.status = k.get_dword("Status", 0);
    i.dns_timeout = k.get_dword("dnsTimeout", 15000), i.tx_timeout = k.get_dword("txTimeout", 45000);
    DataValue dm;
    if (k.get("Default DevMode", dm) && dm.type == REG_BINARY) i.devmode = std::move(dm.bytes);
    // A stored descriptor that does not read back whole is dropped; the
    // printer then gets the default one.
    DataValue sd;
    if (k.get("Security", sd) && sd.type == REG_BINARY &&
        qor::security::valid_descriptor_length(sd.bytes.data(), sd.bytes.size()) == sd.bytes.size())
        i.security = std::move(sd.bytes);
    Key data;
    if (data.open(kPrinters + "\\" + key_name + "\\PrinterDriverData") == 0)
        for (auto& [name, value] : data.values()) p.data[name] = std::move(value);
    out.printers[i.name] = std::move(p);
}

}  // namespace

DWORD load(Contents& out) {
    Key printers;
    if (printers.open(kPrinters) == 0)
        for (const auto& name : printers.subkeys()) load_printer(name, out);
    Key drivers;
    if (drivers.open(kDrivers) == 0) {
        for (const auto& name : drivers.subkeys()) {
            Key k;
            if (k.open(kDrivers + "\\" + name) != 0) continue;
            DriverInfo d;
            d.name = name, d.environment = "Windows NT x86", d.version = k.get_dword("Version", 3);
            d.driver_path = k.get_string("Driver"), d.data_file = k.get_string("Data File");
            d.config_file = k.get_string("Configuration File"), d.help_file = k.get_string("Help File");
            d.monitor = k.get_string("Monitor"), d.default_datatype = k.get_string("Datatype");
            d.dependent_files = k.multi("Dependent Files");
            out.drivers[name] = std::move(d);
        }
    }
    Key monitors;
    if (monitors.open(kMonitors) == 0) {
        for (const auto& name : monitors.subkeys()) {
            Key k;
            if (k.open(kMonitors + "\\" + name) == 0)
                out.monitors[name] = MonitorInfo{name, "Windows NT x86", k.get_string("Driver")};
        }
    }
    Key ports;
    out.ports_key_existed = ports.open(kPorts) == 0;
    if (out.ports_key_existed) {
        for (const auto& name : ports.subkeys()) {
            Key k;
            if (k.open(kPorts + "\\" + name) == 0)
                out.ports[name] = PortInfo{name, k.get_string("Monitor"), k.get_string("Device"), k.get_string("Settings")};
        }
    }
    return 0;
}

DWORD put_printer(const Printer& printer) {
    const PrinterInfo& i = printer.info;
    Key k;
    if (LONG r = k.create(kPrinters + "\\" + i.name)) return static_cast<DWORD>(r);
    LONG r = 0;
    auto str = [&](const char* n, const std::string& v) { r = r ? r : k.set_string(n, v); };
    auto dw = [&](const char* n, DWORD v) { r = r ? r : k.set_dword(n, v); };
    str("Name", i.name), str("Port", i.port), str("Printer Driver", i.driver), str("Description", i.comment);
    str("Location", i.location), str("Share Name", i.share), str("Separator File", i.sep_file);
    str("Print Processor", i.print_processor), str("Datatype", i.datatype), str("Parameters", i.parameters);
    dw("Attributes", i.attributes), dw("Priority", i.priority), dw("Default Priority", i.default_priority);
    dw("StartTime", i.start_time), dw("UntilTime", i.until_time), dw("Status", i.status);
    dw("dnsTimeout", i.dns_timeout), dw("txTimeout", i.tx_timeout);
    if (!r) r = k.set("Default DevMode", REG_BINARY, i.devmode.data(), i.devmode.size());
    if (!r && !i.security.empty()) r = k.set("Security", REG_BINARY, i.security.data(), i.security.size());
    if (!r) {
        Key data;
        r = data.create(kPrinters + "\\" + i.name + "\\PrinterDriverData");
    }
    return static_cast<DWORD>(r);
}

DWORD put_printer_status(const std::string& printer, DWORD status) {
    Key k;
    if (LONG r = k.create(kPrinters + "\\" + printer)) return static_cast<DWORD>(r);
    return static_cast<DWORD>(k.set_dword("Status", status));
}

DWORD put_printer_data(const std::string& printer, const std::string& value, const DataValue& data) {
    Key k;
    if (LONG r = k.create(kPrinters + "\\" + printer + "\\PrinterDriverData")) return static_cast<DWORD>(r);
    return static_cast<DWORD>(k.set(value, data.type, data.bytes.data(), data.bytes.size()));
}

DWORD remove_printer(const std::string& printer) { return delete_tree(kPrinters + "\\" + printer); }

DWORD put_driver(const DriverInfo& d) {
    Key k;
    if (LONG r = k.create(kDrivers + "\\" + d.name)) return static_cast<DWORD>(r);
    LONG r = 0;
    auto str = [&](const char* n, const std::string& v) { r = r ? r : k.set_string(n, v); };
    str("Driver", d.driver_path), str("Data File", d.data_file), str("Configuration File", d.config_file);
    str("Help File", d.help_file), str("Monitor", d.monitor), str("Datatype", d.default_datatype);
    if (!r) r = k.set_dword("Version", d.version);
    if (!r) {
        std::u16string list;
        for (const auto& f : d.dependent_files) list += utf8_to_utf16(f) + u'\0';
        list.push_back(u'\0');
        r = k.set("Dependent Files", REG_MULTI_SZ, list.data(), list.size() * 2);
    }
    return static_cast<DWORD>(r);
}

DWORD remove_driver(const std::string& driver) { return delete_tree(kDrivers + "\\" + driver); }

DWORD put_port(const PortInfo& port) {
    Key k;
    if (LONG r = k.create(kPorts + "\\" + port.name)) return static_cast<DWORD>(r);
    LONG r = k.set_string("Device", port.device);
    if (!r) r = k.set_string("Settings", port.settings);
    if (!r) r = k.set_string("Monitor", port.monitor);
    return static_cast<DWORD>(r);
}

DWORD remove_port(const std::string& port) { return delete_tree(kPorts + "\\" + port); }

DWORD put_monitor(const MonitorInfo& monitor) {
    Key k;
    if (LONG r = k.create(kMonitors + "\\" + monitor.name)) return static_cast<DWORD>(r);
    return static_cast<DWORD>(k.set_string("Driver", monitor.module));
}

DWORD remove_monitor(const std::string& monitor) { return delete_tree(kMonitors + "\\" + monitor); }

}  // namespace qor::spooler::store
