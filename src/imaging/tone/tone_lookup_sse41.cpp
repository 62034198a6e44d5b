// An 8-bit tone table applied sixteen samples at a time with byte shuffles,
// for processors without AVX2. Slice k of the table holds the sixteen
// entries of the samples whose high nibble is k. The registers hold each
// slice XOR-ed with the one before it (slices 0 and 8 as they are). A
// sample's low seven bits less 16 k keep its low nibble and have the top
// bit clear (so that the shuffle reads the slice rather than giving 0)
// exactly for k up to its high nibble modulo 8: the XOR of the shuffles of
// slices 0..7 telescopes to the sample's slice for the samples below 128,
// the XOR of those of slices 8..15 for the others, and the sample's top bit
// picks between the two.
#include <immintrin.h>

#include <cstdint>

#include "imaging/pipeline/kernel_path.h"
#include "imaging/tone/sample_rows.h"
#include "imaging/tone/tone_tables.h"

namespace lumvek::detail {

#if defined(__x86_64__)
namespace {

#define LUMVEK_SSE41 __attribute__((target("sse4.1,ssse3")))

LUMVEK_SSE41 int lookupRow8Sse41(uint8_t* row, int count, const uint8_t* table, bool keepFourth) {
    __m128i slices[16];
    for (int k = 0; k < 16; ++k) {
        slices[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 16 * k));
    }
    __m128i differences[16];
    for (int k = 0; k < 16; ++k) {
        differences[k] = k % 8 == 0 ? slices[k] : _mm_xor_si128(slices[k], slices[k - 1]);
    }
    const __m128i sliceStep = _mm_set1_epi8(16);
    const __m128i lowSeven = _mm_set1_epi8(0x7F);
    const __m128i fourth = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i samples = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
        // The sample without its top bit reads both halves: s for the
        // samples below 128, s - 128 for the others.
        __m128i rest = _mm_and_si128(samples, lowSeven);
        __m128i below = _mm_setzero_si128();  // samples 0..127
        __m128i above = _mm_setzero_si128();  // samples 128..255
#pragma GCC unroll 8
        for (int k = 0; k < 8; ++k) {
            below = _mm_xor_si128(below, _mm_shuffle_epi8(differences[k], rest));
            above = _mm_xor_si128(above, _mm_shuffle_epi8(differences[k + 8], rest));
            rest = _mm_sub_epi8(rest, sliceStep);
        }
        __m128i looked = _mm_blendv_epi8(below, above, samples);
        if (keepFourth) {
            looked = _mm_blendv_epi8(looked, samples, fourth);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), looked);
    }
    return i;
}

} // namespace
#endif

bool lookupRows8Sse41(const PlaneView& image, const uint8_t* table, int y0, int y1) {
#if defined(__x86_64__)
    return cpuFeatures().sse41 &&
           forEachRow8(
               image, y0, y1,
               [table](uint8_t* row, int count, bool keepFourth) {
                   return lookupRow8Sse41(row, count, table, keepFourth);
               },
               [table](uint8_t& s) { s = table[s]; });
#else
    (void)image, (void)table, (void)y0, (void)y1;
    return false;
#endif
}

} // namespace lumvek::detail
