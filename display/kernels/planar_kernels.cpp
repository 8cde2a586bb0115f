// Planar-to-chunky and the deep gather: the plain path, the SSE2 path and
// the AVX2 path, and the run-time choice between them.
#include "display/kernels/planar_kernels.h"
#include "display/kernels/planar_kernels_gfni.h"
#include "display/kernels/rgb_shuffles.h"

#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#define LANTERNA_X86_KERNELS 1
#endif

namespace lanterna {

namespace {

// ---- Plain C++ ----------------------------------------------------------

// Spreads one plane byte over the eight pixels it covers: byte k (in memory
// order) of entry b is bit 7 - k of b, since bit 7 is the leftmost pixel.
// OR-ing the entries of several planes, each shifted by its plane number,
// gives eight pixel values at once; no byte can carry into the next.
constexpr std::array<uint64_t, 256> MakeSpreadTable() {
    std::array<uint64_t, 256> table{};
    for (uint32_t b = 0; b < 256; ++b) {
        uint64_t entry = 0;
        for (uint32_t k = 0; k < 8; ++k) {
            const uint64_t bit = (b >> (7 - k)) & 1u;
            const uint32_t shift = std::endian::native == std::endian::little ? 8 * k : 56 - 8 * k;
            entry |= bit << shift;
        }
        table[b] = entry;
    }
    return table;
}

constexpr std::array<uint64_t, 256> kSpread = MakeSpreadTable();

// Eight pixel values of byte column `column` from `count` planes; plane i
// goes to bit shift + i of each value.
inline uint64_t GatherColumn(uint8_t* const* planes, uint32_t count, uint32_t shift, size_t column) {
    uint64_t pixels = 0;
    for (uint32_t i = 0; i < count; ++i) {
        pixels |= kSpread[planes[i][column]] << (shift + i);
    }
    return pixels;
}

void PlainChunky(uint8_t* const* planes, uint32_t count, size_t from, size_t to, uint8_t* out) {
    for (size_t column = from; column < to; ++column) {
        const uint64_t pixels = GatherColumn(planes, count, 0, column);
        std::memcpy(out + 8 * column, &pixels, 8);
    }
}

void PlainRgb(uint8_t* const* red, uint8_t* const* green, uint8_t* const* blue, uint32_t bits,
              const uint8_t* levels, size_t from, size_t to, uint8_t* out) {
    const uint32_t shift = 8 - bits;
    for (size_t column = from; column < to; ++column) {
        const uint64_t r = GatherColumn(red, bits, shift, column);
        const uint64_t g = GatherColumn(green, bits, shift, column);
        const uint64_t b = GatherColumn(blue, bits, shift, column);
        uint8_t rb[8], gb[8], bb[8];
        std::memcpy(rb, &r, 8);
        std::memcpy(gb, &g, 8);
        std::memcpy(bb, &b, 8);
        uint8_t* o = out + 24 * column;
        for (int k = 0; k < 8; ++k) {
            o[3 * k] = levels != nullptr ? levels[rb[k]] : rb[k];
            o[3 * k + 1] = levels != nullptr ? levels[gb[k]] : gb[k];
            o[3 * k + 2] = levels != nullptr ? levels[bb[k]] : bb[k];
        }
    }
}

// Pixel bytes of one component (or of a chunky row) kept apart, to RGB
// through the level table: the vector paths' way for fewer than 8 bits.
void ScaledInterleave(const uint8_t* r, const uint8_t* g, const uint8_t* b, const uint8_t* levels, size_t pixels,
                      uint8_t* out) {
    for (size_t p = 0; p < pixels; ++p) {
        out[3 * p] = levels[r[p]];
        out[3 * p + 1] = levels[g[p]];
        out[3 * p + 2] = levels[b[p]];
    }
}

// Eight plane pointers, plane i of the value at index i, null for a plane
// that reads as zero (beyond the count, or below a component's first bit).
struct EightPlanes {
    const uint8_t* p[8];
};

EightPlanes ChunkyPlanes(uint8_t* const* planes, uint32_t count) {
    EightPlanes e{};
    for (uint32_t i = 0; i < 8; ++i) e.p[i] = i < count ? planes[i] : nullptr;
    return e;
}

EightPlanes ComponentPlanes(uint8_t* const* planes, uint32_t bits) {
    EightPlanes e{};
    const uint32_t shift = 8 - bits;
    for (uint32_t i = 0; i < 8; ++i) e.p[i] = i >= shift ? planes[i - shift] : nullptr;
    return e;
}

#ifdef LANTERNA_X86_KERNELS

// ---- SSE2 ------------------------------------------------------------------

// Within each 64-bit lane, byte r holds plane 7 - r of one byte column. The
// swaps flip the 8 x 8 bit matrix about its anti-diagonal: 4 x 4 blocks
// first, then 2 x 2, then single bits. Afterwards byte k holds pixel k with
// plane i at bit i.
constexpr uint64_t kBlock4 = 0x000000000F0F0F0FULL;
constexpr uint64_t kBlock2 = 0x0000333300003333ULL;
constexpr uint64_t kBlock1 = 0x0055005500550055ULL;

template <int kShift>
inline __m128i SwapSse2(__m128i x, __m128i mask) {
    const __m128i t = _mm_and_si128(_mm_xor_si128(x, _mm_srli_epi64(x, kShift)), mask);
    return _mm_xor_si128(x, _mm_xor_si128(t, _mm_slli_epi64(t, kShift)));
}

inline __m128i RotateSse2(__m128i x) {
    x = SwapSse2<36>(x, _mm_set1_epi64x(int64_t(kBlock4)));
    x = SwapSse2<18>(x, _mm_set1_epi64x(int64_t(kBlock2)));
    return SwapSse2<9>(x, _mm_set1_epi64x(int64_t(kBlock1)));
}

inline __m128i LoadSse2(const uint8_t* plane, size_t column) {
    return plane != nullptr ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(plane + column))
                            : _mm_setzero_si128();
}

// The pixels of the 16 byte columns from `column`: out[j] holds columns
// column + 2j and column + 2j + 1, 16 pixel bytes in screen order.
inline void Chunky16(const EightPlanes& e, size_t column, __m128i out[8]) {
    __m128i q[8];
    for (int r = 0; r < 8; ++r) q[r] = LoadSse2(e.p[7 - r], column);
    // Bytes of planes (7,6), (5,4), (3,2), (1,0) side by side; then pairs of
    // pairs; then all eight, one column per 64-bit lane.
    const __m128i a0 = _mm_unpacklo_epi8(q[0], q[1]), a1 = _mm_unpackhi_epi8(q[0], q[1]);
    const __m128i a2 = _mm_unpacklo_epi8(q[2], q[3]), a3 = _mm_unpackhi_epi8(q[2], q[3]);
    const __m128i a4 = _mm_unpacklo_epi8(q[4], q[5]), a5 = _mm_unpackhi_epi8(q[4], q[5]);
    const __m128i a6 = _mm_unpacklo_epi8(q[6], q[7]), a7 = _mm_unpackhi_epi8(q[6], q[7]);
    const __m128i b0 = _mm_unpacklo_epi16(a0, a2), b1 = _mm_unpackhi_epi16(a0, a2);
    const __m128i b2 = _mm_unpacklo_epi16(a1, a3), b3 = _mm_unpackhi_epi16(a1, a3);
    const __m128i b4 = _mm_unpacklo_epi16(a4, a6), b5 = _mm_unpackhi_epi16(a4, a6);
    const __m128i b6 = _mm_unpacklo_epi16(a5, a7), b7 = _mm_unpackhi_epi16(a5, a7);
    out[0] = RotateSse2(_mm_unpacklo_epi32(b0, b4));
    out[1] = RotateSse2(_mm_unpackhi_epi32(b0, b4));
    out[2] = RotateSse2(_mm_unpacklo_epi32(b1, b5));
    out[3] = RotateSse2(_mm_unpackhi_epi32(b1, b5));
    out[4] = RotateSse2(_mm_unpacklo_epi32(b2, b6));
    out[5] = RotateSse2(_mm_unpackhi_epi32(b2, b6));
    out[6] = RotateSse2(_mm_unpacklo_epi32(b3, b7));
    out[7] = RotateSse2(_mm_unpackhi_epi32(b3, b7));
}

inline void StoreSse2(uint8_t* out, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v); }

