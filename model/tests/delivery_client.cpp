// A kiosk application printing as its own process for the delivery tests:
//   modeltest_delivery_client PRINTER ROUND CLIENT COUNT
// prints COUNT small identified jobs one after another, each written in
// pieces of varying size as a driver writes them. Exit 0 when every job
// was accepted.
#include "delivery_jobs.h"
#include "qor/support/utf.h"

#include "qor/spooler.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool print_one(HANDLE printer, const std::vector<uint8_t>& data) {
    std::u16string document = u"delivery", type = u"RAW";
    DOC_INFO_1W info{document.data(), nullptr, type.data()};
    if (!StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&info))) return false;
    size_t at = 0, piece = 1;
    while (at < data.size()) {
        size_t n = std::min(piece, data.size() - at);
        DWORD written = 0;
        if (!WritePrinter(printer, const_cast<uint8_t*>(data.data() + at), DWORD(n), &written) || written != n)
            return false;
        at += n;
        piece = piece * 7 % 1531 + 1;
    }
    return EndDocPrinter(printer) != FALSE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    std::u16string name = qor::utf8_to_utf16(argv[1]);
    delivery::JobId id{std::atoi(argv[2]), std::atoi(argv[3]), 0};
    const int count = std::atoi(argv[4]);
    HANDLE printer = nullptr;
    if (!OpenPrinterW(name.data(), &printer, nullptr)) return 3;
    for (id.job = 0; id.job < count; ++id.job)
        if (!print_one(printer, delivery::job_bytes(id, delivery::small_job_rows(id)))) return 4;
    ClosePrinter(printer);
    return 0;
}
