// The spooler calls QORCIL makes, answered by the test: printers to find and
// open, and every request to the monitor side handed to a test function.
// Defined in the test program, so the library's calls bind to them.
#pragma once

#include "qor/spooler.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace ciltest {

struct ScriptedPrinter {
    std::string name;
    std::string driver = "QOR ZEM-D";
    DWORD attributes = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_ENABLE_BIDI;
    DWORD not_selected_timeout = 15000;
};

// What GetPrinterDataA returns for one request, and its answer word.
struct Answer {
    DWORD result = ERROR_SUCCESS;
    DWORD word = 1;
    DWORD returned = sizeof(DWORD);
};

class ScriptedSpooler {
public:
    static ScriptedSpooler& instance();
    void reset();

    void set_printers(std::vector<ScriptedPrinter> printers);
    void set_monitor(std::function<Answer(const std::string& request)> monitor);
    std::vector<ScriptedPrinter> printers();

    // What the library did, in order: "open NAME", "close", "request NAME",
    // "set-5 TIMEOUT".
    std::vector<std::string> calls();
    size_t count(const std::string& call);
    void record(std::string call);

    // Called by the stand-in spooler entries.
    Answer answer(const std::string& request);
    bool open(const std::string& name, HANDLE* handle);
    bool close(HANDLE handle);
    int printer_of(HANDLE handle);  // index, -1 for a handle not open
    void set_timeout(int printer, DWORD timeout);

private:
    std::mutex mutex_;
    std::vector<ScriptedPrinter> printers_;
    std::vector<std::string> calls_;
    std::vector<HANDLE> open_;
    std::function<Answer(const std::string&)> monitor_;
    uintptr_t next_handle_ = 0x1000;
};

}  // namespace ciltest
