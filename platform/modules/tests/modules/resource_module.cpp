// A module carrying resources; it reads its own string while attaching, as
// drivers do with the instance handle they are given.
#include "qor/module.h"

#include <cstdlib>

extern "C" QORAPI BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        char text[32];
        if (LoadStringA(instance, 1, text, sizeof text) > 0) setenv("QORTEST_ATTACH_STRING", text, 1);
    }
    return TRUE;
}
