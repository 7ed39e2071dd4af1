// State of the error diffusion: three error lines of width + 4 values
// (previous, current, next row), the noise-table indices and the step
// counter. One per job, so two jobs in one process never share it.
#pragma once

#include "qor/base.h"

#include <cstdint>

struct DiffusionState {
    int32_t* lines = nullptr;  // 3 * (width + 4) values: L0, L1, L2
    LONG width = 0;
    int32_t* l0 = nullptr;
    int32_t* l1 = nullptr;
    int32_t* l2 = nullptr;
    unsigned base = 0;
    unsigned idx = 0;
    unsigned step = 0;  // runs for the whole job, never reset by new lines
};

// Allocates zeroed lines for rows of `width` pixels (freeing old ones) and
// sets base and idx to 0; false when width is not positive or memory runs out.
bool DiffusionAllocate(DiffusionState* state, LONG width) noexcept;
void DiffusionRelease(DiffusionState* state) noexcept;
