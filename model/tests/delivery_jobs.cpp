#include "delivery_jobs.h"

#include <cstdio>

namespace delivery {

namespace {

constexpr int kBytesPerRow = 58;  // 464 dots, the 58 mm paper's width

uint32_t mix(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

uint32_t seed(const JobId& id) { return mix(uint32_t(id.round) * 1000003u + uint32_t(id.client) * 1009u + uint32_t(id.job)); }

}  // namespace

std::string JobId::text() const {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "R%d C%d J%02d", round, client, job);
    return buffer;
}

int small_job_rows(const JobId& id) { return 24 + int(seed(id) % 72); }

std::vector<uint8_t> job_bytes(const JobId& id, int rows) {
    std::vector<uint8_t> out = {0x1B, 0x40};
    for (char c : id.text()) out.push_back(uint8_t(c));
    out.push_back(0x0A);
    out.insert(out.end(), {0x1D, 0x76, 0x30, 0x00, uint8_t(kBytesPerRow), 0, uint8_t(rows & 0xFF), uint8_t(rows >> 8)});
    uint32_t state = seed(id);
    for (int i = 0; i < rows * kBytesPerRow; ++i) {
        state = mix(state + uint32_t(i));
        out.push_back(uint8_t(state));
    }
    out.insert(out.end(), {0x1B, 0x64, 0x03, 0x1D, 0x56, 0x00});
    return out;
}

}  // namespace delivery
