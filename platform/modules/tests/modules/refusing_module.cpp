// A module whose DllMain refuses to attach; it counts its detach calls.
#include "qor/module.h"

#include <cstdlib>
#include <string>

extern "C" QORAPI BOOL DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH) {
        const char* value = std::getenv("QORTEST_REFUSED_DETACH");
        setenv("QORTEST_REFUSED_DETACH", std::to_string((value ? std::atoi(value) : 0) + 1).c_str(), 1);
    }
    return reason == DLL_PROCESS_ATTACH ? FALSE : TRUE;
}
