// The hive files on disk: read-only hives refuse writers but serve readers,
// damaged hives are refused and left exactly as they are, hand edits are
// picked up, and a writer killed mid-write never leaves a torn hive.
#include "qor/registry.h"

#include "qor/support/places.h"
#include "qortest.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace {

const char* const kKey = "Software\\QOR\\Test";

std::string user_hive() { return qor::places::config_dir() + "/user.reg"; }

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

LONG set_dword(HKEY key, const char* name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
}

DWORD get_dword(HKEY root, const char* name, LONG* status = nullptr) {
    HKEY key = nullptr;
    DWORD value = 0, size = 4;
    LONG s = RegOpenKeyExA(root, kKey, 0, KEY_READ, &key);
    if (s == ERROR_SUCCESS) {
        s = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
    }
    if (status) *status = s;
    return value;
}

class RegistryFiles : public ::testing::Test {
protected:
    void SetUp() override {
        qortest::sandbox();
        std::remove(user_hive().c_str());
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(set_dword(key, "Value", 42), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void TearDown() override {
        chmod(qor::places::config_dir().c_str(), 0700);
        chmod(user_hive().c_str(), 0600);
    }
};

TEST_F(RegistryFiles, ReadOnlyHiveRefusesWritersAndServesReaders) {
    for (const std::string& path : {user_hive(), qor::places::config_dir()}) {
        SCOPED_TRACE(path);
        struct stat st{};
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        ASSERT_EQ(chmod(path.c_str(), st.st_mode & ~0222), 0);
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key), ERROR_ACCESS_DENIED);
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
                  ERROR_ACCESS_DENIED);
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\New", 0, nullptr, 0, KEY_READ, nullptr, &key,
                                  nullptr),
                  ERROR_ACCESS_DENIED);
        EXPECT_EQ(set_dword(HKEY_CURRENT_USER, "Root", 1), ERROR_ACCESS_DENIED);
        EXPECT_EQ(get_dword(HKEY_CURRENT_USER, "Value"), 42u);
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
        ASSERT_EQ(chmod(path.c_str(), st.st_mode), 0);
    }
    EXPECT_EQ(set_dword(HKEY_CURRENT_USER, "Root", 1), ERROR_SUCCESS);
}

TEST_F(RegistryFiles, DamagedHiveIsRefusedAndKeptAsItWas) {
    std::string damaged = read_file(user_hive()) + "\"Broken\"=dword:xyz\n";
    write_file(user_hive(), damaged);
    LONG status = 0;
    get_dword(HKEY_CURRENT_USER, "Value", &status);
    EXPECT_EQ(status, ERROR_BADDB);
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Other", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_BADDB);
    EXPECT_EQ(set_dword(HKEY_CURRENT_USER, "Root", 1), ERROR_BADDB);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, kKey), ERROR_BADDB);
    EXPECT_EQ(read_file(user_hive()), damaged);

    // Repaired by hand: the next call reads the repaired file.
    write_file(user_hive(), damaged.substr(0, damaged.find("\"Broken\"")) + "\"Value\"=dword:00000007\n");
    EXPECT_EQ(get_dword(HKEY_CURRENT_USER, "Value", &status), 7u);
    EXPECT_EQ(status, ERROR_SUCCESS);
}

TEST_F(RegistryFiles, WriterKilledAtRandomMomentsLeavesOldOrNewState) {
    std::mt19937 random(std::random_device{}());
    DWORD last_generation = 0;
    for (int round = 0; round < 12; ++round) {
        auto writer = qortest::Child::spawn("qortest_helper_registry", {"churn"});
        ASSERT_TRUE(qortest::eventually([&] { return get_dword(HKEY_CURRENT_USER, "Generation") > 0; }));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));  // the random moment
        writer.kill();

        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS) << "round " << round;
        std::vector<BYTE> blob(128 * 1024);
        DWORD size = DWORD(blob.size()), type = 0;
        ASSERT_EQ(RegQueryValueExA(key, "Blob", nullptr, &type, blob.data(), &size), ERROR_SUCCESS);
        ASSERT_EQ(size, 96u * 1024);
        for (DWORD i = 1; i < size; ++i) ASSERT_EQ(blob[i], blob[0]) << "torn value at byte " << i;
        DWORD generation = get_dword(HKEY_CURRENT_USER, "Generation");
        EXPECT_TRUE(BYTE(generation) == blob[0] || BYTE(generation + 1) == blob[0]);
        RegCloseKey(key);
        // Each writer starts again at 1; it must not have lost the others' state.
        EXPECT_EQ(get_dword(HKEY_CURRENT_USER, "Value"), 42u);
        last_generation = generation;
        // Wipe the counter so the next round sees its own writer's progress.
        HKEY writable = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &writable), ERROR_SUCCESS);
        ASSERT_EQ(RegDeleteValueA(writable, "Generation"), ERROR_SUCCESS);
        RegCloseKey(writable);
    }
    EXPECT_GT(last_generation, 0u);
}

TEST_F(RegistryFiles, WritersInEightProcessesLoseNothing) {
    std::vector<qortest::Child> writers;
    for (int i = 0; i < 8; ++i)
        writers.push_back(qortest::Child::spawn("qortest_helper_registry", {"write", "p" + std::to_string(i), "200"}));
    for (auto& writer : writers) ASSERT_EQ(writer.wait(std::chrono::seconds(240)), 0);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD count = 0;
    char name[32];
    for (DWORD length = sizeof name; RegEnumValueA(key, count, name, &length, nullptr, nullptr, nullptr, nullptr) ==
                                     ERROR_SUCCESS;
         length = sizeof name)
        ++count;
    EXPECT_EQ(count, 1601u);  // 8 x 200 and "Value"
    for (int p = 0; p < 8; ++p)
        for (int i = 0; i < 200; ++i) {
            std::string value_name = "p" + std::to_string(p) + "-" + std::to_string(i);
            DWORD value = 0, size = 4;
            ASSERT_EQ(RegQueryValueExA(key, value_name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                                       &size),
                      ERROR_SUCCESS)
                << value_name;
            EXPECT_EQ(value, DWORD(i));
        }
    RegCloseKey(key);
}

}  // namespace
