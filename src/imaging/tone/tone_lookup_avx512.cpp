// An 8-bit tone table applied 64 samples at a time with AVX-512 VBMI: the
// 256 entries are four 64-byte registers; one two-register byte permute
// answers the samples below 128 from the first two, another the samples
// from 128 up from the last two (the permute reads the low seven bits of
// each index), and the sample's top bit picks between them. The end of a
// row is a masked load and store, so no sample is left to the scalar code.
// 16-bit samples are looked up by gathers (see lookup16).
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's AVX-512 headers make their "undefined" vectors by initialising a
// variable from itself, which -Wuninitialized and -Wmaybe-uninitialized
// report at unmasked operations; the values are never read.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include <cstdint>

#include "imaging/pipeline/kernel_path.h"
#include "imaging/tone/sample_rows.h"
#include "imaging/tone/tone_tables.h"

namespace lumvek::detail {

#if defined(__x86_64__)
namespace {

#define LUMVEK_AVX512VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))

constexpr int kVector = 64;
// Bytes 3, 7, 11, ... of 4-byte pixels: the fourth component, kept.
constexpr uint64_t kFourthBytes = 0x8888888888888888ull;

LUMVEK_AVX512VBMI inline __m512i lookup64(__m512i samples, const __m512i (&table)[4], bool keepFourth) {
    const __m512i low = _mm512_permutex2var_epi8(table[0], samples, table[1]);
    const __m512i high = _mm512_permutex2var_epi8(table[2], samples, table[3]);
    __m512i looked = _mm512_mask_blend_epi8(_mm512_movepi8_mask(samples), low, high);
    if (keepFourth) {
        looked = _mm512_mask_blend_epi8(kFourthBytes, looked, samples);
    }
    return looked;
}

LUMVEK_AVX512VBMI int lookupRow8Avx512(uint8_t* row, int count, const uint8_t* table, bool keepFourth) {
    __m512i slices[4];
    for (int k = 0; k < 4; ++k) {
        slices[k] = _mm512_loadu_si512(table + kVector * k);
    }
    int i = 0;
    for (; i + kVector <= count; i += kVector) {
        const __m512i samples = _mm512_loadu_si512(row + i);
        _mm512_storeu_si512(row + i, lookup64(samples, slices, keepFourth));
    }
    if (i < count) {
        // i is a multiple of 64, so the fourth-byte positions stay in step.
        const __mmask64 rest = (uint64_t{1} << (count - i)) - 1;
        const __m512i samples = _mm512_maskz_loadu_epi8(rest, row + i);
        _mm512_mask_storeu_epi8(row + i, rest, lookup64(samples, slices, keepFourth));
    }
    return count;
}

// A 65536-entry table of 16-bit samples, 32 at a time, by two gathers of
// sixteen 32-bit reads at 2 x sample: each read's low half is the entry.
// The read for the top sample would pass the table's end by two bytes: its
// lanes are masked off and take the last entry instead.
LUMVEK_AVX512VBMI inline __m256i lookup16(__m512i samples, const uint16_t* table, __m512i last) {
    const __m512i top = _mm512_set1_epi32(0xFFFF);
    const __mmask16 inside = _mm512_cmpneq_epi32_mask(samples, top);
    return _mm512_cvtepi32_epi16(_mm512_mask_i32gather_epi32(last, inside, samples, table, 2));
}

LUMVEK_AVX512VBMI int lookupRow16Avx512(uint16_t* row, int count, const uint16_t* table, bool keepFourth) {
    constexpr int kWords = 32;
    // Words 3, 7, ... of 8-byte pixels: the fourth component, kept.
    constexpr __mmask32 kFourthWords = 0x88888888u;
    const __m512i last = _mm512_set1_epi32(table[0xFFFF]);
    int i = 0;
    for (; i < count; i += kWords) {
        const int left = count - i;
        const __mmask32 lanes = left >= kWords ? ~__mmask32{0} : (__mmask32{1} << left) - 1;
        const __m512i words = _mm512_maskz_loadu_epi16(lanes, row + i);
        const __m256i low = lookup16(_mm512_cvtepu16_epi32(_mm512_castsi512_si256(words)), table, last);
        const __m256i high = lookup16(_mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(words, 1)), table, last);
        const __m512i looked = _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
        // i is a multiple of 32, so the fourth-word positions stay in step.
        _mm512_mask_storeu_epi16(row + i, keepFourth ? lanes & ~kFourthWords : lanes, looked);
    }
    return count;
}

} // namespace
#endif

bool lookupRows16Avx512(const PlaneView& image, const uint16_t* table, int y0, int y1) {
#if defined(__x86_64__)
    if (!cpuFeatures().avx512vbmi || (image.bytesPerPixel != 2 && image.bytesPerPixel != 6 && image.bytesPerPixel != 8)) {
        return false;
    }
    const bool keepFourth = image.bytesPerPixel == 8;
    const int count = image.width * image.bytesPerPixel / 2;
    for (int y = y0; y < y1; ++y) {
        (void)lookupRow16Avx512(image.row16(y), count, table, keepFourth);
    }
    return true;
#else
    (void)image, (void)table, (void)y0, (void)y1;
    return false;
#endif
}

bool lookupRows8Avx512(const PlaneView& image, const uint8_t* table, int y0, int y1) {
#if defined(__x86_64__)
    return cpuFeatures().avx512vbmi &&
           forEachRow8(
               image, y0, y1,
               [table](uint8_t* row, int count, bool keepFourth) {
                   return lookupRow8Avx512(row, count, table, keepFourth);
               },
               [table](uint8_t& s) { s = table[s]; });
#else
    (void)image, (void)table, (void)y0, (void)y1;
    return false;
#endif
}

} // namespace lumvek::detail
