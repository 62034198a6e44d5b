// Brightness of 8- and 16-bit samples sixteen at a time: trunc(v x F) in
// single precision, limited to 0..max. The lanes do the very float multiply
// and truncation of brightenSample, so the results are the same bits.
// Without AVX2 the entry points hand the rows to the 128-bit bodies.
#include <immintrin.h>

#include <algorithm>
#include <cstdint>

#include "imaging/pipeline/kernel_path.h"
#include "imaging/tone/sample_rows.h"
#include "imaging/tone/tone_tables.h"

namespace lumvek::detail {

#if defined(__x86_64__)
namespace {

__attribute__((target("avx2"))) inline __m256i scaleEight(__m128i bytes, __m256 factor) {
    const __m256 v = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(bytes));
    return _mm256_cvttps_epi32(_mm256_mul_ps(v, factor));  // products are below 2^12: no overflow
}

__attribute__((target("avx2"))) int brightenRow8Avx2(uint8_t* row, int count, float factor, bool keepFourth) {
    const __m256 f = _mm256_set1_ps(factor);
    const __m128i fourth = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
        const __m256i lo = scaleEight(bytes, f);
        const __m256i hi = scaleEight(_mm_srli_si128(bytes, 8), f);
        // Saturating packs limit to 0..255 as the scalar clamp does.
        const __m256i words = _mm256_packs_epi32(lo, hi);  // lanes: lo0-3 hi0-3 | lo4-7 hi4-7
        const __m128i packed = _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
        // packed now holds lo0-3 hi0-3 lo4-7 hi4-7: put the halves back in order.
        __m128i ordered = _mm_shuffle_epi32(packed, _MM_SHUFFLE(3, 1, 2, 0));
        if (keepFourth) {
            ordered = _mm_blendv_epi8(ordered, bytes, fourth);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), ordered);
    }
    return i;
}

// The same by the factor's multiplier, 32 samples at a time: each byte in
// a 16-bit lane times the multiplier's high half plus the high half of its
// product with the low half; the unpacks and the pack undo each other's
// order, and the pack's saturation limits to 255.
__attribute__((target("avx2"))) int brightenRow8ByMultiplierAvx2(uint8_t* row, int count, ByteBrightness m,
                                                                 bool keepFourth) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i high = _mm256_set1_epi16(static_cast<int16_t>(m.high));
    const __m256i low = _mm256_set1_epi16(static_cast<int16_t>(m.low));
    const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    auto scaled = [&](__m256i words) __attribute__((target("avx2"), always_inline)) {
        return _mm256_add_epi16(_mm256_mullo_epi16(words, high), _mm256_mulhi_epu16(words, low));
    };
    int i = 0;
    for (; i + 32 <= count; i += 32) {
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + i));
        __m256i packed = _mm256_packus_epi16(scaled(_mm256_unpacklo_epi8(bytes, zero)),
                                             scaled(_mm256_unpackhi_epi8(bytes, zero)));
        if (keepFourth) {
            packed = _mm256_blendv_epi8(packed, bytes, fourth);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + i), packed);
    }
    return i;
}

// Sixteen 16-bit samples: the same float multiply and truncation, limited
// to 0..65535 by the minimum before converting and the unsigned pack after.
__attribute__((target("avx2"))) inline __m256i scaleSixteen(__m256i words, __m256 factor) {
    const __m256 limit = _mm256_set1_ps(65535.0f);
    const __m256 lo = _mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(_mm256_castsi256_si128(words)));
    const __m256 hi = _mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(_mm256_extracti128_si256(words, 1)));
    const __m256i a = _mm256_cvttps_epi32(_mm256_min_ps(_mm256_mul_ps(lo, factor), limit));
    const __m256i b = _mm256_cvttps_epi32(_mm256_min_ps(_mm256_mul_ps(hi, factor), limit));
    // packus interleaves the 128-bit halves: a0-3 b0-3 | a4-7 b4-7.
    return _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), _MM_SHUFFLE(3, 1, 2, 0));
}

__attribute__((target("avx2"))) int brightenRow16Avx2(uint16_t* row, int count, float factor, bool keepFourth) {
    const __m256 f = _mm256_set1_ps(factor);
    const __m256i fourth = _mm256_set1_epi64x(static_cast<int64_t>(0xFFFF000000000000ull));
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m256i words = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + i));
        __m256i scaled = scaleSixteen(words, f);
        if (keepFourth) {
            scaled = _mm256_blendv_epi8(scaled, words, fourth);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + i), scaled);
    }
    return i;
}

} // namespace
#endif

bool brightenRows16Avx2(const PlaneView& image, float factor, int y0, int y1) {
#if defined(__x86_64__)
    if (!cpuFeatures().avx2) {
        return brightenRows16Sse41(image, factor, y0, y1);
    }
    return forEachRow16(
        image, y0, y1,
        [factor](uint16_t* row, int count, bool keepFourth) {
            return brightenRow16Avx2(row, count, factor, keepFourth);
        },
        [factor](uint16_t& s) { s = static_cast<uint16_t>(brightenSample(s, factor, 65535)); });
#else
    (void)image, (void)factor, (void)y0, (void)y1;
    return false;
#endif
}

bool brightenRows8Avx2(const PlaneView& image, float factor, int y0, int y1, const ByteBrightness* multiplier) {
#if defined(__x86_64__)
    if (!cpuFeatures().avx2) {
        return brightenRows8Sse41(image, factor, y0, y1, multiplier);
    }
    auto scalar = [factor](uint8_t& s) { s = static_cast<uint8_t>(brightenSample(s, factor, 255)); };
    if (multiplier != nullptr) {
        const ByteBrightness m = *multiplier;
        return forEachRow8(
            image, y0, y1,
            [m](uint8_t* row, int count, bool keepFourth) {
                return brightenRow8ByMultiplierAvx2(row, count, m, keepFourth);
            },
            scalar);
    }
    return forEachRow8(
               image, y0, y1,
               [factor](uint8_t* row, int count, bool keepFourth) {
                   return brightenRow8Avx2(row, count, factor, keepFourth);
               },
               scalar);
#else
    (void)image, (void)factor, (void)y0, (void)y1, (void)multiplier;
    return false;
#endif
}

} // namespace lumvek::detail
