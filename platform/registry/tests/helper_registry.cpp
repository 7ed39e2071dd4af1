// Writes to the current user's registry from a separate process, for the
// registry tests:
//   write <prefix> <count>   sets <prefix>-<i> = i (REG_DWORD), i < count
//   churn                    rewrites a large "Blob" of one repeated byte
//                            and "Generation" forever (killed by the test)
//   stamp <file>             sets "Stamp" to the monotonic clock (ns) and
//                            writes the clock after the call into <file>
#include "qor/registry.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr const char* kTestKey = "Software\\QOR\\Test";

HKEY open_test_key() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return nullptr;
    return key;
}

LONG set_dword(HKEY key, const std::string& name, DWORD value) {
    return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

int write_values(HKEY key, const std::string& prefix, int count) {
    for (int i = 0; i < count; ++i) {
        if (LONG status = set_dword(key, prefix + "-" + std::to_string(i), DWORD(i)); status != ERROR_SUCCESS) {
            std::fprintf(stderr, "set %s-%d failed: %ld\n", prefix.c_str(), i, long(status));
            return 1;
        }
    }
    return 0;
}

int churn(HKEY key) {
    std::vector<BYTE> blob(96 * 1024);
    for (DWORD generation = 1;; ++generation) {
        std::fill(blob.begin(), blob.end(), BYTE(generation));
        if (RegSetValueExA(key, "Blob", 0, REG_BINARY, blob.data(), DWORD(blob.size())) != ERROR_SUCCESS) return 1;
        if (set_dword(key, "Generation", generation) != ERROR_SUCCESS) return 1;
    }
}

uint64_t monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000ull + uint64_t(now.tv_nsec);
}

int stamp(HKEY key, const char* after_file) {
    uint64_t before = monotonic_ns();
    if (RegSetValueExA(key, "Stamp", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&before), sizeof before) !=
        ERROR_SUCCESS)
        return 1;
    uint64_t after = monotonic_ns();
    FILE* out = std::fopen(after_file, "w");
    if (!out) return 1;
    std::fprintf(out, "%llu\n", static_cast<unsigned long long>(after));
    return std::fclose(out) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    HKEY key = open_test_key();
    if (!key) return 3;
    std::string command = argv[1];
    int result = 2;
    if (command == "write" && argc == 4) result = write_values(key, argv[2], std::atoi(argv[3]));
    else if (command == "churn") result = churn(key);
    else if (command == "stamp" && argc == 3) result = stamp(key, argv[2]);
    RegCloseKey(key);
    return result;
}
