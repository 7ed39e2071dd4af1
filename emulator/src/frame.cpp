#include "qoremu/frame.h"

#include <algorithm>
#include <cstring>

namespace qoremu {

bool frame_type_known(uint8_t type) {
    switch (type) {
    case kFrameData:
    case kFrameDeviceId:
    case kFrameModemStatus:
    case kFrameBreakOn:
    case kFrameBreakOff:
    case kFrameIeee1284GetMode:
    case kFrameIeee1284Negotiate:
    case kFrameDrain:
    case kFrameHello:
    case kFramePrinterData:
    case kFrameCredit:
    case kFrameDeviceId | kFrameReplyBit:
    case kFrameModemStatus | kFrameReplyBit:
    case kFrameBreakOn | kFrameReplyBit:
    case kFrameBreakOff | kFrameReplyBit:
    case kFrameIeee1284GetMode | kFrameReplyBit:
    case kFrameIeee1284Negotiate | kFrameReplyBit:
    case kFrameDrain | kFrameReplyBit:
    case kFrameError:
        return true;
    default:
        return false;
    }
}

uint32_t read_le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t read_le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

void put_le32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

void put_le16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void encode_frame(std::vector<uint8_t>& out, uint8_t type, uint16_t tag, const void* payload, size_t size) {
    size = std::min(size, kMaxFramePayload);
    out.push_back(type);
    out.push_back(0);
    put_le16(out, tag);
    put_le32(out, uint32_t(size));
    const auto* bytes = static_cast<const uint8_t*>(payload);
    if (size) out.insert(out.end(), bytes, bytes + size);
}

bool FrameDecoder::feed(const uint8_t* data, size_t size, std::vector<Frame>& frames) {
    if (bad_) return false;
    buffer_.insert(buffer_.end(), data, data + size);
    size_t at = 0;
    while (buffer_.size() - at >= kFrameHeaderSize) {
        const uint8_t* h = buffer_.data() + at;
        uint32_t length = read_le32(h + 4);
        if (!frame_type_known(h[0]) || h[1] != 0 || length > kMaxFramePayload) {
            bad_ = true;
            buffer_.clear();
            return false;
        }
        if (buffer_.size() - at < kFrameHeaderSize + length) break;
        Frame frame;
        frame.type = h[0];
        frame.tag = read_le16(h + 2);
        frame.payload.assign(h + kFrameHeaderSize, h + kFrameHeaderSize + length);
        frames.push_back(std::move(frame));
        at += kFrameHeaderSize + length;
    }
    buffer_.erase(buffer_.begin(), buffer_.begin() + long(at));
    return true;
}

}  // namespace qoremu
