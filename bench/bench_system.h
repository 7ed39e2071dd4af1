// A private print system for the benchmarks that go through the whole
// stack: qorspoold, an emulator started with the given options, and the
// demo printer "QOR ZEM-Dx10P" on COM1 installed as an administrator would.
// Everything lives in a temporary folder removed at the end of the run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>
#include <sys/types.h>

namespace benchsystem {

class System {
public:
    explicit System(const std::vector<std::string>& emulator_options);
    ~System();
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    bool ok() const { return ok_; }
    const std::string& tickets() const { return tickets_; }
    // The emulator's rx-bytes counter.
    uint64_t ReceivedBytes() const;

private:
    std::string dir_, tickets_, control_;
    pid_t emulator_ = -1;
    bool ok_ = false;
};

}  // namespace benchsystem
