// The emulator's command parser and print mechanism on arbitrary streams,
// delivered in pieces of arbitrary size, with conditions coming and going.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "device.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto fonts = std::make_shared<qoremu::Fonts>();
    if (size < 2) return 0;
    qoremu::DeviceOptions options;
    options.fonts = fonts;
    options.reset_ms = 0;
    options.receive_buffer = 256 + data[0] * 16;
    qoremu::Device device(options);
    size_t piece = 1 + data[1] % 64;
    data += 2;
    size -= 2;
    auto now = qoremu::Clock::now();
    size_t at = 0, round = 0;
    while (at < size) {
        size_t n = std::min<size_t>({piece, size - at, device.room(now)});
        device.accept(data + at, n, now);
        at += n;
        if (++round % 7 == 0) device.raise(qoremu::kPaperOut, now);
        if (round % 7 == 1) device.clear(qoremu::kPaperOut, now);
        device.run(now);
        device.take_output();
        if (n == 0) now += std::chrono::seconds(1);  // a reset or the engine holds the line
    }
    device.clear(qoremu::kAllConditions, now);
    device.run(now + std::chrono::hours(1));
    return 0;
}