// Four pixels held as 32-bit words R | G << 8 | B << 16, stored as 12 bytes:
// in each 64-bit lane the second pixel moves down onto the first's spare
// byte, then the two 6-byte lanes are stored one after the other.
inline void Store4RgbSse2(__m128i w, uint8_t* out) {
    const __m128i lanes = _mm_or_si128(_mm_and_si128(w, _mm_set1_epi64x(0x0000000000FFFFFFLL)),
                                       _mm_and_si128(_mm_srli_epi64(w, 8), _mm_set1_epi64x(0x0000FFFFFF000000LL)));
    const __m128i packed = _mm_or_si128(_mm_and_si128(lanes, _mm_set_epi64x(0, 0x0000FFFFFFFFFFFFLL)),
                                        _mm_srli_si128(_mm_andnot_si128(_mm_set_epi64x(0, -1), lanes), 2));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), packed);
    const int32_t tail = _mm_cvtsi128_si32(_mm_srli_si128(packed, 8));
    std::memcpy(out + 8, &tail, 4);
}

inline void Interleave16Sse2(__m128i r, __m128i g, __m128i b, uint8_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i rgLow = _mm_unpacklo_epi8(r, g), rgHigh = _mm_unpackhi_epi8(r, g);
    const __m128i bLow = _mm_unpacklo_epi8(b, zero), bHigh = _mm_unpackhi_epi8(b, zero);
    Store4RgbSse2(_mm_unpacklo_epi16(rgLow, bLow), out);
    Store4RgbSse2(_mm_unpackhi_epi16(rgLow, bLow), out + 12);
    Store4RgbSse2(_mm_unpacklo_epi16(rgHigh, bHigh), out + 24);
    Store4RgbSse2(_mm_unpackhi_epi16(rgHigh, bHigh), out + 36);
}

