// The colour-table row: whole-number scales without the column map.
#include "platform/graphics/sdl/lut_row.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define LANTERNA_LUT_AVX2 1
#endif

namespace os::sdl {

namespace {

template <uint32_t kScale>
void Scaled(const uint8_t* src, uint32_t srcWidth, const uint32_t* lut, uint32_t* out) {
    for (uint32_t i = 0; i < srcWidth; ++i) {
        const uint32_t v = lut[src[i]];
        for (uint32_t k = 0; k < kScale; ++k) out[kScale * i + k] = v;
    }
}

#ifdef LANTERNA_LUT_AVX2
// Eight source pixels give 8 * kScale outputs: vector j holds outputs
// 8j .. 8j + 7, each the looked-up value of source pixel (8j + l) / kScale.
template <uint32_t kScale>
__attribute__((target("avx2"))) void ScaledAvx2(const uint8_t* src, uint32_t srcWidth, const uint32_t* lut,
                                                 uint32_t* out) {
    __m256i spread[kScale];
    for (uint32_t j = 0; j < kScale; ++j) {
        alignas(32) int32_t lanes[8];
        for (uint32_t l = 0; l < 8; ++l) lanes[l] = static_cast<int32_t>((8 * j + l) / kScale);
        spread[j] = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes));
    }
    const int* table = reinterpret_cast<const int*>(lut);
    uint32_t i = 0;
    for (; i + 8 <= srcWidth; i += 8) {
        const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + i));
        const __m256i values = _mm256_i32gather_epi32(table, _mm256_cvtepu8_epi32(bytes), 4);
        for (uint32_t j = 0; j < kScale; ++j) {
            const __m256i v = kScale == 1 ? values : _mm256_permutevar8x32_epi32(values, spread[j]);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + kScale * i + 8 * j), v);
        }
    }
    Scaled<kScale>(src + i, srcWidth - i, lut, out + kScale * i);
}
#endif

bool HasAvx2() {
#ifdef LANTERNA_LUT_AVX2
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
#else
    return false;
#endif
}

template <uint32_t kScale>
void ScaledWith(LutRowPath path, const uint8_t* src, uint32_t srcWidth, const uint32_t* lut, uint32_t* out) {
#ifdef LANTERNA_LUT_AVX2
    if (path == LutRowPath::Avx2) return ScaledAvx2<kScale>(src, srcWidth, lut, out);
#endif
    (void)path;
    Scaled<kScale>(src, srcWidth, lut, out);
}

}  // namespace

bool LutRowPathAvailable(LutRowPath path) { return path == LutRowPath::Plain || HasAvx2(); }

void LutRowWith(LutRowPath path, const uint8_t* src, uint32_t srcWidth, const uint32_t* xMap, const uint32_t* lut,
                uint32_t* out, uint32_t outWidth) {
    if (srcWidth > 0 && outWidth % srcWidth == 0) {
        switch (outWidth / srcWidth) {
            case 1:
                return ScaledWith<1>(path, src, srcWidth, lut, out);
            case 2:
                return ScaledWith<2>(path, src, srcWidth, lut, out);
            case 3:
                return ScaledWith<3>(path, src, srcWidth, lut, out);
            case 4:
                return ScaledWith<4>(path, src, srcWidth, lut, out);
            default:
                break;
        }
    }
    for (uint32_t x = 0; x < outWidth; ++x) out[x] = lut[src[xMap[x]]];
}

void LutRow(const uint8_t* src, uint32_t srcWidth, const uint32_t* xMap, const uint32_t* lut, uint32_t* out,
            uint32_t outWidth) {
    LutRowWith(HasAvx2() ? LutRowPath::Avx2 : LutRowPath::Plain, src, srcWidth, xMap, lut, out, outWidth);
}

}  // namespace os::sdl
