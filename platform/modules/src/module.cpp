// The module loader: platform names ("QORCIL.DLL") mapped to shared objects
// in the suite's folders, reference counts, and the attach/detach calls.
#include "qor/module.h"
#include "qor/guard.h"

#include "module_table.h"
#include "qor/support/paths.h"
#include "qor/support/places.h"
#include "acp_text.h"
#include "qor/support/utf.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <map>
#include <mutex>
#include <string>

namespace {

struct Module {
    std::string path;  // real path of the file
    std::string key;   // lower-case file name, for matching by name
    unsigned references = 0;
    bool pinned = false;  // the executable or a module loaded by other means
    bool initialised = false;  // attach accepted, or nothing to call
    QOR_DLL_ENTRY entry = nullptr;  // set only when attach was accepted
};

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

bool ends_with_ci(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && lower(text.substr(text.size() - suffix.size())) == suffix;
}

// "QORCIL.DLL" and "qorcil" become "QORCIL.so" (case is settled by the
// case-insensitive search).
std::string shared_object_name(const std::string& utf8_name) {
    std::string path = qor::paths::native(utf8_name);
    std::string file = qor::paths::file_name_of(path);
    if (ends_with_ci(file, ".dll")) return path.substr(0, path.size() - 4) + ".so";
    if (!file.empty() && file.back() == '.') return path.substr(0, path.size() - 1) + ".so";
    if (file.find('.') == std::string::npos) return path + ".so";
    return path;
}

std::string real_path(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved) return path;
    std::string result(resolved);
    std::free(resolved);
    return result;
}

std::string platform_folder() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&LoadLibraryW), &info) || !info.dli_fname) return std::string();
    return qor::paths::folder_of(real_path(info.dli_fname));
}

std::string locate(const std::string& name) {
    if (qor::paths::is_absolute(name)) return qor::paths::find_existing(name);
    std::vector<std::string> folders;
    if (name.find('/') != std::string::npos) {
        folders = {qor::places::root(), qor::paths::executable_folder()};
    } else {
        folders = {qor::paths::executable_folder(), platform_folder(), qor::places::root() + "/system32"};
    }
    for (const auto& folder : folders) {
        if (folder.empty()) continue;
        std::string found = qor::paths::find_existing(folder + "/" + name);
        if (!found.empty()) return found;
    }
    return std::string();
}

class Loader {
public:
    // Held while a module's entry point runs, so an entry point may load or
    // free other modules on its own thread; other threads wait, as they do
    // for the platform's loader lock.
    std::recursive_mutex lock;

    Module* find(HMODULE handle) {
        auto it = modules_.find(handle);
        return it == modules_.end() ? nullptr : &it->second;
    }
    HMODULE find_by_key(const std::string& key) {
        for (auto& [handle, module] : modules_)
            if (module.key == key) return handle;
        return nullptr;
    }
    HMODULE find_by_path(const std::string& path) {
        for (auto& [handle, module] : modules_)
            if (module.path == path) return handle;
        return nullptr;
    }
    Module& add(HMODULE handle, const std::string& path) {
        Module& module = modules_[handle];
        module.path = path;
        module.key = lower(qor::paths::file_name_of(path));
        return module;
    }
    void remove(HMODULE handle) { modules_.erase(handle); }

    HMODULE executable() {
        if (!executable_) {
            executable_ = dlopen(nullptr, RTLD_NOW);
            std::string path = real_path("/proc/self/exe");
            add(executable_, path).pinned = true;
        }
        return executable_;
    }

private:
    std::map<HMODULE, Module> modules_;
    HMODULE executable_ = nullptr;
};

// Never destroyed: modules may still be freed by other libraries at exit.
Loader& loader() {
    static Loader* instance = new Loader;
    return *instance;
}

