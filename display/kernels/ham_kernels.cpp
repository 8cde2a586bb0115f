// Hold-and-modify rows to RGB: the plain chain, the AVX2 blocks and the
// AVX-512 blocks.
#include "display/kernels/ham_kernels.h"
#include "display/kernels/rgb_shuffles.h"

#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#define LANTERNA_X86_KERNELS 1
#endif

namespace lanterna {

namespace {

// The control codes of the three components.
constexpr uint32_t kSetsBlue = 1;
constexpr uint32_t kSetsRed = 2;
constexpr uint32_t kSetsGreen = 3;

// A data value as an 8-bit level: a 4-bit one repeated in both nibbles, a
// 6-bit one taking its own top two bits as the low bits, so that the full
// level reaches 255.
constexpr uint32_t Level(bool ham6, uint32_t d) { return ham6 ? d * 17 : (d << 2) | (d >> 4); }

// ---- Plain C++ ----------------------------------------------------------

// An RGB colour as a 32-bit word whose first three bytes in memory are red,
// green and blue, so one 4-byte store writes a pixel (the fourth byte is
// overwritten by the next pixel).
constexpr uint32_t ChannelShift(int channel) {
    return std::endian::native == std::endian::little ? 8 * channel : 24 - 8 * channel;
}
constexpr uint32_t Pack(uint32_t r, uint32_t g, uint32_t b) {
    return (r << ChannelShift(0)) | (g << ChannelShift(1)) | (b << ChannelShift(2));
}
constexpr uint32_t ChannelMask(int channel) { return 0xFFu << ChannelShift(channel); }

// As tables: the new colour is (old & keep[v]) | set[v], which needs no
// branch per pixel.
struct HamTables {
    uint32_t keep[256];
    uint32_t set[256];
};

void BuildHamTables(HamTables& t, bool ham6, const uint8_t* colours) {
    const uint32_t dataBits = ham6 ? 4 : 6;
    const uint32_t values = 1u << (dataBits + 2);
    const uint32_t dataMask = (1u << dataBits) - 1;
    for (uint32_t v = 0; v < values; ++v) {
        const uint32_t d = v & dataMask;
        const uint32_t level = Level(ham6, d);
        switch (v >> dataBits) {
            case 0: {
                t.keep[v] = 0;
                const uint8_t* c = colours != nullptr ? colours + 3 * d : nullptr;
                t.set[v] = c != nullptr ? Pack(c[0], c[1], c[2]) : 0;
                break;
            }
            case kSetsBlue:
                t.keep[v] = ~ChannelMask(2);
                t.set[v] = level << ChannelShift(2);
                break;
            case kSetsRed:
                t.keep[v] = ~ChannelMask(0);
                t.set[v] = level << ChannelShift(0);
                break;
            default:  // green
                t.keep[v] = ~ChannelMask(1);
                t.set[v] = level << ChannelShift(1);
                break;
        }
    }
    for (uint32_t v = values; v < 256; ++v) {  // not reachable from 6 planes
        t.keep[v] = 0;
        t.set[v] = 0;
    }
}

void PlainHam(bool ham6, const uint8_t* codes, size_t pixels, const uint8_t* colours, uint8_t* out) {
    if (pixels == 0) return;
    HamTables tables;
    BuildHamTables(tables, ham6, colours);
    uint32_t rgb = colours != nullptr ? Pack(colours[0], colours[1], colours[2]) : 0;
    for (size_t p = 0; p + 1 < pixels; ++p) {
        const uint8_t v = codes[p];
        rgb = (rgb & tables.keep[v]) | tables.set[v];
        std::memcpy(out + 3 * p, &rgb, 4);
    }
    const uint8_t v = codes[pixels - 1];
    rgb = (rgb & tables.keep[v]) | tables.set[v];
    uint8_t last[4];
    std::memcpy(last, &rgb, 4);
    std::memcpy(out + 3 * (pixels - 1), last, 3);  // nothing beyond the row
}

#ifdef LANTERNA_X86_KERNELS

// ---- AVX2 ------------------------------------------------------------------
// 32 pixels a step, one byte each, 16 in each 128-bit half. The byte
// shuffles work within a half, so the two halves are 16-pixel blocks of
// their own, the second taking its carried colour from the first.

#define LANTERNA_AVX2 __attribute__((target("avx2")))
// The block is inlined into its loop and its small loops unrolled, so the
// state stays in registers as far as they go.
#define LANTERNA_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

LANTERNA_AVX2 inline __m256i Broadcast16(const uint8_t* bytes) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
}

struct HamVectorState {
    __m256i palette[3][4];  // [component][data / 16]: 16 base colour components, in both halves
    __m256i carry[3];       // the colour so far, one component in every byte
    __m256i shuffles[3][3];
};

// One component of 32 pixels: the pixels that set it (base colours among
// them) give their value, the others the value of the last one to their
// left that did, or the carried colour when there is none in their half.
LANTERNA_AVX2_INLINE __m256i ScanComponent(__m256i sets, __m256i values, __m256i& carry) {
    const __m256i positions = _mm256_setr_epi8(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,  //
                                               1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    // Byte j: 1 + the position of the last setting pixel up to j, 0 if none.
    __m256i last = _mm256_and_si256(sets, positions);
    last = _mm256_max_epu8(last, _mm256_slli_si256(last, 1));
    last = _mm256_max_epu8(last, _mm256_slli_si256(last, 2));
    last = _mm256_max_epu8(last, _mm256_slli_si256(last, 4));
    last = _mm256_max_epu8(last, _mm256_slli_si256(last, 8));
    // Index 0xFF (no setter) fetches 0, replaced by the carry below.
    const __m256i fetched = _mm256_shuffle_epi8(values, _mm256_sub_epi8(last, _mm256_set1_epi8(1)));
    const __m256i none = _mm256_cmpeq_epi8(last, _mm256_setzero_si256());
    __m256i out = _mm256_blendv_epi8(fetched, carry, none);
    // The second half's carry is the first half's last byte.
    const __m256i lastByte = _mm256_set1_epi8(15);
    const __m256i firstEnd = _mm256_permute2x128_si256(_mm256_shuffle_epi8(out, lastByte), out, 0x00);
    const __m256i secondHalf = _mm256_setr_epi64x(0, 0, -1, -1);
    out = _mm256_blendv_epi8(out, firstEnd, _mm256_and_si256(none, secondHalf));
    const __m256i ends = _mm256_shuffle_epi8(out, lastByte);
    carry = _mm256_permute2x128_si256(ends, ends, 0x11);
    return out;
}

// Converts 32 codes to 96 bytes of RGB.
template <bool kHam6>
LANTERNA_AVX2_INLINE void HamBlock(HamVectorState& s, const uint8_t* codes, uint8_t* out) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(codes));
    const __m256i three = _mm256_set1_epi8(3);
    __m256i control, data, level;
    __m256i base[3];
    if constexpr (kHam6) {
        control = _mm256_and_si256(_mm256_srli_epi16(v, 4), three);
        data = _mm256_and_si256(v, _mm256_set1_epi8(0x0F));
        level = _mm256_or_si256(_mm256_slli_epi16(data, 4), data);
#pragma GCC unroll 3
        for (int c = 0; c < 3; ++c) base[c] = _mm256_shuffle_epi8(s.palette[c][0], data);
    } else {
        control = _mm256_and_si256(_mm256_srli_epi16(v, 6), three);
        data = _mm256_and_si256(v, _mm256_set1_epi8(0x3F));
        level = _mm256_or_si256(_mm256_slli_epi16(data, 2), _mm256_and_si256(_mm256_srli_epi16(data, 4), three));
        // The byte shuffle reads the low 4 bits of the data (its top bit is
        // clear); bits 4 and 5, moved to the top of each byte, choose among
        // the four tables.
        const __m256i bit4 = _mm256_slli_epi16(data, 3), bit5 = _mm256_slli_epi16(data, 2);
#pragma GCC unroll 3
        for (int c = 0; c < 3; ++c) {
            const __m256i low = _mm256_blendv_epi8(_mm256_shuffle_epi8(s.palette[c][0], data),
                                                   _mm256_shuffle_epi8(s.palette[c][1], data), bit4);
            const __m256i high = _mm256_blendv_epi8(_mm256_shuffle_epi8(s.palette[c][2], data),
                                                    _mm256_shuffle_epi8(s.palette[c][3], data), bit4);
            base[c] = _mm256_blendv_epi8(low, high, bit5);
        }
    }
    const __m256i isBase = _mm256_cmpeq_epi8(control, _mm256_setzero_si256());
    const int codeOf[3] = {kSetsRed, kSetsGreen, kSetsBlue};
    __m256i rgb[3];
#pragma GCC unroll 3
    for (int c = 0; c < 3; ++c) {
        const __m256i sets =
            _mm256_or_si256(isBase, _mm256_cmpeq_epi8(control, _mm256_set1_epi8(static_cast<char>(codeOf[c]))));
        rgb[c] = ScanComponent(sets, _mm256_blendv_epi8(level, base[c], isBase), s.carry[c]);
    }
    __m256i lines[3];
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
        lines[k] = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(rgb[0], s.shuffles[k][0]),
                                                   _mm256_shuffle_epi8(rgb[1], s.shuffles[k][1])),
                                   _mm256_shuffle_epi8(rgb[2], s.shuffles[k][2]));
    }
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * k), _mm256_castsi256_si128(lines[k]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 48 + 16 * k), _mm256_extracti128_si256(lines[k], 1));
    }
}