void Sse2Chunky(uint8_t* const* planes, uint32_t count, size_t columns, uint8_t* out) {
    const EightPlanes e = ChunkyPlanes(planes, count);
    size_t c = 0;
    for (; c + 16 <= columns; c += 16) {
        __m128i v[8];
        Chunky16(e, c, v);
        for (int j = 0; j < 8; ++j) StoreSse2(out + 8 * (c + 2 * j), v[j]);
    }
    PlainChunky(planes, count, c, columns, out);
}

// 16 columns of one component to 128 separate bytes, through the levels.
void ScaledBlockSse2(const EightPlanes* rgb, const uint8_t* levels, size_t c, uint8_t* out) {
    alignas(16) uint8_t bytes[3][128];
    for (int k = 0; k < 3; ++k) {
        __m128i v[8];
        Chunky16(rgb[k], c, v);
        for (int j = 0; j < 8; ++j) StoreSse2(bytes[k] + 16 * j, v[j]);
    }
    ScaledInterleave(bytes[0], bytes[1], bytes[2], levels, 128, out + 24 * c);
}

void Sse2Rgb(uint8_t* const* red, uint8_t* const* green, uint8_t* const* blue, uint32_t bits,
             const uint8_t* levels, size_t columns, uint8_t* out) {
    const EightPlanes rgb[3] = {ComponentPlanes(red, bits), ComponentPlanes(green, bits),
                                ComponentPlanes(blue, bits)};
    size_t c = 0;
    for (; c + 16 <= columns; c += 16) {
        if (levels != nullptr) {
            ScaledBlockSse2(rgb, levels, c, out);
            continue;
        }
        __m128i r[8], g[8], b[8];
        Chunky16(rgb[0], c, r);
        Chunky16(rgb[1], c, g);
        Chunky16(rgb[2], c, b);
        for (int j = 0; j < 8; ++j) Interleave16Sse2(r[j], g[j], b[j], out + 24 * (c + 2 * j));
    }
    PlainRgb(red, green, blue, bits, levels, c, columns, out);
}

// ---- AVX2 ------------------------------------------------------------------
// The same steps on 32 columns: the unpacks work within each 128-bit half,
// so the low half of out[j] holds columns 2j, 2j + 1 and the high half
// columns 16 + 2j, 17 + 2j.

#define LANTERNA_AVX2 __attribute__((target("avx2")))

template <int kShift>
LANTERNA_AVX2 inline __m256i SwapAvx2(__m256i x, __m256i mask) {
    const __m256i t = _mm256_and_si256(_mm256_xor_si256(x, _mm256_srli_epi64(x, kShift)), mask);
    return _mm256_xor_si256(x, _mm256_xor_si256(t, _mm256_slli_epi64(t, kShift)));
}

