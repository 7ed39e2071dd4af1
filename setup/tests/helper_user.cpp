// Acts on a printer as another user: drops to the uid given, then reports
// whether opening with all access and pausing a job are allowed.
//   setuptest_helper_user UID PRINTER JOB  ->  "open_all=<error> set_job=<error>"
#include "qor/spooler.h"
#include "qor/support/utf.h"

#include <cstdio>
#include <cstdlib>
#include <grp.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    uid_t uid = uid_t(std::atoi(argv[1]));
    gid_t gid = gid_t(uid);
    if (setgroups(1, &gid) != 0 || setgid(gid) != 0 || setuid(uid) != 0) {
        std::perror("setuid");
        return 1;
    }
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSA all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    DWORD open_all = 0;
    if (OpenPrinterA(argv[2], &printer, &all)) ClosePrinter(printer);
    else open_all = GetLastError();
    DWORD set_job = 0;
    if (!OpenPrinterA(argv[2], &printer, nullptr)) {
        set_job = GetLastError();
    } else {
        if (!SetJobW(printer, DWORD(std::atoi(argv[3])), 0, nullptr, JOB_CONTROL_PAUSE)) set_job = GetLastError();
        ClosePrinter(printer);
    }
    std::printf("open_all=%u set_job=%u\n", unsigned(open_all), unsigned(set_job));
    return 0;
}
