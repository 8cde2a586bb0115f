// Planar-to-chunky with the Galois-field affine instruction (GFNI) on AVX2
// vectors: the part of planar_kernels.cpp's AVX2 path that it speeds up.
//
// The AVX2 path gathers the plane bytes of each byte column into a 64-bit
// lane and turns the lane's 8 x 8 bit matrix with three delta swaps. One
// affine transform does that turn: with the lane as its matrix and the
// bytes 0x80, 0x40, ... 0x01 as its input, output byte j collects bit 7 - j
// of every plane, which is pixel j.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lanterna {

// Converts the whole blocks of 32 byte columns of `columns` as
// PlanesToChunky does (planes beyond `count` read as zero) and returns how
// many columns that was; the caller converts the rest. Only for processors
// with AVX2 and GFNI.
size_t ChunkyBlocksGfni(uint8_t* const* planes, uint32_t count, size_t columns, uint8_t* out);

// The same for a deep row of 8 bits per component (eight planes each, the
// levels the bytes themselves), as PlanesToRgb does: 24 bytes per column.
size_t RgbBlocksGfni(uint8_t* const* red, uint8_t* const* green, uint8_t* const* blue, size_t columns,
                     uint8_t* out);

}  // namespace lanterna