LANTERNA_AVX2 inline __m256i RotateAvx2(__m256i x) {
    x = SwapAvx2<36>(x, _mm256_set1_epi64x(int64_t(kBlock4)));
    x = SwapAvx2<18>(x, _mm256_set1_epi64x(int64_t(kBlock2)));
    return SwapAvx2<9>(x, _mm256_set1_epi64x(int64_t(kBlock1)));
}

LANTERNA_AVX2 inline __m256i LoadAvx2(const uint8_t* plane, size_t column) {
    return plane != nullptr ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(plane + column))
                            : _mm256_setzero_si256();
}

LANTERNA_AVX2 inline void Chunky32(const EightPlanes& e, size_t column, __m256i out[8]) {
    __m256i q[8];
    for (int r = 0; r < 8; ++r) q[r] = LoadAvx2(e.p[7 - r], column);
    const __m256i a0 = _mm256_unpacklo_epi8(q[0], q[1]), a1 = _mm256_unpackhi_epi8(q[0], q[1]);
    const __m256i a2 = _mm256_unpacklo_epi8(q[2], q[3]), a3 = _mm256_unpackhi_epi8(q[2], q[3]);
    const __m256i a4 = _mm256_unpacklo_epi8(q[4], q[5]), a5 = _mm256_unpackhi_epi8(q[4], q[5]);
    const __m256i a6 = _mm256_unpacklo_epi8(q[6], q[7]), a7 = _mm256_unpackhi_epi8(q[6], q[7]);
    const __m256i b0 = _mm256_unpacklo_epi16(a0, a2), b1 = _mm256_unpackhi_epi16(a0, a2);
    const __m256i b2 = _mm256_unpacklo_epi16(a1, a3), b3 = _mm256_unpackhi_epi16(a1, a3);
    const __m256i b4 = _mm256_unpacklo_epi16(a4, a6), b5 = _mm256_unpackhi_epi16(a4, a6);
    const __m256i b6 = _mm256_unpacklo_epi16(a5, a7), b7 = _mm256_unpackhi_epi16(a5, a7);
    out[0] = RotateAvx2(_mm256_unpacklo_epi32(b0, b4));
    out[1] = RotateAvx2(_mm256_unpackhi_epi32(b0, b4));
    out[2] = RotateAvx2(_mm256_unpacklo_epi32(b1, b5));
    out[3] = RotateAvx2(_mm256_unpackhi_epi32(b1, b5));
    out[4] = RotateAvx2(_mm256_unpacklo_epi32(b2, b6));
    out[5] = RotateAvx2(_mm256_unpackhi_epi32(b2, b6));
    out[6] = RotateAvx2(_mm256_unpacklo_epi32(b3, b7));
    out[7] = RotateAvx2(_mm256_unpackhi_epi32(b3, b7));
}

LANTERNA_AVX2 inline void Interleave16Avx2(__m128i r, __m128i g, __m128i b, uint8_t* out) {
    for (int k = 0; k < 3; ++k) {
        const auto* m = kRgbShuffles.mask[k];
        const __m128i v =
            _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(r, _mm_load_si128(reinterpret_cast<const __m128i*>(m[0]))),
                                      _mm_shuffle_epi8(g, _mm_load_si128(reinterpret_cast<const __m128i*>(m[1])))),
                         _mm_shuffle_epi8(b, _mm_load_si128(reinterpret_cast<const __m128i*>(m[2]))));
        StoreSse2(out + 16 * k, v);
    }
}

LANTERNA_AVX2 void Avx2Chunky(uint8_t* const* planes, uint32_t count, size_t columns, uint8_t* out, bool gfni) {
    const EightPlanes e = ChunkyPlanes(planes, count);
    size_t c = gfni ? ChunkyBlocksGfni(planes, count, columns, out) : 0;
    for (; c + 32 <= columns; c += 32) {
        __m256i v[8];
        Chunky32(e, c, v);
        for (int j = 0; j < 8; ++j) {
            StoreSse2(out + 8 * (c + 2 * j), _mm256_castsi256_si128(v[j]));
            StoreSse2(out + 8 * (c + 16 + 2 * j), _mm256_extracti128_si256(v[j], 1));
        }
    }
    for (; c + 16 <= columns; c += 16) {
        __m128i v[8];
        Chunky16(e, c, v);
        for (int j = 0; j < 8; ++j) StoreSse2(out + 8 * (c + 2 * j), v[j]);
    }
    PlainChunky(planes, count, c, columns, out);
}

