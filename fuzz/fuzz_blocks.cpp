// Block operations on a Data or Reply block whose bytes another process may
// have written at will: the first 16 input bytes are the header both blocks
// start with (the area itself is never trusted or interpreted), the rest a
// script of appends, takes, stages and scribbles.
#include "common/blocks.h"

#include <cstring>
#include <vector>

using namespace qor::blocks;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    ReplyBlock reply{};
    DataBlock data{};
    const size_t image = size < kHeaderSize ? size : kHeaderSize;
    std::memcpy(&reply, input, image);
    std::memcpy(&data, input, image);
    input += image;
    size -= image;

    std::vector<BYTE> buffer(kExchangeBlockSize + 64);
    while (size >= 3) {
        const uint8_t op = input[0];
        const size_t amount = (size_t(input[1]) << 8 | input[2]) % buffer.size();
        input += 3;
        size -= 3;
        const size_t payload = amount < size ? amount : size;
        switch (op % 5) {
        case 0: reply_append(reply, input, payload); break;
        case 1: reply_take(reply, buffer.data(), amount); break;
        case 2: data_stage(data, input, payload); break;
        case 3: {
            const BYTE* staged = nullptr;
            const DWORD count = data_staged(data, &staged);
            if (count > kAreaSize) __builtin_trap();
            std::memcpy(buffer.data(), staged, count);
            break;
        }
        default: reply.read_offset ^= op; break;  // another writer scribbles
        }
        // Appends and takes always leave a header that holds the invariant.
        if (op % 5 <= 1 && !reply_header_valid(reply)) __builtin_trap();
    }
    return 0;
}
