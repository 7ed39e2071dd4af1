// The printer conditions the status monitor can announce, in the order the
// settings list shows them, with the status bit each one stands for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace status {

// Which announcement mask a row's bit goes into: conditions that are raised
// or conditions that are cleared.
enum class Mask { Raised, Cleared };

struct ConditionRow {
    const char* text;
    uint32_t bit;
    Mask mask;
};

std::span<const ConditionRow> condition_rows();

}  // namespace status
