#include "ilbm/wide_planes.h"

namespace lanterna {

void WidePlanesToRgb(uint8_t* const* planes, uint32_t width, uint8_t* out) {
    constexpr uint32_t BITS = 16;
    // Eight pixels at a time: one byte of each plane.
    for (uint32_t x0 = 0; x0 < width; x0 += 8) {
        const uint32_t column = x0 / 8;
        const uint32_t count = width - x0 < 8 ? width - x0 : 8;
        for (uint32_t c = 0; c < 3; ++c) {
            uint32_t values[8] = {};
            for (uint32_t b = 0; b < BITS; ++b) {
                const uint32_t byte = planes[c * BITS + b][column];
                for (uint32_t i = 0; i < 8; ++i) values[i] |= ((byte >> (7 - i)) & 1u) << b;
            }
            for (uint32_t i = 0; i < count; ++i) out[3 * (x0 + i) + c] = Narrow16(values[i]);
        }
    }
}

}  // namespace lanterna
