// Pictures of 16 bits a component: 48 planes (red, green, blue) or 64
// (and alpha, not shown), each component least significant plane first.
// The screen has 8 bits a component: each is rounded to the nearest of its
// 256 levels, as netpbm reduces 16-bit samples.
#pragma once

#include <cstdint>

namespace lanterna {

inline uint8_t Narrow16(uint32_t value) { return static_cast<uint8_t>((value * 255 + 32767) / 65535); }

// One row of `width` pixels from planes[0..47] (16 red, 16 green, 16 blue)
// into `out`, three bytes a pixel.
void WidePlanesToRgb(uint8_t* const* planes, uint32_t width, uint8_t* out);

}  // namespace lanterna
