#include "diffusion.h"

#include "halftone.h"
#include "halftone_tables.h"

#include <cstdlib>
#include <cstring>

bool DiffusionAllocate(DiffusionState* state, LONG width) noexcept {
    DiffusionRelease(state);
    if (width <= 0) return false;
    const size_t span = static_cast<size_t>(width) + 4;
    auto* lines = static_cast<int32_t*>(std::calloc(3 * span, sizeof(int32_t)));
    if (!lines) return false;
    state->lines = lines;
    state->width = width;
    state->l0 = lines;
    state->l1 = lines + span;
    state->l2 = lines + 2 * span;
    state->base = 0;
    state->idx = 0;
    return true;
}

void DiffusionRelease(DiffusionState* state) noexcept {
    std::free(state->lines);
    state->lines = state->l0 = state->l1 = state->l2 = nullptr;
    state->width = 0;
}

bool HalftoneDiffusion(const BYTE* grey, BYTE* out, LONG width, LONG, DiffusionState* state) noexcept {
    if (!state || !state->lines || width > state->width) {
        std::memset(out, 0, (static_cast<size_t>(width) + 7) / 8);
        return false;
    }
    // The rows move up by one: the oldest line becomes the new, cleared L2.
    int32_t* recycled = state->l0;
    state->l0 = state->l1;
    state->l1 = state->l2;
    state->l2 = recycled;
    std::memset(recycled, 0, (static_cast<size_t>(state->width) + 4) * sizeof(int32_t));

    const int32_t* l0 = state->l0;
    const int32_t* l1 = state->l1;
    int32_t* l2 = state->l2;
    unsigned step = state->step;
    unsigned base = state->base;
    unsigned idx = state->idx;
    int32_t c = 0;
    BYTE any = 0;
    for (LONG start = 0; start < width; start += 8) {
        const LONG stop = width - start < 8 ? width : start + 8;
        // Eight white dots change nothing: skip them whole.
        uint64_t eight;
        if (stop - start == 8 && (std::memcpy(&eight, grey + start, 8), eight == ~uint64_t{0})) {
            out[start >> 3] = 0;
            continue;
        }
        unsigned bits = 0;
        for (LONG x = start; x < stop; ++x) {
            const int32_t dark = 255 - grey[x];
            if (dark == 0) continue;  // white: nothing moves
            step = (step + 1) & 255;
            const int32_t threshold = kDiffusionThresholds[(base + step) & 255];
            if (step == 255) {
                base = kDiffusionThresholds[idx];
                idx = (idx + 1) & 255;
            }
            c = (l1[x + 1] + 2 * l1[x + 2] + l1[x + 3] + l2[x] + 2 * l2[x + 1] + l0[x + 2] + 2 * c) >> 2;
            // Branch-free: in a photograph the outcome is close to random.
            const int32_t black = c + dark >= threshold;
            l2[x + 2] = dark - 255 * black;
            bits |= static_cast<unsigned>(black) << (7 - (x - start));
        }
        out[start >> 3] = static_cast<BYTE>(bits);
        any |= static_cast<BYTE>(bits);
    }
    state->step = step;
    state->base = base;
    state->idx = idx;
    return any != 0;
}
