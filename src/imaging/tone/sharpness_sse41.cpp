// The fused sharpening row with SSE4.1 and SSSE3: the arithmetic of the AVX2
// bodies in sharpness_avx2.cpp on 128-bit registers, with the same steps (16
// 8-bit or 8 16-bit samples, each as two halves of 8 or 4 lanes).
//   8-bit: column sums of the four rows (at most 1020) and the blur fit
//   16-bit lanes; s x d (|s d| <= 7650) too, and T = trunc(s d / 10) is
//   sign(s d) x ((|s d| x 6554) >> 16), exact for |s d| <= 7650.
//   16-bit: column sums (at most 262140) and s x d (|s d| < 2^21) sit in
//   32-bit lanes; trunc(s d / 10) is taken from the single-precision
//   quotient, exact here: s d and the quotient's integer part are exact
//   floats and a fraction of at least 0.1 is far above the rounding error.
#include <immintrin.h>

#include <cstdint>

#include "imaging/tone/sharpness_rows.h"

#if defined(__x86_64__)

namespace lumvek::detail {

namespace {

#define LUMVEK_SSE41 __attribute__((target("sse4.1,ssse3")))

LUMVEK_SSE41 inline __m128i load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
LUMVEK_SSE41 inline void store(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
LUMVEK_SSE41 inline __m128i widen8(const uint8_t* p) {
    return _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}
LUMVEK_SSE41 inline __m128i widen16(const uint16_t* p) {
    return _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

// Eight 8-bit samples from their 16-bit source values and blur.
LUMVEK_SSE41 inline __m128i sharpened8(__m128i src, __m128i blur, __m128i s, __m128i tenth) {
    const __m128i product = _mm_mullo_epi16(_mm_sub_epi16(src, blur), s);
    const __m128i t = _mm_sign_epi16(_mm_mulhi_epu16(_mm_abs_epi16(product), tenth), product);
    return _mm_add_epi16(src, t);
}

// Eight sharpened samples limited to 0..255, brightened by the multiplier
// (byteBrightnessOf); the caller's unsigned pack limits the products to 255.
LUMVEK_SSE41 inline __m128i brightened8(__m128i words, __m128i high, __m128i low) {
    const __m128i limited = _mm_min_epi16(_mm_max_epi16(words, _mm_setzero_si128()), _mm_set1_epi16(255));
    return _mm_add_epi16(_mm_mullo_epi16(limited, high), _mm_mulhi_epu16(limited, low));
}

LUMVEK_SSE41 inline __m128i blur8(const uint16_t* sums, int x, int step) {
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(load(sums + x - 2 * step), load(sums + x - step)),
                                        _mm_add_epi16(load(sums + x), load(sums + x + step))),
                          4);
}

// Four 16-bit samples from their 32-bit source values and blur.
LUMVEK_SSE41 inline __m128i sharpened16(__m128i src, __m128i blur, __m128i s, __m128 ten) {
    const __m128i product = _mm_mullo_epi32(_mm_sub_epi32(src, blur), s);
    const __m128i t = _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(product), ten));
    return _mm_add_epi32(src, t);
}

LUMVEK_SSE41 inline __m128i blur16(const int32_t* sums, int x, int step) {
    return _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(load(sums + x - 2 * step), load(sums + x - step)),
                                        _mm_add_epi32(load(sums + x), load(sums + x + step))),
                          4);
}

