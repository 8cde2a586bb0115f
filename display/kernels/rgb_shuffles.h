// The byte shuffles the vector kernels use to interleave 16 red, 16 green
// and 16 blue bytes into 48 bytes of RGB: output vector k, byte j takes
// pixel (16k + j) / 3 of channel (16k + j) % 3; 0x80 leaves a zero there.
#pragma once

#include <cstdint>

namespace lanterna {

struct RgbShuffles {
    alignas(16) uint8_t mask[3][3][16];  // [output vector][channel][byte]
};

constexpr RgbShuffles MakeRgbShuffles() {
    RgbShuffles s{};
    for (int k = 0; k < 3; ++k) {
        for (int ch = 0; ch < 3; ++ch) {
            for (int j = 0; j < 16; ++j) {
                const int at = 16 * k + j;
                s.mask[k][ch][j] = at % 3 == ch ? static_cast<uint8_t>(at / 3) : 0x80;
            }
        }
    }
    return s;
}

inline constexpr RgbShuffles kRgbShuffles = MakeRgbShuffles();

}  // namespace lanterna
