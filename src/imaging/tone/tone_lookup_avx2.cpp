// An 8-bit tone table applied 32 samples at a time (byte_table_avx2.h).
#include <immintrin.h>

#include <cstdint>

#include "imaging/pipeline/kernel_path.h"
#include "imaging/tone/byte_table_avx2.h"
#include "imaging/tone/sample_rows.h"
#include "imaging/tone/tone_tables.h"

namespace lumvek::detail {

#if defined(__x86_64__)
namespace {

__attribute__((target("avx2"))) int lookupRow8Avx2(uint8_t* row, int count, const uint8_t* table, bool keepFourth) {
    const ByteTableAvx2 entries(table);
    const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    int i = 0;
    for (; i + 32 <= count; i += 32) {
        const __m256i samples = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + i));
        __m256i looked = lookUpBytes(samples, entries);
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
