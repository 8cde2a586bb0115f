// A small bitmap font for the window's overlay: the printable ASCII
// characters, 5 x 7 pixels each (and a row below for the tails of g, j, p,
// q and y), drawn for this program.
#pragma once

#include <cstdint>

namespace os::sdl {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 8;

// The eight rows of a character's glyph, bit 7 of each the leftmost pixel;
// '?' for a character outside 0x20 to 0x7E.
const uint8_t* Glyph(char c);

}  // namespace os::sdl
