// The colour-table row: whole-number scales without the column map.
#include "platform/graphics/sdl/lut_row.h"

namespace os::sdl {

namespace {

template <uint32_t kScale>
void Scaled(const uint8_t* src, uint32_t srcWidth, const uint32_t* lut, uint32_t* out) {
    for (uint32_t i = 0; i < srcWidth; ++i) {
        const uint32_t v = lut[src[i]];
        for (uint32_t k = 0; k < kScale; ++k) out[kScale * i + k] = v;
    }
}

}  // namespace

void LutRow(const uint8_t* src, uint32_t srcWidth, const uint32_t* xMap, const uint32_t* lut, uint32_t* out,
            uint32_t outWidth) {
    if (srcWidth > 0 && outWidth % srcWidth == 0) {
        switch (outWidth / srcWidth) {
            case 1:
                return Scaled<1>(src, srcWidth, lut, out);
            case 2:
                return Scaled<2>(src, srcWidth, lut, out);
            case 3:
                return Scaled<3>(src, srcWidth, lut, out);
            case 4:
                return Scaled<4>(src, srcWidth, lut, out);
            default:
                break;
        }
    }
    for (uint32_t x = 0; x < outWidth; ++x) out[x] = lut[src[xMap[x]]];
}

}  // namespace os::sdl