template <bool kBrighten>
LUMVEK_SSE41 int sharpenRow8Body(const uint8_t* const rows[4], uint8_t* out, uint16_t* sums, int n, int step,
                                 int first, int sharpness, ByteBrightness brightness) {
    // The row pointers in registers: the stores to sums could otherwise
    // alias the array and force a reload of each in every step.
    const uint8_t* const r0 = rows[0];
    const uint8_t* const r1 = rows[1];
    const uint8_t* const r2 = rows[2];
    const uint8_t* const r3 = rows[3];
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i sum = _mm_add_epi16(_mm_add_epi16(widen8(r0 + i), widen8(r1 + i)),
                                          _mm_add_epi16(widen8(r2 + i), widen8(r3 + i)));
        store(sums + i, sum);
    }
    for (; i < n; ++i) {
        sums[i] = static_cast<uint16_t>(r0[i] + r1[i] + r2[i] + r3[i]);
    }
    const __m128i s = _mm_set1_epi16(static_cast<int16_t>(sharpness));
    const __m128i tenth = _mm_set1_epi16(6554);
    const __m128i timesHigh = _mm_set1_epi16(static_cast<int16_t>(brightness.high));
    const __m128i timesLow = _mm_set1_epi16(static_cast<int16_t>(brightness.low));
    const __m128i fourth = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i zero = _mm_setzero_si128();
    const int end = n - 2 * step;
    int x = first;
    for (; x + 16 <= end; x += 16) {
        const __m128i srcBytes = load(r2 + x);
        __m128i low = sharpened8(_mm_unpacklo_epi8(srcBytes, zero), blur8(sums, x, step), s, tenth);
        __m128i high = sharpened8(_mm_unpackhi_epi8(srcBytes, zero), blur8(sums, x + 8, step), s, tenth);
        if constexpr (kBrighten) {
            low = brightened8(low, timesHigh, timesLow);
            high = brightened8(high, timesHigh, timesLow);
        }
        __m128i bytes = _mm_packus_epi16(low, high);
        if (step == 4) {
            bytes = _mm_blendv_epi8(bytes, srcBytes, fourth);
        }
        store(out + x, bytes);
    }
    return x;
}

} // namespace

int sharpenRow8Sse41(const uint8_t* const rows[4], uint8_t* out, uint16_t* sums, int n, int step, int first,
                     int sharpness, const ByteBrightness* brightness) {
    return brightness != nullptr ? sharpenRow8Body<true>(rows, out, sums, n, step, first, sharpness, *brightness)
                                 : sharpenRow8Body<false>(rows, out, sums, n, step, first, sharpness, {});
}

LUMVEK_SSE41 int sharpenRow16Sse41(const uint16_t* const rows[4], uint16_t* out, int32_t* sums, int n, int step,
                                   int first, int sharpness) {
    // The row pointers in registers: the stores to sums could otherwise
    // alias the array and force a reload of each in every step.
    const uint16_t* const r0 = rows[0];
    const uint16_t* const r1 = rows[1];
    const uint16_t* const r2 = rows[2];
    const uint16_t* const r3 = rows[3];
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i sum = _mm_add_epi32(_mm_add_epi32(widen16(r0 + i), widen16(r1 + i)),
                                          _mm_add_epi32(widen16(r2 + i), widen16(r3 + i)));
        store(sums + i, sum);
    }
    for (; i < n; ++i) {
        sums[i] = int32_t{r0[i]} + r1[i] + r2[i] + r3[i];
    }
    const __m128i s = _mm_set1_epi32(sharpness);
    const __m128 ten = _mm_set1_ps(10.0f);
    // The fourth sample of 64-bit pixels keeps its value.
    const __m128i fourth = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
    const __m128i zero = _mm_setzero_si128();
    const int end = n - 2 * step;
    int x = first;
    for (; x + 8 <= end; x += 8) {
        const __m128i srcWords = load(r2 + x);
        const __m128i low = sharpened16(_mm_unpacklo_epi16(srcWords, zero), blur16(sums, x, step), s, ten);
        const __m128i high = sharpened16(_mm_unpackhi_epi16(srcWords, zero), blur16(sums, x + 4, step), s, ten);
        __m128i words = _mm_packus_epi32(low, high);
        if (step == 4) {
            words = _mm_blendv_epi8(words, srcWords, fourth);
        }
        store(out + x, words);
    }
    return x;
}

} // namespace lumvek::detail

#endif
