// Big-endian reads and the one store of the delta operations: set or XOR
// 1, 2 or 4 bytes at once (no call per pixel, no byte loops).
#pragma once

#include <cstdint>
#include <cstring>

namespace lanterna::anim_bytes {

inline uint32_t Be16(const uint8_t* p) { return uint32_t((p[0] << 8) | p[1]); }
inline uint32_t Be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
template <int N>
inline uint32_t ReadBe(const uint8_t* p) {
    if constexpr (N == 1) return p[0];
    if constexpr (N == 2) return Be16(p);
    if constexpr (N == 4) return Be32(p);
}

// Stores N bytes of src at dst (the file's byte order is the plane's).
template <int N, bool XOR>
inline void Put(uint8_t* dst, const uint8_t* src) {
    if constexpr (N == 1) {
        dst[0] = XOR ? uint8_t(dst[0] ^ src[0]) : src[0];
    } else if constexpr (N == 2) {
        uint16_t s, d;
        std::memcpy(&s, src, 2);
        if constexpr (XOR) {
            std::memcpy(&d, dst, 2);
            s = uint16_t(s ^ d);
        }
        std::memcpy(dst, &s, 2);
    } else {
        uint32_t s, d;
        std::memcpy(&s, src, 4);
        if constexpr (XOR) {
            std::memcpy(&d, dst, 4);
            s ^= d;
        }
        std::memcpy(dst, &s, 4);
    }
}

}  // namespace lanterna::anim_bytes