template <bool kHam6>
LANTERNA_AVX2 void HamBlocks(HamVectorState& s, const uint8_t* codes, size_t pixels, uint8_t* out) {
    size_t p = 0;
    for (; p + 32 <= pixels; p += 32) HamBlock<kHam6>(s, codes + p, out + 3 * p);
    if (p < pixels) {
        // The last few pixels as one more block over a copy; codes 0 after
        // the row do no harm, since nothing of them is stored.
        alignas(32) uint8_t tail[32] = {};
        alignas(32) uint8_t line[96];
        std::memcpy(tail, codes + p, pixels - p);
        HamBlock<kHam6>(s, tail, line);
        std::memcpy(out + 3 * p, line, 3 * (pixels - p));
    }
}

LANTERNA_AVX2 void Avx2Ham(bool ham6, const uint8_t* codes, size_t pixels, const uint8_t* colours, uint8_t* out) {
    if (pixels == 0) return;
    HamVectorState s;
    alignas(16) uint8_t components[3][64] = {};
    if (colours != nullptr) {
        const int entries = ham6 ? 16 : 64;
        for (int d = 0; d < entries; ++d) {
            for (int c = 0; c < 3; ++c) components[c][d] = colours[3 * d + c];
        }
    }
    for (int c = 0; c < 3; ++c) {
        for (int k = 0; k < 4; ++k) s.palette[c][k] = Broadcast16(components[c] + 16 * k);
        s.carry[c] = _mm256_set1_epi8(static_cast<char>(components[c][0]));
        for (int k = 0; k < 3; ++k) s.shuffles[k][c] = Broadcast16(kRgbShuffles.mask[k][c]);
    }
    if (ham6) {
        HamBlocks<true>(s, codes, pixels, out);
    } else {
        HamBlocks<false>(s, codes, pixels, out);
    }
}

