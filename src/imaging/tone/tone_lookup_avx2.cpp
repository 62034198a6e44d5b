// An 8-bit tone table applied 32 samples at a time. The 256 entries are
// sixteen 16-entry slices; slice k answers the samples whose high nibble is
// k. Subtracting 16 k and adding 0x70 with unsigned saturation leaves a
// sample of slice k at 0x70..0x7F (low nibble = its index in the slice) and
// drives every other sample to 0x80 or above, which the byte shuffle turns
// into 0, so OR-ing the sixteen shuffles gives each sample its entry.
#include <immintrin.h>

#include <cstdint>

#include "imaging/pipeline/kernel_path.h"
#include "imaging/tone/sample_rows.h"
#include "imaging/tone/tone_tables.h"

namespace lumvek::detail {

#if defined(__x86_64__)
namespace {

__attribute__((target("avx2"))) int lookupRow8Avx2(uint8_t* row, int count, const uint8_t* table, bool keepFourth) {
    __m256i slices[16];
    for (int k = 0; k < 16; ++k) {
        slices[k] = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 16 * k)));
    }
    const __m256i bias = _mm256_set1_epi8(0x70);
    const __m256i sliceStep = _mm256_set1_epi8(16);
    const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    int i = 0;
    for (; i + 32 <= count; i += 32) {
        const __m256i samples = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + i));
        __m256i rest = samples;
        __m256i looked = _mm256_setzero_si256();
        for (int k = 0; k < 16; ++k) {
            looked = _mm256_or_si256(looked, _mm256_shuffle_epi8(slices[k], _mm256_adds_epu8(rest, bias)));
            rest = _mm256_sub_epi8(rest, sliceStep);
        }
        if (keepFourth) {
            looked = _mm256_blendv_epi8(looked, samples, fourth);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + i), looked);
    }
    return i;
}

} // namespace
#endif

bool lookupRows8Avx2(const PlaneView& image, const uint8_t* table, int y0, int y1) {
#if defined(__x86_64__)
    return cpuFeatures().avx2 &&
           forEachRow8(
               image, y0, y1,
               [table](uint8_t* row, int count, bool keepFourth) { return lookupRow8Avx2(row, count, table, keepFourth); },
               [table](uint8_t& s) { s = table[s]; });
#else
    (void)image, (void)table, (void)y0, (void)y1;
    return false;
#endif
}

} // namespace lumvek::detail
