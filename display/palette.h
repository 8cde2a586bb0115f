// Colour maps and the colour-load table through which colours reach a screen.
#pragma once

#include <cstdint>

namespace lanterna {

// (count << 16), then count * 3 words of 8-bit components repeated in all
// four bytes, then 0: room for 256 colours.
constexpr int32_t COLOUR_LOAD_WORDS = 1 + 256 * 3 + 1;
extern uint32_t gColourLoadTable[COLOUR_LOAD_WORDS];

uint32_t* BuildColourLoadTable(const uint8_t* colours, int32_t count);
uint8_t FindDarkestColour(const uint8_t* colours, int32_t count);
void ExtendHalfBrite(uint8_t* colours, int32_t& colourCount);

}  // namespace lanterna
