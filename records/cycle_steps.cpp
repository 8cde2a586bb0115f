#include "records/cycle_steps.h"

#include <cstring>

namespace lanterna {

bool RangeUsable(const CycleRange& range, int32_t colourCount, bool halfBrite) {
    if (range.rate <= CYCLE_MIN_RATE || range.low >= range.high) {
        return false;
    }
    const int32_t top = halfBrite ? int32_t(range.high) + 32 : int32_t(range.high);
    return top < colourCount;
}

bool AdvancePhase(CycleRange& range) {
    // In 32 bits: a phase near the top of int16 plus a large rate must not wrap.
    const int32_t sum = int32_t(range.pad1) + int32_t(range.rate);
    const bool steps = sum >= CYCLE_STEP_THRESHOLD;
    // C++ remainder truncates towards zero: the sign of the sum is kept, and
    // the result lies strictly between -16384 and 16384, so it fits 16 bits.
    range.pad1 = int16_t(sum % CYCLE_STEP_THRESHOLD);
    return steps;
}

void RotateColours(uint8_t* colours, uint8_t low, uint8_t high, bool reverse) {
    if (low >= high) {
        return;
    }
    uint8_t* first = colours + size_t(low) * 3;
    uint8_t* last = colours + size_t(high) * 3;
    const size_t moved = size_t(high - low) * 3;
    uint8_t kept[3];
    if (!reverse) {
        std::memcpy(kept, last, 3);
        std::memmove(first + 3, first, moved);
        std::memcpy(first, kept, 3);
    } else {
        std::memcpy(kept, first, 3);
        std::memmove(first, first + 3, moved);
        std::memcpy(last, kept, 3);
    }
}

void StepRange(uint8_t* colours, const CycleRange& range, bool halfBrite) {
    const bool reverse = (range.flags & RNG_REVERSE) != 0;
    RotateColours(colours, range.low, range.high, reverse);
    if (halfBrite) {
        // StartCycling admits a half-brite range only when high + 32 lies in
        // the palette, so these indices fit in a byte.
        RotateColours(colours, uint8_t(range.low + 32), uint8_t(range.high + 32), reverse);
    }
}

}  // namespace lanterna
