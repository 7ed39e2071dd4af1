// Prints registry values the way the status monitor would read them, for
// tests that check what another process sees:
//   status_helper_settings <value name>...   (a "LM\" prefix: the language
//   monitor's key under the local machine)
// One line per value: name=<bytes in hex> or name=absent.
#include "status_settings.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        bool machine = std::strncmp(argv[i], "LM\\", 3) == 0;
        const char* name = machine ? argv[i] + 3 : argv[i];
        HKEY key = nullptr;
        BYTE data[64];
        DWORD size = sizeof data, type = 0;
        bool found = RegOpenKeyExA(machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                                   machine ? status::kLanguageMonitorKey : status::kMonitorKey, 0, KEY_QUERY_VALUE,
                                   &key) == ERROR_SUCCESS &&
                     RegQueryValueExA(key, name, nullptr, &type, data, &size) == ERROR_SUCCESS;
        if (key) RegCloseKey(key);
        std::printf("%s=", argv[i]);
        if (!found) std::printf("absent");
        for (DWORD k = 0; found && k < size; ++k) std::printf("%02X", data[k]);
        std::printf("\n");
    }
    return 0;
}
