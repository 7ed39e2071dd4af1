// Change notification: another process's change signals the armed event
// promptly; requests fire once, follow their filter and die with their key.
#include "qor/kernel.h"
#include "qor/registry.h"

#include "qor/support/places.h"
#include "qortest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <thread>
#include <utility>

namespace {

const char* const kKey = "Software\\QOR\\Test";
constexpr DWORD kValues = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

class RegistryNotify : public ::testing::Test {
protected:
    void SetUp() override {
        qortest::sandbox();
        std::remove((qor::places::config_dir() + "/user.reg").c_str());
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
        for (auto& e : events_) ASSERT_NE(e = CreateEventA(nullptr, FALSE, FALSE, nullptr), nullptr);
    }
    void TearDown() override {
        RegCloseKey(key_);
        for (auto e : events_) CloseHandle(e);
    }

    void set(HKEY key, const char* name, DWORD value) {
        ASSERT_EQ(RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4), ERROR_SUCCESS);
    }
    static bool signalled(HANDLE event, DWORD ms = 0) { return WaitForSingleObject(event, ms) == WAIT_OBJECT_0; }

    // A request armed after the changes under test fires on one more change;
    // once it has, the watcher has judged every earlier change too.
    void settle(const char* marker = "Marker") {
        ASSERT_EQ(RegNotifyChangeKeyValue(key_, FALSE, kValues, events_[3], TRUE), ERROR_SUCCESS);
        set(key_, marker, ++marker_);
        ASSERT_TRUE(signalled(events_[3], 5000));
    }

    HKEY key_ = nullptr;
    HANDLE events_[4] = {};
    DWORD marker_ = 0;
};

uint64_t monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000ull + uint64_t(now.tv_nsec);
}

TEST_F(RegistryNotify, ChangeByAnotherProcessSignalsWithin100ms) {
    const std::string after_file = qortest::sandbox() + "/stamp-after";
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(RegNotifyChangeKeyValue(key_, FALSE, kValues, events_[0], TRUE), ERROR_SUCCESS);
        auto writer = qortest::Child::spawn("qortest_helper_registry", {"stamp", after_file});
        ASSERT_TRUE(signalled(events_[0], 10000));
        int64_t woke = int64_t(monotonic_ns());
        ASSERT_EQ(writer.wait(), 0);
        unsigned long long written = 0;  // when the writer's call had returned
        FILE* in = std::fopen(after_file.c_str(), "r");
        ASSERT_NE(in, nullptr);
        ASSERT_EQ(std::fscanf(in, "%llu", &written), 1);
        std::fclose(in);
        // Signalled no later than 100 ms after the change was made (the
        // signal may even come before the writer's call has returned).
        EXPECT_LT(woke - int64_t(written), 100000000) << "round " << round;
        uint64_t started = 0;
        DWORD size = sizeof started;
        ASSERT_EQ(RegQueryValueExA(key_, "Stamp", nullptr, nullptr, reinterpret_cast<BYTE*>(&started), &size),
                  ERROR_SUCCESS);
        EXPECT_LE(started, written);
    }
}

TEST_F(RegistryNotify, FiresOnceUntilArmedAgain) {
    ASSERT_EQ(RegNotifyChangeKeyValue(key_, FALSE, kValues, events_[0], TRUE), ERROR_SUCCESS);
    set(key_, "a", 1);
    ASSERT_TRUE(signalled(events_[0], 5000));
    set(key_, "a", 2);
    settle();
    EXPECT_FALSE(signalled(events_[0]));

    ASSERT_EQ(RegNotifyChangeKeyValue(key_, FALSE, kValues, events_[0], TRUE), ERROR_SUCCESS);
    HKEY writer = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &writer), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(writer, "a"), ERROR_SUCCESS);
    EXPECT_TRUE(signalled(events_[0], 5000));
    RegCloseKey(writer);
}

