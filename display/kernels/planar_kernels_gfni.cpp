// The GFNI blocks of planar-to-chunky: the AVX2 gather, one affine transform
// in place of the three delta swaps.
#include "display/kernels/planar_kernels_gfni.h"
#include "display/kernels/rgb_shuffles.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace lanterna {

#if defined(__x86_64__)

namespace {

#define LANTERNA_GFNI __attribute__((target("avx2,gfni")))

LANTERNA_GFNI inline __m256i Load(const uint8_t* plane, size_t column) {
    return plane != nullptr ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(plane + column))
                            : _mm256_setzero_si256();
}

// Byte r of each lane holds plane 7 - r; afterwards byte k holds pixel k
// with plane i at bit i. The affine transform gives output bit i of byte j
// as the parity of (matrix byte 7 - i AND input byte j): plane i's byte
// masked to the one bit of pixel j.
LANTERNA_GFNI inline __m256i Turn(__m256i lanes) {
    const __m256i pixelBits = _mm256_set1_epi64x(0x0102040810204080LL);  // byte j = 0x80 >> j
    return _mm256_gf2p8affine_epi64_epi8(pixelBits, lanes, 0);
}

// The pixels of the 32 byte columns from `column`, as the AVX2 path's
// Chunky32 gives them: within each 128-bit half, plane bytes side by side in
// pairs, then fours, then all eight, one column per lane; the low half of
// v[j] holds columns 2j, 2j + 1, the high half 16 + 2j, 17 + 2j.
LANTERNA_GFNI inline void Gather32(const uint8_t* const p[8], size_t column, __m256i v[8]) {
    __m256i q[8];
    for (int r = 0; r < 8; ++r) q[r] = Load(p[7 - r], column);
    const __m256i a0 = _mm256_unpacklo_epi8(q[0], q[1]), a1 = _mm256_unpackhi_epi8(q[0], q[1]);
    const __m256i a2 = _mm256_unpacklo_epi8(q[2], q[3]), a3 = _mm256_unpackhi_epi8(q[2], q[3]);
    const __m256i a4 = _mm256_unpacklo_epi8(q[4], q[5]), a5 = _mm256_unpackhi_epi8(q[4], q[5]);
    const __m256i a6 = _mm256_unpacklo_epi8(q[6], q[7]), a7 = _mm256_unpackhi_epi8(q[6], q[7]);
    const __m256i b0 = _mm256_unpacklo_epi16(a0, a2), b1 = _mm256_unpackhi_epi16(a0, a2);
    const __m256i b2 = _mm256_unpacklo_epi16(a1, a3), b3 = _mm256_unpackhi_epi16(a1, a3);
    const __m256i b4 = _mm256_unpacklo_epi16(a4, a6), b5 = _mm256_unpackhi_epi16(a4, a6);
    const __m256i b6 = _mm256_unpacklo_epi16(a5, a7), b7 = _mm256_unpackhi_epi16(a5, a7);
    v[0] = Turn(_mm256_unpacklo_epi32(b0, b4));
    v[1] = Turn(_mm256_unpackhi_epi32(b0, b4));
    v[2] = Turn(_mm256_unpacklo_epi32(b1, b5));
    v[3] = Turn(_mm256_unpackhi_epi32(b1, b5));
    v[4] = Turn(_mm256_unpacklo_epi32(b2, b6));
    v[5] = Turn(_mm256_unpackhi_epi32(b2, b6));
    v[6] = Turn(_mm256_unpacklo_epi32(b3, b7));
    v[7] = Turn(_mm256_unpackhi_epi32(b3, b7));
}

// 16 pixels of each half of r, g and b to 48 bytes of RGB each: the low
// halves to `low`, the high halves to `high`.
LANTERNA_GFNI inline void Interleave(__m256i r, __m256i g, __m256i b, uint8_t* low, uint8_t* high) {
    for (int k = 0; k < 3; ++k) {
        const auto* m = kRgbShuffles.mask[k];
        const __m256i v = _mm256_or_si256(
            _mm256_or_si256(_mm256_shuffle_epi8(r, _mm256_broadcastsi128_si256(_mm_load_si128(
                                                       reinterpret_cast<const __m128i*>(m[0])))),
                            _mm256_shuffle_epi8(g, _mm256_broadcastsi128_si256(_mm_load_si128(
                                                       reinterpret_cast<const __m128i*>(m[1]))))),
            _mm256_shuffle_epi8(b, _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(m[2])))));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(low + 16 * k), _mm256_castsi256_si128(v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(high + 16 * k), _mm256_extracti128_si256(v, 1));
    }
}

}  // namespace

LANTERNA_GFNI size_t ChunkyBlocksGfni(uint8_t* const* planes, uint32_t count, size_t columns, uint8_t* out) {
    const uint8_t* p[8];
    for (uint32_t i = 0; i < 8; ++i) p[i] = i < count ? planes[i] : nullptr;
    size_t c = 0;
    for (; c + 32 <= columns; c += 32) {
        __m256i v[8];
        Gather32(p, c, v);
        for (int j = 0; j < 8; ++j) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * (c + 2 * j)), _mm256_castsi256_si128(v[j]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * (c + 16 + 2 * j)),
                             _mm256_extracti128_si256(v[j], 1));
        }
    }
    return c;
}

LANTERNA_GFNI size_t RgbBlocksGfni(uint8_t* const* red, uint8_t* const* green, uint8_t* const* blue, size_t columns,
                                   uint8_t* out) {
    const uint8_t* const r8[8] = {red[0], red[1], red[2], red[3], red[4], red[5], red[6], red[7]};
    const uint8_t* const g8[8] = {green[0], green[1], green[2], green[3], green[4], green[5], green[6], green[7]};
    const uint8_t* const b8[8] = {blue[0], blue[1], blue[2], blue[3], blue[4], blue[5], blue[6], blue[7]};
    size_t c = 0;
    for (; c + 32 <= columns; c += 32) {
        __m256i r[8], g[8], b[8];
        Gather32(r8, c, r);
        Gather32(g8, c, g);
        Gather32(b8, c, b);
        for (int j = 0; j < 8; ++j) Interleave(r[j], g[j], b[j], out + 24 * (c + 2 * j), out + 24 * (c + 16 + 2 * j));
    }
    return c;
}

#else

size_t ChunkyBlocksGfni(uint8_t* const*, uint32_t, size_t, uint8_t*) { return 0; }
size_t RgbBlocksGfni(uint8_t* const*, uint8_t* const*, uint8_t* const*, size_t, uint8_t*) { return 0; }

#endif

}  // namespace lanterna