// ---- AVX-512 (F, BW and VBMI) ----------------------------------------------
// 64 pixels a step. The byte permutes reach across the whole vector, so the
// 64 palette entries of a component are one table and a block needs no
// halves: the running maximum shifts by 1 to 32 bytes.

#define LANTERNA_AVX512_TARGET "avx512f,avx512bw,avx512vbmi"
#define LANTERNA_AVX512 __attribute__((target(LANTERNA_AVX512_TARGET)))
#define LANTERNA_AVX512_INLINE __attribute__((target(LANTERNA_AVX512_TARGET), always_inline)) inline

// Permute indices that interleave 64 R, G and B bytes into 192 bytes of
// RGB: output vector k, byte j is pixel (64k + j) / 3 of component
// (64k + j) % 3. Red and green come from one two-table permute (index bit 6
// picks green), blue is permuted in over them.
struct RgbPermutes {
    alignas(64) uint8_t redGreen[3][64];
    alignas(64) uint8_t blue[3][64];
    uint64_t blueBytes[3];
};

constexpr RgbPermutes MakeRgbPermutes() {
    RgbPermutes t{};
    for (int k = 0; k < 3; ++k) {
        for (int j = 0; j < 64; ++j) {
            const int at = 64 * k + j;
            const auto pixel = static_cast<uint8_t>(at / 3);
            t.redGreen[k][j] = at % 3 == 1 ? static_cast<uint8_t>(64 + pixel) : pixel;
            t.blue[k][j] = pixel;
            if (at % 3 == 2) t.blueBytes[k] |= uint64_t{1} << j;
        }
    }
    return t;
}

