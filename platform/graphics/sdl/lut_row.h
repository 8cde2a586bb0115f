// One row of an 8-bit framebuffer through its colour table into a row of
// 32-bit window pixels, scaled to the window by a map of source columns.
//
// Colour cycling redraws the changed part of the picture at every step, so
// this is the loop the window spends its time in while a picture cycles. At a
// whole number scale of 1 to 4 (the window's usual sizes) each source pixel
// is looked up once and stored as often as it is wide, without reading the
// column map; other scales go through the map. Where the processor has AVX2,
// the whole scales look up eight pixels at a time (a gather) and spread them
// with a permute; the plain loop stays for other processors and the ends of
// rows.
#pragma once

#include <cstdint>

namespace os::sdl {

// out[x] = lut[src[xMap[x]]] for x < outWidth, where xMap[x] is
// x * srcWidth / outWidth.
void LutRow(const uint8_t* src, uint32_t srcWidth, const uint32_t* xMap, const uint32_t* lut, uint32_t* out,
            uint32_t outWidth);

// The ways of doing it, for the tests to hold them against each other.
enum class LutRowPath { Plain, Avx2 };
bool LutRowPathAvailable(LutRowPath path);
void LutRowWith(LutRowPath path, const uint8_t* src, uint32_t srcWidth, const uint32_t* xMap, const uint32_t* lut,
                uint32_t* out, uint32_t outWidth);

}  // namespace os::sdl
