#include "lm2k_entries.h"

#include "qor/module.h"

#include <mutex>

namespace qor::model {

namespace {

template <class Entry>
void bind(HMODULE module, const char* name, Entry& entry) {
    entry = reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

bool Lm2kEntries::complete() const {
    return init && open_port && start_doc && write_port && read_port && end_doc && close_port && get_printer_data &&
           shutdown && write_command && read_command && check_connect && com_break;
}

const Lm2kEntries* lm2k() {
    static Lm2kEntries entries;
    static DWORD load_error = 0;
    static std::once_flag once;
    std::call_once(once, [] {
        HMODULE module = LoadLibraryA("QORLM2K.DLL");
        if (!module) {
            load_error = GetLastError();
            return;
        }
        bind(module, "QORMonInitCriticalSection", entries.init);
        bind(module, "QORMonOpenPortEx", entries.open_port);
        bind(module, "QORMonStartDocPort", entries.start_doc);
        bind(module, "QORMonWritePort", entries.write_port);
        bind(module, "QORMonReadPort", entries.read_port);
        bind(module, "QORMonEndDocPort", entries.end_doc);
        bind(module, "QORMonClosePort", entries.close_port);
        bind(module, "QORMonGetPrinterDataFromPort", entries.get_printer_data);
        bind(module, "QORMonShutdown", entries.shutdown);
        bind(module, "WriteCommand", entries.write_command);
        bind(module, "ReadCommand", entries.read_command);
        bind(module, "CheckConnectComPort", entries.check_connect);
        bind(module, "ComBreak", entries.com_break);
        if (!entries.complete()) {
            load_error = ERROR_PROC_NOT_FOUND;
            return;
        }
        entries.init();
    });
    if (load_error) {
        SetLastError(load_error);
        return nullptr;
    }
    return &entries;
}

}  // namespace qor::model
