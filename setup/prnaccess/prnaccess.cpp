// prnaccess: run once at installation, without a window or output; lets
// every user manage the printer "QOR ZEM-Dx10P" and its documents. Always
// exits with 0; other arguments than --help and --version are ignored.
#include "access_update.h"
#include "qor/support/version.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc == 2 && !std::strcmp(argv[1], "--help")) {
        std::printf("usage: prnaccess\n  lets every user manage the printer \"%s\" and its documents\n",
                    prnaccess::kPrinterName);
        return 0;
    }
    if (argc == 2 && !std::strcmp(argv[1], "--version")) {
        std::printf("prnaccess %s\n", qor::kSuiteVersion);
        return 0;
    }
    prnaccess::run();
    return 0;
}
