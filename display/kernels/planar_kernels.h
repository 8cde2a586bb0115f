// The inner loops of the pixel transfer: one row of bit planes turned into
// one byte per pixel (colour indices, HAM codes) or into RGB (deep pictures).
//
// Each comes in three versions that give the same bytes: plain C++ (any
// processor), SSE2 (every x86-64) and AVX2 (chosen at run time when the
// processor has it). The vector ones transpose 8 x 8 bit blocks: the plane
// bytes of one byte column are gathered into one 64-bit lane and three
// delta swaps turn the lane's planes into pixels.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lanterna {

// Avx2Gfni: the AVX2 set with the bit turns done by GFNI
// (planar_kernels_gfni.h) for planar-to-chunky and 8-bit deep rows.
enum class KernelSet : uint8_t { Plain, Sse2, Avx2, Avx2Gfni };

// The fastest set this processor runs, chosen once.
KernelSet BestKernelSet();
bool KernelSetAvailable(KernelSet set);

// For every byte column c < columns, out[8 * c + k] is the value of pixel k of
// that column (k = 0 is bit 7 of the plane bytes, the leftmost pixel): bit i
// comes from planes[i], i < count (1 to 8). Writes exactly 8 * columns bytes.
void PlanesToChunky(KernelSet set, uint8_t* const* planes, uint32_t count, size_t columns, uint8_t* out);

// Deep pictures: `bits` planes (1 to 8) per component. Each component byte
// is gathered with plane i at bit 8 - bits + i and, unless `levels` is null
// (8 bits: the byte is the level), replaced by levels[byte]. Writes exactly
// 24 * columns bytes: R, G, B per pixel.
void PlanesToRgb(KernelSet set, uint8_t* const* red, uint8_t* const* green, uint8_t* const* blue, uint32_t bits,
                 const uint8_t* levels, size_t columns, uint8_t* out);

}  // namespace lanterna
