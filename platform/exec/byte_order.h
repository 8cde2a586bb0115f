// Byte order and colour depth of the stored formats: IFF files and Amiga
// icons keep their numbers big-endian (most significant byte first), and
// 12-bit colours give 4 bits a component.
#pragma once

#include <cstdint>

namespace os {

constexpr uint16_t Be16(const uint8_t* p) { return uint16_t((uint32_t{p[0]} << 8) | p[1]); }

constexpr uint32_t Be32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

// A 4-bit component as 8 bits: the nibble repeated, so 0xF is 255 and 0 is 0
// and the steps between stay even. Bits above the low four are ignored.
constexpr uint8_t Widen4(uint32_t nibble) { return uint8_t((nibble & 0xF) * 17); }

}  // namespace os
