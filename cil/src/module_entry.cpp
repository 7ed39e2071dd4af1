// QORCIL.so's entry point: the library state lives from load to unload.
#include "library.h"

#include "qor/module.h"

extern "C" QORAPI BOOL DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) return qor::cil::attach() ? TRUE : FALSE;
    if (reason == DLL_PROCESS_DETACH) qor::cil::detach();
    return TRUE;
}
