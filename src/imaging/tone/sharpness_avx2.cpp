// The fused sharpening row with AVX2 (see sharpness_rows.h).
#include <immintrin.h>

#include <cstdint>

#include "imaging/tone/sharpness_rows.h"

#if defined(__x86_64__)

namespace lumvek::detail {

namespace {

__attribute__((target("avx2"))) inline __m256i widen(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
__attribute__((target("avx2"))) inline __m256i loadSums(const uint16_t* sums, int at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + at));
}
__attribute__((target("avx2"))) inline __m256i widen16(const uint16_t* p) {
    return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
__attribute__((target("avx2"))) inline __m256i loadSums32(const int32_t* sums, int at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + at));
}

// Sixteen sharpened samples in 16-bit lanes, limited to 0..255, brightened
// by the multiplier (byteBrightnessOf); the caller's unsigned pack limits
// the products to 255.
__attribute__((target("avx2"))) inline __m256i brightenWords(__m256i words, __m256i high, __m256i low) {
    const __m256i limited = _mm256_min_epi16(_mm256_max_epi16(words, _mm256_setzero_si256()), _mm256_set1_epi16(255));
    return _mm256_add_epi16(_mm256_mullo_epi16(limited, high), _mm256_mulhi_epu16(limited, low));
}

// One 8-bit row, 16 samples at a time from `first`; returns where it
// stopped. Column sums of the four rows (at most 1020) and the blur fit
// 16-bit lanes; s x d (|s d| <= 7650) too, and T = trunc(s d / 10) is
// sign(s d) x ((|s d| x 6554) >> 16), exact for |s d| <= 7650. A fourth
// component keeps its value (first is a multiple of 4 then).
template <bool kBrighten>
__attribute__((target("avx2"))) int sharpenRow8Body(const uint8_t* const rows[4], uint8_t* out, uint16_t* sums, int n,
                                                    int step, int first, int sharpness, ByteBrightness brightness) {
    // The row pointers in registers: the stores to sums could otherwise
    // alias the array and force a reload of each in every step.
    const uint8_t* const r0 = rows[0];
    const uint8_t* const r1 = rows[1];
    const uint8_t* const r2 = rows[2];
    const uint8_t* const r3 = rows[3];
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m256i sum = _mm256_add_epi16(_mm256_add_epi16(widen(r0 + i), widen(r1 + i)),
                                             _mm256_add_epi16(widen(r2 + i), widen(r3 + i)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + i), sum);
    }
    for (; i < n; ++i) {
        sums[i] = static_cast<uint16_t>(r0[i] + r1[i] + r2[i] + r3[i]);
    }
    const __m256i s = _mm256_set1_epi16(static_cast<int16_t>(sharpness));
    const __m256i tenth = _mm256_set1_epi16(6554);
    const __m256i timesHigh = _mm256_set1_epi16(static_cast<int16_t>(brightness.high));
    const __m256i timesLow = _mm256_set1_epi16(static_cast<int16_t>(brightness.low));
    const __m128i fourth = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const int end = n - 2 * step;
    int x = first;
    for (; x + 16 <= end; x += 16) {
        const __m256i blur = _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_add_epi16(loadSums(sums, x - 2 * step), loadSums(sums, x - step)),
                             _mm256_add_epi16(loadSums(sums, x), loadSums(sums, x + step))), 4);
        const __m128i srcBytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r2 + x));
        const __m256i src = _mm256_cvtepu8_epi16(srcBytes);
        const __m256i product = _mm256_mullo_epi16(_mm256_sub_epi16(src, blur), s);
        const __m256i t = _mm256_sign_epi16(_mm256_mulhi_epu16(_mm256_abs_epi16(product), tenth), product);
        __m256i sharpened = _mm256_add_epi16(src, t);
        if constexpr (kBrighten) {
            sharpened = brightenWords(sharpened, timesHigh, timesLow);
        }
        __m128i bytes = _mm_packus_epi16(_mm256_castsi256_si128(sharpened), _mm256_extracti128_si256(sharpened, 1));
        if (step == 4) {
            bytes = _mm_blendv_epi8(bytes, srcBytes, fourth);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), bytes);
    }
    return x;
}

} // namespace

int sharpenRow8Avx2(const uint8_t* const rows[4], uint8_t* out, uint16_t* sums, int n, int step, int first,
                    int sharpness, const ByteBrightness* brightness) {
    return brightness != nullptr ? sharpenRow8Body<true>(rows, out, sums, n, step, first, sharpness, *brightness)
                                 : sharpenRow8Body<false>(rows, out, sums, n, step, first, sharpness, {});
}

// One 16-bit row, eight samples at a time from `first`. Column
// sums (at most 262140) and the products s x d (|s d| <= 1966050 < 2^21) sit
// in 32-bit lanes; trunc(s d / 10) is taken from the single-precision
// quotient, exact here: s d and the quotient's integer part are exact floats
// and a fraction of at least 0.1 is far above the rounding error (< 2^-7).
__attribute__((target("avx2"))) int sharpenRow16Avx2(const uint16_t* const rows[4], uint16_t* out, int32_t* sums,
                                                     int n, int step, int first, int sharpness) {
    // The row pointers in registers: the stores to sums could otherwise
    // alias the array and force a reload of each in every step.
    const uint16_t* const r0 = rows[0];
    const uint16_t* const r1 = rows[1];
    const uint16_t* const r2 = rows[2];
    const uint16_t* const r3 = rows[3];
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i sum = _mm256_add_epi32(_mm256_add_epi32(widen16(r0 + i), widen16(r1 + i)),
                                             _mm256_add_epi32(widen16(r2 + i), widen16(r3 + i)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + i), sum);
    }
    for (; i < n; ++i) {
        sums[i] = int32_t{r0[i]} + r1[i] + r2[i] + r3[i];
    }
    const __m256i s = _mm256_set1_epi32(sharpness);
    const __m256 ten = _mm256_set1_ps(10.0f);
    // The fourth sample of 64-bit pixels keeps its value.
    const __m128i fourth = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
    const int end = n - 2 * step;
    int x = first;
    for (; x + 8 <= end; x += 8) {
        const __m256i blur = _mm256_srli_epi32(
            _mm256_add_epi32(_mm256_add_epi32(loadSums32(sums, x - 2 * step), loadSums32(sums, x - step)),
                             _mm256_add_epi32(loadSums32(sums, x), loadSums32(sums, x + step))), 4);
        const __m128i srcWords = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r2 + x));
        const __m256i src = _mm256_cvtepu16_epi32(srcWords);
        const __m256i product = _mm256_mullo_epi32(_mm256_sub_epi32(src, blur), s);
        const __m256i t = _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(product), ten));
        const __m256i sharpened = _mm256_add_epi32(src, t);
        __m128i words = _mm_packus_epi32(_mm256_castsi256_si128(sharpened), _mm256_extracti128_si256(sharpened, 1));
        if (step == 4) {
            words = _mm_blendv_epi8(words, srcWords, fourth);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), words);
    }
    return x;
}

} // namespace lumvek::detail

#endif
