#include "spool_testing.h"

#include "qor/support/utf.h"

#include "qor/spooler.h"

#include <fstream>
#include <sstream>
#include <vector>

namespace qorspool {
namespace {

std::u16string w(const std::string& s) { return qor::utf8_to_utf16(s); }

}  // namespace

PrivateSpooler::PrivateSpooler(int retry_ms) {
    child_ = qortest::Child::spawn("qorspoold", {"--retry", std::to_string(retry_ms)});
    ok_ = qortest::eventually([] { return QorSpoolerControl(QOR_SPOOLER_PING) != FALSE; }, std::chrono::seconds(10));
}

PrivateSpooler::~PrivateSpooler() { stop(); }

void PrivateSpooler::stop() {
    if (!child_.running()) return;
    QorSpoolerControl(QOR_SPOOLER_STOP);
    if (child_.wait(std::chrono::seconds(15)) < 0) child_.kill();
}

bool PrivateSpooler::add_driver(const std::string& driver, const std::string& monitor,
                                const std::string& monitor_module) {
    return install_driver(driver, monitor, monitor_module);
}

bool PrivateSpooler::add_printer(const std::string& printer, const std::string& port, const std::string& device,
                                 const std::string& driver) {
    return install_printer(printer, port, device, driver);
}

bool PrivateSpooler::wait_idle(const std::string& printer, std::chrono::milliseconds timeout) const {
    return wait_printer_idle(printer, timeout);
}

bool install_driver(const std::string& driver, const std::string& monitor, const std::string& monitor_module) {
    std::u16string env = w(QOR_DRIVER_ENVIRONMENT), name = w(driver), mon = w(monitor), mod = w(monitor_module);
    if (!monitor.empty()) {
        MONITOR_INFO_2W mi{mon.data(), env.data(), mod.data()};
        if (!AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&mi)) && GetLastError() != ERROR_PRINT_MONITOR_ALREADY_INSTALLED)
            return false;
    }
    std::u16string file = w("QORKPDN5.so"), data = w("qorn5001.ppd"), config = w("QORCPUN7.so"), type = w("RAW");
    std::u16string none(1, u'\0');
    DRIVER_INFO_3W info{};
    info.cVersion = 3;
    info.pName = name.data(), info.pEnvironment = env.data(), info.pDriverPath = file.data();
    info.pDataFile = data.data(), info.pConfigFile = config.data(), info.pDependentFiles = none.data();
    info.pMonitorName = monitor.empty() ? nullptr : mon.data();
    info.pDefaultDataType = type.data();
    return AddPrinterDriverW(nullptr, 3, reinterpret_cast<LPBYTE>(&info)) != FALSE;
}

bool install_printer(const std::string& printer, const std::string& port, const std::string& device,
                     const std::string& driver) {
    std::u16string port_w = w(port), device_w = w(device), name = w(printer), driver_w = w(driver);
    PORT_INFO_1W pi{port_w.data()};
    if (!AddPortExW(nullptr, 1, reinterpret_cast<LPBYTE>(&pi), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    if (!device.empty() && !QorConfigurePortW(port_w.c_str(), device_w.c_str(), nullptr)) return false;
    std::vector<uint8_t> buf(4096);
    DWORD needed = 0, count = 0;
    bool have_driver = false;
    if (EnumPrinterDriversW(nullptr, nullptr, 2, buf.data(), DWORD(buf.size()), &needed, &count)) {
        auto* d = reinterpret_cast<DRIVER_INFO_2W*>(buf.data());
        for (DWORD i = 0; i < count; ++i) have_driver |= qor::utf16_to_utf8(d[i].pName) == driver;
    }
    if (!have_driver && !install_driver(driver)) return false;
    PRINTER_INFO_2W info{};
    info.pPrinterName = name.data(), info.pPortName = port_w.data(), info.pDriverName = driver_w.data();
    HANDLE h = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    if (!h) return false;
    ClosePrinter(h);
    return true;
}

std::string PrivateSpooler::output_path() const { return qortest::sandbox() + "/printer-output.bin"; }

std::string PrivateSpooler::output() const {
    std::ifstream in(output_path(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

unsigned long print_raw(const std::string& printer, const std::string& data) {
    std::u16string name = qor::utf8_to_utf16(printer), doc = u"ticket", type = u"RAW";
    HANDLE h = nullptr;
    if (!OpenPrinterW(name.data(), &h, nullptr)) return 0;
    DOC_INFO_1W di{doc.data(), nullptr, type.data()};
    DWORD job = StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&di));
    DWORD written = 0;
    if (!job || !WritePrinter(h, const_cast<char*>(data.data()), DWORD(data.size()), &written) || !EndDocPrinter(h))
        job = 0;
    ClosePrinter(h);
    return job;
}

bool wait_printer_idle(const std::string& printer, std::chrono::milliseconds timeout) {
    std::u16string name = w(printer);
    HANDLE h = nullptr;
    if (!OpenPrinterW(name.data(), &h, nullptr)) return false;
    bool idle = qortest::eventually(
        [&] {
            std::vector<uint8_t> buf(8192);
            DWORD needed = 0;
            if (!GetPrinterW(h, 2, buf.data(), DWORD(buf.size()), &needed)) return false;
            return reinterpret_cast<PRINTER_INFO_2W*>(buf.data())->cJobs == 0;
        },
        timeout);
    ClosePrinter(h);
    return idle;
}

}  // namespace qorspool
