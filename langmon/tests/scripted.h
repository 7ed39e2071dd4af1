// Scripted stand-ins for the port monitor, the spooler and the model module,
// recording what QORLM2K asks of them.
#pragma once

#include "qorlm2k.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace lmtest {

using Bytes = std::vector<BYTE>;

// The port monitor's table; every call is recorded as a line of text.
struct ScriptedMonitor {
    std::mutex mutex;
    std::vector<std::string> calls;
    std::deque<Bytes> replies;  // what successive reads return
    Bytes written;
    std::atomic<int> reads{0};
    std::atomic<int> sequence{0};
    int last_read_sequence = 0;
    int close_sequence = 0;
    bool open_ok = true;
    bool start_ok = true;
    bool get_mode_ok = true;
    WORD modes[2] = {8, 2};
    DWORD modem_status = MS_CTS_ON;
    int read_delay_ms = 0;

    void reset();
    void record(std::string call);
    std::vector<std::string> snapshot();
    size_t count(const std::string& call);
    void queue_reply(Bytes bytes);
    // A table with every entry QORLM2K uses (optionally without the
    // printer-data entry).
    MONITOR2 table(bool with_printer_data = true);
};
ScriptedMonitor& monitor();

// The spooler calls QORLM2K makes.
struct ScriptedSpooler {
    std::mutex mutex;
    std::vector<std::string> calls;
    bool open_full_ok = true;
    bool open_plain_ok = true;
    void reset();
    void record(std::string call);
    std::vector<std::string> snapshot();
    size_t count(const std::string& call);
};
ScriptedSpooler& spooler();

// The model module's entries, exported by the test program itself.
struct ScriptedModel {
    std::mutex mutex;
    std::vector<Bytes> raw_chunks;
    std::vector<Bytes> parsed_chunks;
    bool zero_after_each_chunk = true;
    bool parse_reports = true;
    void reset();
};
ScriptedModel& model();

std::u16string wide(const std::string& text);

// Common set-up of the QORLM2K tests: fresh scripts, opened ports closed at
// the end.
class PortTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Opens a port on the scripted monitor; null on failure.
    HANDLE open(const std::string& port_name, HMODULE model_module = nullptr, bool with_printer_data = true,
                const std::string& printer_name = "ZEM");
    void close(HANDLE port);
    static QORMON_PORT* record(HANDLE port) { return static_cast<QORMON_PORT*>(port); }
    static BOOL start(HANDLE port, DWORD job, const std::string& printer = "ZEM", DWORD level = 1);
    static BOOL write(HANDLE port, size_t count, DWORD* written = nullptr);
    static BOOL request(HANDLE port, const std::string& name, DWORD control = 0, void* out = nullptr,
                        DWORD out_size = 0, DWORD* returned = nullptr);
    // The executable's own entries stand in for a model module.
    static HMODULE test_model();
    // Waits until the port's polling thread has ended.
    static bool polling_ended(HANDLE port);

    std::vector<HANDLE> opened_;
};

}  // namespace lmtest
