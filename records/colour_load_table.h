// The program-wide colour-load table: colours in the form LoadRGB32 takes,
// the one form in which colours reach a screen. The display fills it while
// it opens or reuses a screen, the cycling task while it runs; the two never
// overlap in time, so it needs no lock.
#pragma once

#include <cstdint>

namespace lanterna {

// (count << 16), then count * 3 words of 8-bit components repeated in all
// four bytes, then 0: room for 256 colours.
constexpr int32_t COLOUR_LOAD_WORDS = 1 + 256 * 3 + 1;
extern uint32_t gColourLoadTable[COLOUR_LOAD_WORDS];

// Fills the table from the first `count` RGB triplets (at most 256; none
// when `colours` is null or `count` is not positive) and returns it.
uint32_t* BuildColourLoadTable(const uint8_t* colours, int32_t count);

}  // namespace lanterna