TEST_F(RegistryNotify, FollowsFilterAndSubtree) {
    HKEY sub = nullptr;
    ASSERT_EQ(RegCreateKeyExA(key_, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegNotifyChangeKeyValue(key_, FALSE, REG_NOTIFY_CHANGE_LAST_SET, events_[0], TRUE), ERROR_SUCCESS);
    ASSERT_EQ(RegNotifyChangeKeyValue(key_, TRUE, REG_NOTIFY_CHANGE_LAST_SET, events_[1], TRUE), ERROR_SUCCESS);
    ASSERT_EQ(RegNotifyChangeKeyValue(sub, FALSE, REG_NOTIFY_CHANGE_NAME, events_[2], TRUE), ERROR_SUCCESS);
    set(sub, "deep", 1);
    EXPECT_TRUE(signalled(events_[1], 5000));
    settle("unrelated");  // a value of the key itself: fires events_[0]
    EXPECT_TRUE(signalled(events_[0]));
    EXPECT_FALSE(signalled(events_[2])) << "a value change is not a name change";

    HKEY child = nullptr;
    ASSERT_EQ(RegCreateKeyExA(sub, "Child", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(signalled(events_[2], 5000));
    RegCloseKey(child);
    RegCloseKey(sub);
}

TEST_F(RegistryNotify, ClosingTheKeyCancelsAndDeletingItSignals) {
    HKEY watched = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_NOTIFY, &watched), ERROR_SUCCESS);
    ASSERT_EQ(RegNotifyChangeKeyValue(watched, FALSE, kValues, events_[0], TRUE), ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(watched), ERROR_SUCCESS);
    settle();
    EXPECT_FALSE(signalled(events_[0]));

    HKEY leaf = nullptr;
    ASSERT_EQ(RegCreateKeyExA(key_, "Leaf", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &leaf, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegNotifyChangeKeyValue(leaf, FALSE, kValues, events_[1], TRUE), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(key_, "Leaf"), ERROR_SUCCESS);
    EXPECT_TRUE(signalled(events_[1], 5000));
    EXPECT_EQ(RegNotifyChangeKeyValue(leaf, FALSE, kValues, events_[1], TRUE), ERROR_KEY_DELETED);
    RegCloseKey(leaf);
}

TEST_F(RegistryNotify, HandEditOfTheHiveFileSignals) {
    HKEY machine = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QOR\\ZEM\\LM", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &machine, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegNotifyChangeKeyValue(machine, FALSE, kValues, events_[0], TRUE), ERROR_SUCCESS);
    ASSERT_EQ(RegNotifyChangeKeyValue(key_, FALSE, kValues, events_[1], TRUE), ERROR_SUCCESS);
    // Rewritten in place, as an editor may do.
    std::ofstream(qor::places::root() + "/registry/machine.reg", std::ios::trunc)
        << "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\QOR\\ZEM\\LM]\n"
           "\"ReadInterval\"=dword:000001f5\n";
    ASSERT_TRUE(signalled(events_[0], 5000));
    DWORD interval = 0, size = 4;
    EXPECT_EQ(RegQueryValueExA(machine, "ReadInterval", nullptr, nullptr, reinterpret_cast<BYTE*>(&interval), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(interval, 501u);
    EXPECT_FALSE(signalled(events_[1])) << "the user hive did not change";
    RegCloseKey(machine);
}

TEST_F(RegistryNotify, RefusesBadRequests) {
    EXPECT_EQ(RegNotifyChangeKeyValue(key_, FALSE, kValues, nullptr, TRUE), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegNotifyChangeKeyValue(key_, FALSE, 0, events_[0], TRUE), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegNotifyChangeKeyValue(key_, FALSE, 0x100, events_[0], TRUE), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegNotifyChangeKeyValue(key_, FALSE, kValues, reinterpret_cast<HANDLE>(uintptr_t(0x7777)), TRUE),
              ERROR_INVALID_HANDLE);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    EXPECT_EQ(RegNotifyChangeKeyValue(key_, FALSE, kValues, mutex, TRUE), ERROR_INVALID_HANDLE);
    CloseHandle(mutex);
    HKEY no_notify = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &no_notify), ERROR_SUCCESS);
    EXPECT_EQ(RegNotifyChangeKeyValue(no_notify, FALSE, kValues, events_[0], TRUE), ERROR_ACCESS_DENIED);
    RegCloseKey(no_notify);
}

TEST_F(RegistryNotify, SynchronousRequestReturnsAfterTheChange) {
    std::atomic<LONG> result{-1};
    std::thread waiter([&] { result = RegNotifyChangeKeyValue(key_, FALSE, kValues, nullptr, FALSE); });
    // The waiter may arm before or after any one change: keep changing
    // until it returns.
    DWORD n = 0;
    bool returned = qortest::eventually([&] {
        if (result != -1) return true;
        set(key_, "tick", ++n);
        return false;
    });
    if (!returned) RegCloseKey(std::exchange(key_, nullptr));  // releases the waiter
    waiter.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(result, ERROR_SUCCESS);
}

}  // namespace
