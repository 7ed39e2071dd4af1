// A module whose DllMain refuses to attach.
#include "qor/module.h"

#include <cstdlib>

extern "C" QORAPI BOOL DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH) setenv("QORTEST_REFUSED_DETACH", "1", 1);
    return reason == DLL_PROCESS_ATTACH ? FALSE : TRUE;
}
