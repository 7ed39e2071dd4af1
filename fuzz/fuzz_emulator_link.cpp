// What reaches the emulator from outside besides the command stream: socket
// frames, control lines and the state file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "control.h"
#include "qoremu/frame.h"
#include "settings.h"

namespace {

class NullTarget : public qoremu::ControlTarget {
public:
    void raise_conditions(uint32_t) override {}
    void clear_conditions(uint32_t) override {}
    void take_ticket() override {}
    void set_silent(bool) override {}
    void send_garbage(const std::vector<uint8_t>&) override {}
    void disconnect(int) override {}
    void set_line_speed(int) override {}
    void set_print_speed(int) override {}
    std::vector<std::string> stats() override { return {}; }
    std::vector<std::string> tickets() override { return {}; }
    std::vector<std::string> settings() override { return {}; }
    std::vector<std::string> status() override { return {}; }
    void quit() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qoremu::FrameDecoder decoder;
    std::vector<qoremu::Frame> frames;
    for (size_t at = 0; at < size; at += 7) decoder.feed(data + at, std::min<size_t>(7, size - at), frames);
    for (const auto& f : frames)
        if (f.payload.size() > qoremu::kMaxFramePayload) __builtin_trap();

    NullTarget target;
    std::string text(reinterpret_cast<const char*>(data), size);
    qoremu::execute_control(target, text);

    qoremu::Settings settings;
    if (qoremu::parse_state(data, size, &settings)) {
        auto again = qoremu::encode_state(settings);
        qoremu::Settings round;
        if (!qoremu::parse_state(again.data(), again.size(), &round) || round.bytes != settings.bytes) __builtin_trap();
    }
    return 0;
}
