// Temporary: the platform's module loader has not landed yet. These minimal
// dlopen-based entries let the tests run until it does; CMake drops this file
// as soon as the platform provides its own.
#include "qor/module.h"

#include <dlfcn.h>
#include <string>

extern "C" {

QORAPI HMODULE LoadLibraryA(LPCSTR name) {
    std::string path = name;
    if (path.find('/') == std::string::npos) path = "./" + path + ".so";
    return dlopen(path.c_str(), RTLD_NOW);
}

QORAPI HMODULE LoadLibraryW(LPCWSTR) { return nullptr; }

QORAPI BOOL FreeLibrary(HMODULE module) { return dlclose(module) == 0; }

QORAPI FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    return reinterpret_cast<FARPROC>(dlsym(module, name));
}

QORAPI HMODULE GetModuleHandleA(LPCSTR) { return dlopen(nullptr, RTLD_NOW); }

}  // extern "C"
