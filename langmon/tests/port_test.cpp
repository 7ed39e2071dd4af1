#include "scripted.h"

#include "qortest.h"
#include "qor/module.h"
#include "qor/spooler.h"

namespace lmtest {

void PortTest::SetUp() {
    monitor().reset();
    spooler().reset();
    model().reset();
    QORMonInitCriticalSection();
}

void PortTest::TearDown() {
    for (HANDLE port : opened_) QORMonClosePort(port);
}

HANDLE PortTest::open(const std::string& port_name, HMODULE model_module, bool with_printer_data,
                      const std::string& printer_name) {
    MONITOR2 table = monitor().table(with_printer_data);
    auto port = wide(port_name);
    auto printer = wide(printer_name);
    HANDLE handle = nullptr;
    if (!QORMonOpenPortEx(nullptr, nullptr, port.data(), printer.data(), &handle, &table, model_module))
        return nullptr;
    opened_.push_back(handle);
    return handle;
}

void PortTest::close(HANDLE port) {
    QORMonClosePort(port);
    std::erase(opened_, port);
}

BOOL PortTest::start(HANDLE port, DWORD job, const std::string& printer, DWORD level) {
    auto name = wide(printer);
    WCHAR document[] = u"doc";
    DOC_INFO_1W info = {document, nullptr, nullptr};
    return QORMonStartDocPort(port, name.data(), job, level, reinterpret_cast<LPBYTE>(&info));
}

BOOL PortTest::write(HANDLE port, size_t count, DWORD* written) {
    std::vector<BYTE> bytes(count, 0x41);
    DWORD done = 0;
    const BOOL result = QORMonWritePort(port, bytes.data(), DWORD(count), &done);
    if (written) *written = done;
    return result;
}

BOOL PortTest::request(HANDLE port, const std::string& name, DWORD control, void* out, DWORD out_size,
                       DWORD* returned) {
    auto value = wide(name);
    DWORD ignored = 0;
    return QORMonGetPrinterDataFromPort(port, control, value.data(), nullptr, 0, static_cast<LPWSTR>(out),
                                        out_size, returned ? returned : &ignored);
}

HMODULE PortTest::test_model() { return GetModuleHandleA(nullptr); }

bool PortTest::polling_ended(HANDLE port) {
    // The wake event is withdrawn as the thread's last act.
    return qortest::eventually([&] { return std::atomic_ref<HANDLE>(record(port)->wake_event).load() == nullptr; });
}

}  // namespace lmtest
