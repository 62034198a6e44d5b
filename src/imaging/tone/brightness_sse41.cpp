// Brightness of 8- and 16-bit samples with 128-bit vectors, for processors
// without AVX2: trunc(v x F) in single precision, limited to 0..max, the
// very float multiply and truncation of brightenSample in each lane, so the
// results are the same bits.
#include <immintrin.h>

#include <cstdint>

#include "imaging/pipeline/kernel_path.h"
#include "imaging/tone/sample_rows.h"
#include "imaging/tone/tone_tables.h"

namespace lumvek::detail {

#if defined(__x86_64__)
namespace {

#define LUMVEK_SSE41 __attribute__((target("sse4.1,ssse3")))
#define LUMVEK_SSE41_INLINE __attribute__((target("sse4.1,ssse3"), always_inline)) inline

// The four bytes at the bottom of the register, scaled.
LUMVEK_SSE41_INLINE __m128i scaleFour(__m128i bytes, __m128 factor) {
    const __m128 v = _mm_cvtepi32_ps(_mm_cvtepu8_epi32(bytes));
    return _mm_cvttps_epi32(_mm_mul_ps(v, factor));  // products are below 2^12: no overflow
}

LUMVEK_SSE41 int brightenRow8Sse41(uint8_t* row, int count, float factor, bool keepFourth) {
    const __m128 f = _mm_set1_ps(factor);
    const __m128i fourth = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
        const __m128i a = scaleFour(bytes, f);
        const __m128i b = scaleFour(_mm_srli_si128(bytes, 4), f);
        const __m128i c = scaleFour(_mm_srli_si128(bytes, 8), f);
        const __m128i d = scaleFour(_mm_srli_si128(bytes, 12), f);
        // Saturating packs limit to 0..255 as the scalar clamp does.
        __m128i packed = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
        if (keepFourth) {
            packed = _mm_blendv_epi8(packed, bytes, fourth);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), packed);
    }
    return i;
}

// The same by the factor's multiplier (brightness_avx2.cpp), sixteen
// samples at a time.
LUMVEK_SSE41 int brightenRow8ByMultiplierSse41(uint8_t* row, int count, ByteBrightness m, bool keepFourth) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i high = _mm_set1_epi16(static_cast<int16_t>(m.high));
    const __m128i low = _mm_set1_epi16(static_cast<int16_t>(m.low));
    const __m128i fourth = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    auto scaled = [&](__m128i words) __attribute__((target("sse4.1,ssse3"), always_inline)) {
        return _mm_add_epi16(_mm_mullo_epi16(words, high), _mm_mulhi_epu16(words, low));
    };
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
        __m128i packed = _mm_packus_epi16(scaled(_mm_unpacklo_epi8(bytes, zero)), scaled(_mm_unpackhi_epi8(bytes, zero)));
        if (keepFourth) {
            packed = _mm_blendv_epi8(packed, bytes, fourth);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), packed);
    }
    return i;
}

// Eight 16-bit samples: the same float multiply and truncation, limited to
// 0..65535 by the minimum before converting and the unsigned pack after.
LUMVEK_SSE41_INLINE __m128i scaleEight(__m128i words, __m128 factor) {
    const __m128 limit = _mm_set1_ps(65535.0f);
    const __m128 lo = _mm_cvtepi32_ps(_mm_cvtepu16_epi32(words));
    const __m128 hi = _mm_cvtepi32_ps(_mm_unpackhi_epi16(words, _mm_setzero_si128()));
    const __m128i a = _mm_cvttps_epi32(_mm_min_ps(_mm_mul_ps(lo, factor), limit));
    const __m128i b = _mm_cvttps_epi32(_mm_min_ps(_mm_mul_ps(hi, factor), limit));
    return _mm_packus_epi32(a, b);
}

LUMVEK_SSE41 int brightenRow16Sse41(uint16_t* row, int count, float factor, bool keepFourth) {
    const __m128 f = _mm_set1_ps(factor);
    const __m128i fourth = _mm_set1_epi64x(static_cast<int64_t>(0xFFFF000000000000ull));
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i + 8));
        __m128i a = scaleEight(first, f);
        __m128i b = scaleEight(second, f);
        if (keepFourth) {
            a = _mm_blendv_epi8(a, first, fourth);
            b = _mm_blendv_epi8(b, second, fourth);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i + 8), b);
    }
    return i;
}

} // namespace
#endif

bool brightenRows16Sse41(const PlaneView& image, float factor, int y0, int y1) {
#if defined(__x86_64__)
    return cpuFeatures().sse41 &&
           forEachRow16(
               image, y0, y1,
               [factor](uint16_t* row, int count, bool keepFourth) {
                   return brightenRow16Sse41(row, count, factor, keepFourth);
               },
               [factor](uint16_t& s) { s = static_cast<uint16_t>(brightenSample(s, factor, 65535)); });
#else
    (void)image, (void)factor, (void)y0, (void)y1;
    return false;
#endif
}

bool brightenRows8Sse41(const PlaneView& image, float factor, int y0, int y1, const ByteBrightness* multiplier) {
#if defined(__x86_64__)
    if (!cpuFeatures().sse41) {
        return false;
    }
    auto scalar = [factor](uint8_t& s) { s = static_cast<uint8_t>(brightenSample(s, factor, 255)); };
    if (multiplier != nullptr) {
        const ByteBrightness m = *multiplier;
        return forEachRow8(
            image, y0, y1,
            [m](uint8_t* row, int count, bool keepFourth) {
                return brightenRow8ByMultiplierSse41(row, count, m, keepFourth);
            },
            scalar);
    }
    return forEachRow8(
        image, y0, y1,
        [factor](uint8_t* row, int count, bool keepFourth) { return brightenRow8Sse41(row, count, factor, keepFourth); },
        scalar);
#else
    (void)image, (void)factor, (void)y0, (void)y1, (void)multiplier;
    return false;
#endif
}

} // namespace lumvek::detail
