// RT_STRING blocks: 16 counted UTF-16LE strings each, block n + 1 holding
// the ids 16n to 16n + 15.
#include "rc_templates.h"

namespace qorrc {

void add_string_blocks(Output& output) {
    std::map<uint32_t, std::vector<const std::u16string*>> blocks;
    for (const auto& [id, text] : output.strings) {
        auto& block = blocks[id >> 4];
        block.resize(16, nullptr);
        block[id & 15] = &text;
    }
    for (const auto& [index, block] : blocks) {
        Bytes data;
        for (const std::u16string* text : block) {
            size_t units = text ? text->size() : 0;
            data.u16(static_cast<uint16_t>(units));
            for (size_t k = 0; k < units; ++k) data.u16((*text)[k]);
        }
        output.resources.push_back(Resource{Key{rt_string, {}}, Key{static_cast<uint16_t>(index + 1), {}},
                                            std::move(data.data())});
    }
}

}  // namespace qorrc
