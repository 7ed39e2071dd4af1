// A spooler that knows one printer, linked into test and benchmark programs
// in place of the client calls the engine and the rendering driver make:
// the driver folder, the printer's installed driver and its jobs.
#pragma once

#include "qor/base.h"

#include <string>
#include <vector>

namespace fakespooler {

struct Printer {
    std::u16string name;
    std::u16string driver_folder;  // what GetPrinterDriverDirectoryW reports
    std::u16string driver_path;    // the installed driver module
    std::u16string data_file;      // its description file
    DWORD job_id = 41;             // what StartDocPrinterW returns
};

void install(const Printer& printer);
// "StartDocPrinter", "StartPagePrinter", "EndPagePrinter", "EndDocPrinter",
// "AbortPrinter", in order.
std::vector<std::string> calls();

}  // namespace fakespooler