constexpr RgbPermutes kRgbPermutes = MakeRgbPermutes();

struct ShiftPermutes {
    alignas(64) uint8_t index[6][64];  // byte i takes byte i - 2^step
    alignas(64) uint8_t positions[64];  // 1 to 64
};

constexpr ShiftPermutes MakeShiftPermutes() {
    ShiftPermutes t{};
    for (int step = 0; step < 6; ++step) {
        for (int i = 0; i < 64; ++i) t.index[step][i] = static_cast<uint8_t>(i >= (1 << step) ? i - (1 << step) : 0);
    }
    for (int i = 0; i < 64; ++i) t.positions[i] = static_cast<uint8_t>(i + 1);
    return t;
}

constexpr ShiftPermutes kShiftPermutes = MakeShiftPermutes();

LANTERNA_AVX512_INLINE __m512i Load64(const uint8_t* bytes) { return _mm512_loadu_si512(bytes); }

// table[index] for every byte. (The unmasked intrinsic starts from an
// undefined vector, which GCC 12 warns about; with every byte selected the
// instruction is the same.)
LANTERNA_AVX512_INLINE __m512i Permute64(__m512i index, __m512i table) {
    return _mm512_maskz_permutexvar_epi8(~uint64_t{0}, index, table);
}

struct Ham512State {
    __m512i palette[3];  // the 64 base colours, one component each
    __m512i carry[3];    // the colour so far, one component in every byte
};

// One component of 64 pixels, as ScanComponent does for 32.
LANTERNA_AVX512_INLINE __m512i ScanComponent512(__mmask64 sets, __m512i values, __m512i& carry) {
    __m512i last = _mm512_maskz_mov_epi8(sets, Load64(kShiftPermutes.positions));
#pragma GCC unroll 6
    for (int step = 0; step < 6; ++step) {
        const __mmask64 from = ~uint64_t{0} << (1 << step);
        last = _mm512_max_epu8(last,
                               _mm512_maskz_permutexvar_epi8(from, Load64(kShiftPermutes.index[step]), last));
    }
    const __mmask64 anySetter = _mm512_test_epi8_mask(last, last);
    const __m512i out =
        _mm512_mask_permutexvar_epi8(carry, anySetter, _mm512_sub_epi8(last, _mm512_set1_epi8(1)), values);
    carry = Permute64(_mm512_set1_epi8(63), out);
    return out;
}

