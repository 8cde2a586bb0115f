// ByteRun1's short runs, the common case of most pictures: runs of up to 16
// bytes, literal and repeated mixed at random, so that a call to memcpy or
// memset per run and a branch on its kind would cost more than the bytes.
// Here every such run is one 16-byte store of either the next 16 input bytes
// or the repeated byte, chosen with a mask from the code's sign.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace lanterna {

// Decodes whole runs of at most 16 bytes while at least 17 input bytes and
// 16 bytes of the plane row are left, and stops before any other code (a
// longer run, or the no-op -128), which the caller then decodes as usual.
// The store may write up to 15 bytes beyond its run, always inside the plane
// row; the runs that follow overwrite them. Advances all four.
inline void DecodeShortRuns(const uint8_t*& in, int32_t& avail, uint8_t*& out, int32_t& remaining) {
#if defined(__SSE2__)
    while (avail >= 17 && remaining >= 16) {
        const auto n = static_cast<int8_t>(in[0]);
        const bool repeat = n < 0;
        const int32_t count = repeat ? 1 - n : n + 1;  // -128 gives 129
        if (count > 16) break;
        const __m128i literal = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 1));
        const __m128i fill = _mm_set1_epi8(static_cast<char>(in[1]));
        const __m128i pick = _mm_set1_epi8(static_cast<char>(n >> 7));  // all ones for a repeat
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                         _mm_or_si128(_mm_and_si128(pick, fill), _mm_andnot_si128(pick, literal)));
        const int32_t used = repeat ? 2 : count + 1;
        in += used;
        avail -= used;
        out += count;
        remaining -= count;
    }
#else
    (void)in;
    (void)avail;
    (void)out;
    (void)remaining;
#endif
}

}  // namespace lanterna
