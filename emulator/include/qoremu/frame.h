// Frames of the emulator's socket transport: what a cable carries besides
// data (device ID, modem status, break, IEEE 1284 modes), multiplexed with
// the data on one Unix stream socket. Layout in docs/printer-protocol.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qoremu {

enum FrameType : uint8_t {
    kFrameData = 0x01,
    kFrameDeviceId = 0x10,
    kFrameModemStatus = 0x11,
    kFrameBreakOn = 0x12,
    kFrameBreakOff = 0x13,
    kFrameIeee1284GetMode = 0x14,
    kFrameIeee1284Negotiate = 0x15,
    kFrameDrain = 0x16,  // answered once the data sent before it is in the receive buffer
    kFrameHello = 0x80,
    kFramePrinterData = 0x81,
    kFrameCredit = 0x82,
    kFrameReplyBit = 0x80,  // reply type = request type | this
    kFrameError = 0x9F,
};

enum FrameError : uint32_t {
    kFrameErrorBadFrame = 1,
    kFrameErrorBusy = 2,
    kFrameErrorCredit = 3,
};

constexpr uint32_t kProtocolVersion = 1;
constexpr size_t kMaxFramePayload = 4096;
constexpr size_t kFrameHeaderSize = 8;

// The 8-byte header, little-endian on the wire.
struct FrameHeader {
    uint8_t type;
    uint8_t flags;
    uint16_t tag;
    uint32_t length;
};
static_assert(sizeof(FrameHeader) == kFrameHeaderSize);
static_assert(offsetof(FrameHeader, type) == 0);
static_assert(offsetof(FrameHeader, flags) == 1);
static_assert(offsetof(FrameHeader, tag) == 2);
static_assert(offsetof(FrameHeader, length) == 4);

struct Frame {
    uint8_t type = 0;
    uint16_t tag = 0;
    std::vector<uint8_t> payload;
};

// True for the types either side may send.
bool frame_type_known(uint8_t type);

// Appends one encoded frame to `out`. The payload must not exceed
// kMaxFramePayload (longer payloads are cut there).
void encode_frame(std::vector<uint8_t>& out, uint8_t type, uint16_t tag, const void* payload, size_t size);

uint32_t read_le32(const uint8_t* p);
uint16_t read_le16(const uint8_t* p);
void put_le32(std::vector<uint8_t>& out, uint32_t value);
void put_le16(std::vector<uint8_t>& out, uint16_t value);

// Reassembles frames from a byte stream that arrives in arbitrary pieces.
// A bad header (unknown type, flags, oversized length) poisons the decoder:
// the stream cannot be resynchronised and the connection must end.
class FrameDecoder {
public:
    // Consumes all of `data`; complete frames are appended to `frames`.
    // Returns false once the stream is bad.
    bool feed(const uint8_t* data, size_t size, std::vector<Frame>& frames);
    bool bad() const { return bad_; }
    // Bytes of a frame begun but not complete.
    size_t pending() const { return buffer_.size(); }

private:
    std::vector<uint8_t> buffer_;
    bool bad_ = false;
};

}  // namespace qoremu