// A symbol defined in the object itself, not found through its dependencies.
void* own_symbol(HMODULE handle, const char* name) {
    dlerror();
    void* symbol = dlsym(handle, name);
    if (!symbol) return nullptr;
    link_map* owner = nullptr;
    link_map* module_map = nullptr;
    Dl_info info{};
    if (dlinfo(handle, RTLD_DI_LINKMAP, &module_map) != 0) return nullptr;
    if (!dladdr1(symbol, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP)) return nullptr;
    return owner == module_map ? symbol : nullptr;
}

HMODULE fail_module(DWORD error) {
    SetLastError(error);
    return nullptr;
}

// Sends attach; false when the module refused it, after its detach, as the
// platform does.
bool initialise(Module& module, HMODULE handle) {
    void* entry = own_symbol(handle, "DllEntryPoint");
    if (!entry) entry = own_symbol(handle, "DllMain");
    if (entry) {
        auto call = reinterpret_cast<QOR_DLL_ENTRY>(entry);
        if (!call(handle, DLL_PROCESS_ATTACH, nullptr)) {
            call(handle, DLL_PROCESS_DETACH, nullptr);
            return false;
        }
        module.entry = call;
    }
    module.initialised = true;
    return true;
}

// Adds a reference to a module in the table and attaches it unless the
// caller wants it only as data. A module first loaded as data is attached
// by the first ordinary load.
HMODULE add_reference(Loader& table, HMODULE handle, DWORD flags) {
    Module* module = table.find(handle);
    if (!module || module->pinned) return handle;
    ++module->references;
    if (module->initialised || (flags & (DONT_RESOLVE_DLL_REFERENCES | LOAD_LIBRARY_AS_DATAFILE))) return handle;
    if (initialise(*module, handle)) return handle;
    if (--module->references == 0) {
        table.remove(handle);
        dlclose(handle);
    }
    return fail_module(ERROR_DLL_INIT_FAILED);
}

HMODULE load(const std::string& utf8_name, DWORD flags) {
    std::string name = shared_object_name(utf8_name);
    auto& table = loader();
    std::lock_guard guard(table.lock);
    if (name.find('/') == std::string::npos) {
        if (HMODULE loaded = table.find_by_key(lower(name))) return add_reference(table, loaded, flags);
    }
    std::string found = locate(name);
    if (found.empty()) return fail_module(ERROR_MOD_NOT_FOUND);
    std::string path = real_path(found);
    if (HMODULE loaded = table.find_by_path(path)) return add_reference(table, loaded, flags);
    HMODULE handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return fail_module(ERROR_MOD_NOT_FOUND);
    if (table.find(handle)) dlclose(handle);  // the same object under another path
    else table.add(handle, path);
    return add_reference(table, handle, flags);
}

// An already loaded module by name, registering one that the process loaded
// by other means (linked at build time) as pinned.
HMODULE handle_of(const std::string& utf8_name) {
    auto& table = loader();
    std::lock_guard guard(table.lock);
    std::string name = shared_object_name(utf8_name);
    if (name.find('/') == std::string::npos) {
        if (HMODULE loaded = table.find_by_key(lower(name))) return loaded;
    }
    std::string found = locate(name);
    if (found.empty()) return fail_module(ERROR_MOD_NOT_FOUND);
    std::string path = real_path(found);
    if (HMODULE loaded = table.find_by_path(path)) return loaded;
    HMODULE handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle) return fail_module(ERROR_MOD_NOT_FOUND);
    if (table.find(handle)) {
        dlclose(handle);
        return handle;
    }
    // Keeps the reference NOLOAD took, so the handle stays valid for good.
    table.add(handle, path).pinned = true;
    return handle;
}

template <class Char>
DWORD copy_truncated(const std::basic_string<Char>& text, Char* buffer, DWORD size) {
    if (!buffer || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    size_t n = std::min<size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n * sizeof(Char));
    buffer[n] = Char(0);
    if (n < text.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    return static_cast<DWORD>(n);
}

bool module_path(HMODULE handle, std::string& path) {
    auto& table = loader();
    std::lock_guard guard(table.lock);
    Module* module = table.find(handle ? handle : table.executable());
    if (!module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return false;
    }
    path = module->path;
    return true;
}

}  // namespace