LANTERNA_AVX2 void Avx2Rgb(uint8_t* const* red, uint8_t* const* green, uint8_t* const* blue, uint32_t bits,
                           const uint8_t* levels, size_t columns, uint8_t* out, bool gfni) {
    const EightPlanes rgb[3] = {ComponentPlanes(red, bits), ComponentPlanes(green, bits),
                                ComponentPlanes(blue, bits)};
    size_t c = 0;
    if (levels == nullptr) {
        if (gfni && bits == 8) c = RgbBlocksGfni(red, green, blue, columns, out);
        for (; c + 32 <= columns; c += 32) {
            __m256i r[8], g[8], b[8];
            Chunky32(rgb[0], c, r);
            Chunky32(rgb[1], c, g);
            Chunky32(rgb[2], c, b);
            for (int j = 0; j < 8; ++j) {
                Interleave16Avx2(_mm256_castsi256_si128(r[j]), _mm256_castsi256_si128(g[j]),
                                 _mm256_castsi256_si128(b[j]), out + 24 * (c + 2 * j));
                Interleave16Avx2(_mm256_extracti128_si256(r[j], 1), _mm256_extracti128_si256(g[j], 1),
                                 _mm256_extracti128_si256(b[j], 1), out + 24 * (c + 16 + 2 * j));
            }
        }
        for (; c + 16 <= columns; c += 16) {
            __m128i r[8], g[8], b[8];
            Chunky16(rgb[0], c, r);
            Chunky16(rgb[1], c, g);
            Chunky16(rgb[2], c, b);
            for (int j = 0; j < 8; ++j) Interleave16Avx2(r[j], g[j], b[j], out + 24 * (c + 2 * j));
        }
    } else {
        for (; c + 16 <= columns; c += 16) ScaledBlockSse2(rgb, levels, c, out);
    }
    PlainRgb(red, green, blue, bits, levels, c, columns, out);
}

#endif  // LANTERNA_X86_KERNELS

}  // namespace

bool KernelSetAvailable(KernelSet set) {
    switch (set) {
        case KernelSet::Plain:
            return true;
#ifdef LANTERNA_X86_KERNELS
        case KernelSet::Sse2:
            return true;
        case KernelSet::Avx2:
            return __builtin_cpu_supports("avx2");
        case KernelSet::Avx2Gfni:
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("gfni");
#endif
        default:
            return false;
    }
}

KernelSet BestKernelSet() {
    static const KernelSet best = KernelSetAvailable(KernelSet::Avx2Gfni) ? KernelSet::Avx2Gfni
                                  : KernelSetAvailable(KernelSet::Avx2)   ? KernelSet::Avx2
                                  : KernelSetAvailable(KernelSet::Sse2) ? KernelSet::Sse2
                                                                        : KernelSet::Plain;
    return best;
}

void PlanesToChunky(KernelSet set, uint8_t* const* planes, uint32_t count, size_t columns, uint8_t* out) {
#ifdef LANTERNA_X86_KERNELS
    if (set == KernelSet::Avx2 || set == KernelSet::Avx2Gfni)
        return Avx2Chunky(planes, count, columns, out, set == KernelSet::Avx2Gfni);
    if (set == KernelSet::Sse2) return Sse2Chunky(planes, count, columns, out);
#endif
    (void)set;
    PlainChunky(planes, count, 0, columns, out);
}

void PlanesToRgb(KernelSet set, uint8_t* const* red, uint8_t* const* green, uint8_t* const* blue, uint32_t bits,
                 const uint8_t* levels, size_t columns, uint8_t* out) {
#ifdef LANTERNA_X86_KERNELS
    if (set == KernelSet::Avx2 || set == KernelSet::Avx2Gfni)
        return Avx2Rgb(red, green, blue, bits, levels, columns, out, set == KernelSet::Avx2Gfni);
    if (set == KernelSet::Sse2) return Sse2Rgb(red, green, blue, bits, levels, columns, out);
#endif
    (void)set;
    PlainRgb(red, green, blue, bits, levels, 0, columns, out);
}

}  // namespace lanterna
