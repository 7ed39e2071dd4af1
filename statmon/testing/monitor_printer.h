// The printer the monitor's tests and benchmark watch: a ZEM-D named "ZEM"
// on an emulator port (USB001) with the model module, behind a private
// qorspoold, its emulator's files in a folder of the test's sandbox.
#pragma once

#include "spool_testing.h"

#include "qortest.h"

#include "qor/base.h"

#include <string>

namespace qorsmtest {

class MonitorPrinter {
public:
    // Starts the emulator in `folder` and installs the printer on `spooler`.
    bool start(qorspool::PrivateSpooler& spooler, const std::string& folder);
    // A raw job ending in a cut; true once its ticket is out and the queue idle.
    bool print_one_job();
    // A command to the emulator's control socket ("raise paper-out", ...).
    bool control(const std::string& command, std::string* error = nullptr);
    void stop_emulator() { emulator_.kill(); }
    std::string tickets() const { return folder_ + "/tickets"; }

private:
    qorspool::PrivateSpooler* spooler_ = nullptr;
    qortest::Child emulator_;
    std::string folder_, control_;
};

// The monitor's masks in the user's settings: conditions announced when
// raised and when cleared.
void WriteMasks(DWORD raised, DWORD cleared);

}  // namespace qorsmtest