namespace qor::modules {

bool find_export(HMODULE module, const char* name, void** symbol) {
    auto& table = loader();
    std::lock_guard guard(table.lock);
    HMODULE handle = module ? module : table.executable();
    if (!table.find(handle)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return false;
    }
    *symbol = own_symbol(handle, name);
    return true;
}

}  // namespace qor::modules

extern "C" {

QORAPI HMODULE LoadLibraryExA(LPCSTR name, HANDLE file, DWORD flags) {
    return qor::guarded(static_cast<HMODULE>(nullptr), [&]() -> HMODULE {
        if (!name || !*name || file) return fail_module(ERROR_INVALID_PARAMETER);
        return load(qor::acp_to_utf8(name), flags);
    });
}

QORAPI HMODULE LoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags) {
    return qor::guarded(static_cast<HMODULE>(nullptr), [&]() -> HMODULE {
        if (!name || !*name || file) return fail_module(ERROR_INVALID_PARAMETER);
        return load(qor::utf16_to_utf8(name), flags);
    });
}

QORAPI HMODULE LoadLibraryA(LPCSTR name) { return LoadLibraryExA(name, nullptr, 0); }

QORAPI HMODULE LoadLibraryW(LPCWSTR name) { return LoadLibraryExW(name, nullptr, 0); }

QORAPI BOOL FreeLibrary(HMODULE handle) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        auto& table = loader();
        std::lock_guard guard(table.lock);
        Module* module = table.find(handle);
        if (!module) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return FALSE;
        }
        if (module->pinned || --module->references > 0) return TRUE;
        QOR_DLL_ENTRY entry = module->entry;
        if (entry) entry(handle, DLL_PROCESS_DETACH, nullptr);
        table.remove(handle);
        dlclose(handle);
        return TRUE;
    });
}

QORAPI FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    return qor::guarded(static_cast<FARPROC>(nullptr), [&]() -> FARPROC {
        if (!name) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        if (IS_INTRESOURCE(name)) {
            SetLastError(ERROR_PROC_NOT_FOUND);
            return nullptr;
        }
        void* symbol = nullptr;
        if (!qor::modules::find_export(module, name, &symbol)) return nullptr;
        if (!symbol) {
            SetLastError(ERROR_PROC_NOT_FOUND);
            return nullptr;
        }
        return reinterpret_cast<FARPROC>(symbol);
    });
}

QORAPI HMODULE GetModuleHandleA(LPCSTR name) {
    return qor::guarded(static_cast<HMODULE>(nullptr), [&]() -> HMODULE {
        if (!name) {
            std::lock_guard guard(loader().lock);
            return loader().executable();
        }
        return handle_of(qor::acp_to_utf8(name));
    });
}

QORAPI HMODULE GetModuleHandleW(LPCWSTR name) {
    return qor::guarded(static_cast<HMODULE>(nullptr), [&]() -> HMODULE {
        if (!name) return GetModuleHandleA(nullptr);
        return handle_of(qor::utf16_to_utf8(name));
    });
}

QORAPI DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    return qor::guarded(DWORD(0), [&]() -> DWORD {
        std::string path;
        if (!module_path(module, path)) return 0;
        return copy_truncated(qor::utf8_to_acp(path), buffer, size);
    });
}

QORAPI DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
    return qor::guarded(DWORD(0), [&]() -> DWORD {
        std::string path;
        if (!module_path(module, path)) return 0;
        return copy_truncated(qor::utf8_to_utf16(path), buffer, size);
    });
}

QORAPI BOOL DisableThreadLibraryCalls(HMODULE module) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        std::string ignored;
        return module_path(module, ignored) ? TRUE : FALSE;
    });
}

}  // extern "C"
