#include "companion_program.h"

#include <cstdlib>
#include <dlfcn.h>

namespace qor {

std::string companion_program(const char* override_variable, const char* name) {
    if (const char* p = std::getenv(override_variable); p && *p) return p;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&companion_program), &info) && info.dli_fname) {
        std::string library = info.dli_fname;
        auto slash = library.find_last_of('/');
        if (slash != std::string::npos) return library.substr(0, slash + 1) + name;
    }
    return name;
}

}  // namespace qor
