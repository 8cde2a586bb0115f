// Colour maps of the pictures: the pen the window is cleared with and the
// half-bright colours of Extra-Half-Brite. The colours reach the screen
// through the colour-load table (records/colour_load_table.h).
#pragma once

#include <cstdint>

namespace lanterna {

uint8_t FindDarkestColour(const uint8_t* colours, int32_t count);
void ExtendHalfBrite(uint8_t* colours, int32_t& colourCount);

}  // namespace lanterna
