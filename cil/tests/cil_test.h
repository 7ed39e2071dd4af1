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

// Whether anybody holds the session mutex's name.
bool session_name_exists();
// The platform's kernel helper process holding the named mutex.
qortest::Child hold_mutex(const char* name);

inline std::chrono::milliseconds since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

}  // namespace ciltest
