// Plays another application in the end-to-end and stress tests, loading
// QORCIL by name as the tools do.
//   qorcil_helper_session open PRINTER RESULT_FILE     one open (and close); its code
//   qorcil_helper_session hold PRINTER EVENT           opens, sets EVENT, waits to be killed
//   qorcil_helper_session stress PRINTER SECONDS FILE  open, status, close in a loop; counts
#include "qorcil_binding.h"

#include "qor/kernel.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

bool write_file(const std::string& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "w");
    if (!file) return false;
    std::fputs(text.c_str(), file);
    return std::fclose(file) == 0;
}

// Per kind of call: how often each code came back, and the longest call.
struct Tally {
    std::map<std::string, long> counts;
    std::map<std::string, long> longest_ms;

    template <class Call>
    DWORD time(const std::string& kind, Call call) {
        const auto start = Clock::now();
        const DWORD result = call();
        const long ms = long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        ++counts[kind + " " + std::to_string(result)];
        long& longest = longest_ms[kind];
        if (ms > longest) longest = ms;
        return result;
    }

    std::string text() const {
        std::string out;
        for (const auto& [key, count] : counts) out += key + " " + std::to_string(count) + "\n";
        for (const auto& [kind, ms] : longest_ms) out += "longest-ms " + kind + " " + std::to_string(ms) + "\n";
        return out;
    }
};

int stress(const qorcil::Binding& cil, const char* printer, int seconds, const std::string& file) {
    Tally tally;
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end) {
        HANDLE session = nullptr;
        if (tally.time("open", [&] { return cil->OpenQorPrinterA(printer, &session); }) != 0) {
            usleep(5000);  // an application would retry a little later
            continue;
        }
        DWORD status = 0;
        tally.time("status", [&] { return cil->GetQorPrinterStatus(session, &status, 1); });
        tally.time("close", [&] { return cil->CloseQorPrinter(session); });
    }
    return write_file(file, tally.text()) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: qorcil_helper_session open|hold|stress PRINTER ...\n");
        return 2;
    }
    const std::string command = argv[1];
    const char* printer = argv[2];
    qorcil::Binding cil;
    std::string error;
    if (!cil.load(&error)) {
        std::fprintf(stderr, "qorcil_helper_session: %s\n", error.c_str());
        return 1;
    }
    if (command == "open") {
        HANDLE session = nullptr;
        const DWORD result = cil->OpenQorPrinterA(printer, &session);
        if (result == 0) cil->CloseQorPrinter(session);
        return write_file(argv[3], std::to_string(result)) ? 0 : 1;
    }
    if (command == "hold") {
        HANDLE session = nullptr;
        if (cil->OpenQorPrinterA(printer, &session) != 0) return 1;
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, argv[3]);
        SetEvent(ready);
        for (;;) pause();
    }
    if (command == "stress" && argc >= 5) return stress(cil, printer, std::atoi(argv[3]), argv[4]);
    return 2;
}
