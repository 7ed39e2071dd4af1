// The registry: a query served from the per-process cache (one stat of the
// hive), a durable write (lock, temporary file, fsync, rename), and parsing
// a hive of 1,600 values, as a process does when another one has written.
#include "qor/registry.h"
#include "registry_format.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// Hives in a private folder, removed at exit, never the user's own.
struct PrivateHives {
    PrivateHives() {
        char pattern[] = "/tmp/qor-bench-registry.XXXXXX";
        dir = mkdtemp(pattern) ? pattern : "";
        setenv("QOR_ROOT", (dir + "/root").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    }
    ~PrivateHives() {
        std::error_code ec;
        if (!dir.empty()) std::filesystem::remove_all(dir, ec);
    }
    std::string dir;
};

HKEY bench_key(int values) {
    static PrivateHives hives;
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\QOR\\Bench", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    for (DWORD i = 0; i < DWORD(values); ++i) {
        std::string name = "value-" + std::to_string(i);
        RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i), 4);
    }
    return key;
}

void BM_QueryCachedDword(benchmark::State& state) {
    HKEY key = bench_key(int(state.range(0)));
    for (auto _ : state) {
        DWORD value = 0, size = 4;
        benchmark::DoNotOptimize(
            RegQueryValueExA(key, "value-0", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
    }
    RegCloseKey(key);
}
BENCHMARK(BM_QueryCachedDword)->Arg(10)->Arg(1600);

void BM_SetDwordDurably(benchmark::State& state) {
    HKEY key = bench_key(int(state.range(0)));
    DWORD n = 0;
    for (auto _ : state) {
        ++n;
        benchmark::DoNotOptimize(RegSetValueExA(key, "counter", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), 4));
    }
    RegCloseKey(key);
}
BENCHMARK(BM_SetDwordDurably)->Arg(10)->Arg(1600)->UseRealTime();

void BM_ParseHive1600(benchmark::State& state) {
    using namespace qor::registry;
    Key root;
    bool created = false;
    Key& key = root.create({u"Software", u"QOR", u"Bench"}, created);
    for (uint32_t i = 0; i < 1600; ++i) {
        std::string name = "value-" + std::to_string(i);
        key.set_value(std::u16string(name.begin(), name.end()), 4, reinterpret_cast<const uint8_t*>(&i), 4);
    }
    const std::string text = serialize_hive(root, "HKEY_CURRENT_USER");
    for (auto _ : state) {
        Key parsed;
        benchmark::DoNotOptimize(parse_hive(text, "HKEY_CURRENT_USER", parsed));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_ParseHive1600);

}  // namespace

BENCHMARK_MAIN();