// Converts 64 codes to 192 bytes of RGB.
template <bool kHam6>
LANTERNA_AVX512_INLINE void HamBlock512(Ham512State& s, const uint8_t* codes, uint8_t* out) {
    const __m512i v = Load64(codes);
    const __m512i three = _mm512_set1_epi8(3);
    __m512i control, data, level;
    if constexpr (kHam6) {
        control = _mm512_and_si512(_mm512_srli_epi16(v, 4), three);
        data = _mm512_and_si512(v, _mm512_set1_epi8(0x0F));
        level = _mm512_or_si512(_mm512_slli_epi16(data, 4), data);
    } else {
        control = _mm512_and_si512(_mm512_srli_epi16(v, 6), three);
        data = _mm512_and_si512(v, _mm512_set1_epi8(0x3F));
        level = _mm512_or_si512(_mm512_slli_epi16(data, 2), _mm512_and_si512(_mm512_srli_epi16(data, 4), three));
    }
    const __mmask64 isBase = _mm512_cmpeq_epi8_mask(control, _mm512_setzero_si512());
    const int codeOf[3] = {kSetsRed, kSetsGreen, kSetsBlue};
    __m512i rgb[3];
#pragma GCC unroll 3
    for (int c = 0; c < 3; ++c) {
        const __mmask64 sets =
            isBase | _mm512_cmpeq_epi8_mask(control, _mm512_set1_epi8(static_cast<char>(codeOf[c])));
        const __m512i values = _mm512_mask_blend_epi8(isBase, level, Permute64(data, s.palette[c]));
        rgb[c] = ScanComponent512(sets, values, s.carry[c]);
    }
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
        const __m512i redGreen = _mm512_permutex2var_epi8(rgb[0], Load64(kRgbPermutes.redGreen[k]), rgb[1]);
        const __m512i line =
            _mm512_mask_permutexvar_epi8(redGreen, kRgbPermutes.blueBytes[k], Load64(kRgbPermutes.blue[k]), rgb[2]);
        _mm512_storeu_si512(out + 64 * k, line);
    }
}

template <bool kHam6>
LANTERNA_AVX512 void HamBlocks512(Ham512State& s, const uint8_t* codes, size_t pixels, uint8_t* out) {
    size_t p = 0;
    for (; p + 64 <= pixels; p += 64) HamBlock512<kHam6>(s, codes + p, out + 3 * p);
    if (p < pixels) {
        alignas(64) uint8_t tail[64] = {};
        alignas(64) uint8_t line[192];
        std::memcpy(tail, codes + p, pixels - p);
        HamBlock512<kHam6>(s, tail, line);
        std::memcpy(out + 3 * p, line, 3 * (pixels - p));
    }
}

LANTERNA_AVX512 void Avx512Ham(bool ham6, const uint8_t* codes, size_t pixels, const uint8_t* colours, uint8_t* out) {
    if (pixels == 0) return;
    alignas(64) uint8_t components[3][64] = {};
    if (colours != nullptr) {
        const int entries = ham6 ? 16 : 64;
        for (int d = 0; d < entries; ++d) {
            for (int c = 0; c < 3; ++c) components[c][d] = colours[3 * d + c];
        }
    }
    Ham512State s;
    for (int c = 0; c < 3; ++c) {
        s.palette[c] = Load64(components[c]);
        s.carry[c] = _mm512_set1_epi8(static_cast<char>(components[c][0]));
    }
    if (ham6) {
        HamBlocks512<true>(s, codes, pixels, out);
    } else {
        HamBlocks512<false>(s, codes, pixels, out);
    }
}

#endif  // LANTERNA_X86_KERNELS

}  // namespace

bool HamPathAvailable(HamPath path) {
    switch (path) {
        case HamPath::Plain:
            return true;
#ifdef LANTERNA_X86_KERNELS
        case HamPath::Avx2:
            return __builtin_cpu_supports("avx2");
        case HamPath::Avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                   __builtin_cpu_supports("avx512vbmi");
#endif
        default:
            return false;
    }
}

HamPath BestHamPath() {
    static const HamPath best = HamPathAvailable(HamPath::Avx512) ? HamPath::Avx512
                                : HamPathAvailable(HamPath::Avx2) ? HamPath::Avx2
                                                                  : HamPath::Plain;
    return best;
}

void HamToRgb(HamPath path, bool ham6, const uint8_t* codes, size_t pixels, const uint8_t* colours, uint8_t* out) {
#ifdef LANTERNA_X86_KERNELS
    if (path == HamPath::Avx512) return Avx512Ham(ham6, codes, pixels, colours, out);
    if (path == HamPath::Avx2) return Avx2Ham(ham6, codes, pixels, colours, out);
#endif
    (void)path;
    PlainHam(ham6, codes, pixels, colours, out);
}

}  // namespace lanterna
