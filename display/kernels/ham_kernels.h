// Hold-and-modify rows to RGB: the plain loop, an AVX2 one and an AVX-512
// one (with the byte permutes of VBMI), chosen at run time, which give the
// same bytes.
//
// Every HAM pixel either loads a base colour or replaces one component of
// the colour of the pixel to its left, so the plain loop is a chain through
// the whole row. The vector loop breaks the chain into blocks of 32 pixels:
// for each component, the pixel that last set it is found with a running
// maximum of positions, and only the colour at the end of a block is carried
// into the next.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lanterna {

enum class HamPath : uint8_t { Plain, Avx2, Avx512 };

// The fastest path this processor runs, chosen once.
HamPath BestHamPath();
bool HamPathAvailable(HamPath path);

// codes[p] is pixel p's value. HAM6 (`ham6`): the control in bits 4 and 5, the
// data in bits 0 to 3, codes below 64 (five planes too). HAM8 (other plane counts up to 8):
// the control in bits 6 and 7, the data in bits 0 to 5. Control 0 loads base
// colour `data` of `colours` (RGB triplets, at least 64 of them; black when
// `colours` is null); 1 sets blue, 2 red, 3 green to the data as an 8-bit
// level. The colour starts as colours[0] (black without colours). Writes
// exactly 3 * pixels bytes of RGB to out; out may overlap codes as long as it
// starts at least 2 * pixels bytes before them.
void HamToRgb(HamPath path, bool ham6, const uint8_t* codes, size_t pixels, const uint8_t* colours, uint8_t* out);

}  // namespace lanterna
