// Helpers shared by the description-file and device-mode tests.
#pragma once

#include "common/ppd.h"

#include <filesystem>
#include <memory>
#include <string>

namespace ppdtest {

// A zeroed PpdBlock with its tables attached, freed with the pointer.
inline std::unique_ptr<PpdBlock> NewBlock() {
    auto block = std::make_unique<PpdBlock>();
    PPD_AttachTables(block.get());
    return block;
}

// Parses `text` (CR LF ends written by the caller) into a fresh block.
inline std::unique_ptr<PpdBlock> Parse(const std::string& text) {
    auto block = NewBlock();
    PPD_Parse(&block->data, text.data(), static_cast<DWORD>(text.size()));
    return block;
}

inline std::u16string Wide(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// The installed description files, from the source tree.
inline std::filesystem::path DataFile(const char* name) {
    return std::filesystem::path(QOR_DATA_DIR) / name;
}

}  // namespace ppdtest
