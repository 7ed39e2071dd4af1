// Prints jobs as a separate client process for the spooler tests.
//   spooltest_helper_print jobs PRINTER CLIENT COUNT   COUNT framed jobs
//   spooltest_helper_print hang PRINTER                 starts a job, writes, then waits to be killed
// A framed job is "JOB c=CC j=JJJ n=NNNNNN\n", NNNNNN pattern bytes, "END\n",
// so the output shows whether any job's bytes were mixed with another's.
#include "qor/support/utf.h"

#include "qor/spooler.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string framed_job(int client, int job, size_t size) {
    char head[64];
    std::snprintf(head, sizeof head, "JOB c=%02d j=%03d n=%06zu\n", client, job, size);
    std::string out = head;
    for (size_t i = 0; i < size; ++i) out.push_back(static_cast<char>('a' + (client * 7 + job + i) % 26));
    return out + "END\n";
}

bool print_one(HANDLE h, const std::string& data) {
    std::u16string doc = u"helper", type = u"RAW";
    DOC_INFO_1W di{doc.data(), nullptr, type.data()};
    if (!StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&di))) return false;
    // Pieces of varying size, as a driver writes.
    size_t off = 0, piece = 1;
    while (off < data.size()) {
        size_t n = std::min(piece, data.size() - off);
        DWORD written = 0;
        if (!WritePrinter(h, const_cast<char*>(data.data() + off), DWORD(n), &written) || written != n) return false;
        off += n;
        piece = piece * 3 % 997 + 1;
    }
    return EndDocPrinter(h) != FALSE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    std::string mode = argv[1];
    std::u16string printer = qor::utf8_to_utf16(argv[2]);
    HANDLE h = nullptr;
    if (!OpenPrinterW(printer.data(), &h, nullptr)) return 3;
    if (mode == "jobs" && argc == 5) {
        int client = std::atoi(argv[3]), count = std::atoi(argv[4]);
        std::mt19937 rng(static_cast<unsigned>(client));
        for (int j = 0; j < count; ++j)
            if (!print_one(h, framed_job(client, j, 1 + rng() % 6000))) return 4;
        ClosePrinter(h);
        return 0;
    }
    if (mode == "hang") {
        std::u16string doc = u"hang", type = u"RAW";
        DOC_INFO_1W di{doc.data(), nullptr, type.data()};
        if (!StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&di))) return 5;
        std::vector<char> data(100000, 'x');
        DWORD written = 0;
        if (!WritePrinter(h, data.data(), DWORD(data.size()), &written)) return 6;
        std::puts("ready");
        std::fflush(stdout);
        for (;;) pause();
    }
    return 2;
}
