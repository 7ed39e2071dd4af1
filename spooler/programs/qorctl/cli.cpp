#include "cli.h"

#include "common/error_text.h"
#include "qor/support/utf.h"

#include <cstdio>

namespace qorctl {

std::u16string wide(const std::string& s) { return qor::utf8_to_utf16(s); }

std::string narrow(LPCWSTR s) { return s ? qor::utf16_to_utf8(s) : std::string(); }

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

int fail(const std::string& what) { return fail_because(what, qor::errors::describe(GetLastError())); }

int fail_because(const std::string& what, const std::string& reason) {
    std::fprintf(stderr, "qorctl: %s failed: %s\n", what.c_str(), reason.c_str());
    return kFailed;
}

int usage_error(const std::string& why) {
    std::fprintf(stderr, "qorctl: %s\nTry 'qorctl --help'.\n", why.c_str());
    return kUsage;
}

int bad_input(const std::string& what) {
    std::fprintf(stderr, "qorctl: %s\n", what.c_str());
    return kUsage;
}

Printer::Printer(const std::string& name) {
    std::u16string n = wide(name);
    PRINTER_DEFAULTSW d{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterW(n.data(), &h_, &d)) h_ = nullptr;
}

Printer::~Printer() {
    if (h_) ClosePrinter(h_);
}

}  // namespace qorctl
