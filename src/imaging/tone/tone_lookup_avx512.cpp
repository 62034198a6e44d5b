// An 8-bit tone table applied 64 samples at a time with AVX-512 VBMI: the
// 256 entries are four 64-byte registers; one two-register byte permute
// answers the samples below 128 from the first two, another the samples
// from 128 up from the last two (the permute reads the low seven bits of
// each index), and the sample's top bit picks between them. The end of a
// row is a masked load and store, so no sample is left to the scalar code.
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

} // namespace
#endif

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
