// Common set-up of the QORCIL unit tests: the library attached as at load,
// one "QOR ZEM" printer in the scripted spooler, the monitor side played by
// MonitorSide, and every worker ended before the test's objects go.
#pragma once

#include "library.h"
#include "monitor_side.h"
#include "qorcil.h"
#include "qortest.h"
#include "scripted_spooler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>

namespace ciltest {

inline constexpr char kPrinter[] = "ZEM1 Front";

inline ScriptedSpooler& spooler() { return ScriptedSpooler::instance(); }

class CilTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens a session on kPrinter; fails the test otherwise.
    HANDLE open_session();
    // Requests of one name that reached the monitor side.
    static size_t requests(const char* name) { return spooler().count(std::string("request ") + name); }
    static qor::cil::Library& state() { return *qor::cil::library(); }

    std::unique_ptr<MonitorSide> monitor_;

private:
    std::shared_ptr<qor::cil::Library> state_;
};

// Holds the monitor side's answers until the test opens it (at the latest
// when it goes).
class Gate {
public:
    Gate() : waiter_(opened_.get_future().share()) {}
    ~Gate() { open(); }
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;

    // For a hook to wait on; copies outlive the gate.
    std::shared_future<void> waiter() const { return waiter_; }
    void open() {
        if (!open_) opened_.set_value();
        open_ = true;
    }

private:
    std::promise<void> opened_;
    std::shared_future<void> waiter_;
    bool open_ = false;
};

// A status query on another thread, held inside its first status request
// until released.
class HeldQuery {
public:
    HeldQuery(MonitorSide& monitor, HANDLE session);
    // Lets the query finish; its result.
    DWORD release();

private:
    Gate gate_;
    std::promise<void> entered_;
    std::future<DWORD> result_;
};

// Whether anybody holds the session mutex's name.
bool session_name_exists();
// The platform's kernel helper process holding the named mutex.
qortest::Child hold_mutex(const char* name);

inline std::chrono::milliseconds since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

}  // namespace ciltest
