// A module that counts its attach and detach calls in the environment, which
// outlives the module, so the test can read them after the unload.
#include "qor/module.h"

#include <cstdlib>
#include <string>

namespace {

HINSTANCE entry_instance = nullptr;

void bump(const char* counter) {
    const char* value = std::getenv(counter);
    setenv(counter, std::to_string((value ? std::atoi(value) : 0) + 1).c_str(), 1);
}

}  // namespace

extern "C" QORAPI BOOL DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        entry_instance = instance;
        bump("QORTEST_ATTACH");
    } else if (reason == DLL_PROCESS_DETACH) {
        bump("QORTEST_DETACH");
    }
    return TRUE;
}

extern "C" QORAPI int AddNumbers(int a, int b) { return a + b; }

extern "C" QORAPI HINSTANCE EntryInstance(void) { return entry_instance; }
