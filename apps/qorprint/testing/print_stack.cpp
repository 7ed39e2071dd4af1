#include "print_stack.h"

#include "common/printer_defaults.h"
#include "qor/spooler.h"

#include <filesystem>
#include <unistd.h>
#include <vector>

namespace printstack {

namespace {

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string DriverFolder() {
    DWORD needed = 0;
    GetPrinterDriverDirectoryW(nullptr, nullptr, 1, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed ? needed : 2);
    if (!needed || !GetPrinterDriverDirectoryW(nullptr, nullptr, 1, buffer.data(), needed, &needed)) return {};
    std::string folder;
    for (const auto* c = reinterpret_cast<const char16_t*>(buffer.data()); *c; ++c)
        folder.push_back(static_cast<char>(*c));
    return folder;
}

bool Fail(std::string* error, const std::string& what) {
    *error = what + " (error " + std::to_string(GetLastError()) + ")";
    return false;
}

}  // namespace

std::string ProgramDir() {
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string();
}

bool InstallPrinter(const std::string& bin_dir, const std::string& data_dir, const std::string& emulator_socket,
                    std::string* error) {
    const std::string folder = DriverFolder();
    if (folder.empty()) return Fail(error, "no driver folder");
    const std::filesystem::path three = std::filesystem::path(folder) / "3";
    std::error_code ec;
    std::filesystem::create_directories(three, ec);
    const std::pair<std::string, std::string> files[] = {
        {bin_dir + "/QORKPDN5.so", "QORKPDN5.so"},
        {bin_dir + "/QORCPDN7.so", "QORCPDN7.so"},
        {bin_dir + "/QORCPUN7.so", "QORCPUN7.so"},
        {bin_dir + "/QORZEMLM.so", "QORZEMLM.so"},
        {bin_dir + "/QORLM2K.so", "QORLM2K.so"},
        {data_dir + "/qorn5001.ppd", "qorn5001.ppd"},
        {data_dir + "/qorn5002.ppd", "qorn5002.ppd"},
    };
    for (const auto& [from, name] : files) {
        std::filesystem::remove(three / name, ec);
        std::filesystem::create_symlink(from, three / name, ec);
        if (ec) {
            *error = "cannot link " + from + " into " + three.string() + ": " + ec.message();
            return false;
        }
    }

    std::u16string env = Wide(QOR_DRIVER_ENVIRONMENT), monitor = Wide(kMonitor), module = u"QORZEMLM.so";
    MONITOR_INFO_2W monitor_info{monitor.data(), env.data(), module.data()};
    if (!AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&monitor_info)) &&
        GetLastError() != ERROR_PRINT_MONITOR_ALREADY_INSTALLED)
        return Fail(error, "cannot register the language monitor");

    std::u16string driver = Wide(kDriver), path = u"QORKPDN5.so", data = u"qorn5001.ppd", config = u"QORCPUN7.so";
    std::u16string raw = u"RAW", dependents(u"QORCPDN7.so\0\0", 13);
    DRIVER_INFO_3W driver_info{};
    driver_info.cVersion = 3;
    driver_info.pName = driver.data();
    driver_info.pEnvironment = env.data();
    driver_info.pDriverPath = path.data();
    driver_info.pDataFile = data.data();
    driver_info.pConfigFile = config.data();
    driver_info.pDependentFiles = dependents.data();
    driver_info.pMonitorName = monitor.data();
    driver_info.pDefaultDataType = raw.data();
    if (!AddPrinterDriverW(nullptr, 3, reinterpret_cast<LPBYTE>(&driver_info)) &&
        GetLastError() != ERROR_PRINTER_DRIVER_ALREADY_INSTALLED)
        return Fail(error, "cannot install the driver");

    std::u16string port = Wide(kPort), device = Wide("emu:" + emulator_socket), settings = u"38400,n,8,1";
    if (!QorConfigurePortW(port.c_str(), device.c_str(), settings.c_str()))
        return Fail(error, "cannot point " + std::string(kPort) + " at the emulator");

    std::u16string printer = Wide(kPrinter), processor = u"winprint";
    PRINTER_INFO_2W printer_info{};
    printer_info.pPrinterName = printer.data();
    printer_info.pPortName = port.data();
    printer_info.pDriverName = driver.data();
    printer_info.pPrintProcessor = processor.data();
    printer_info.pDatatype = raw.data();
    printer_info.Attributes = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_ENABLE_BIDI;
    HANDLE handle = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&printer_info));
    if (!handle) {
        if (GetLastError() != ERROR_PRINTER_ALREADY_EXISTS) return Fail(error, "cannot add the printer");
        return true;
    }
    // As qorctl add-printer does: the printer's own paper by default.
    const bool defaults = qor::defaults::install(handle, error);
    ClosePrinter(handle);
    return defaults;
}

}  // namespace printstack
