#include "sim/models/level_rows.h"

#include <immintrin.h>

namespace lumvek::sim {

namespace {

constexpr size_t kLanes = 64;
constexpr int kTableBytes = 256;
constexpr uint64_t kOddLanes = 0xAAAAAAAAAAAAAAAAull;

#define LUMVEK_TARGET_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))

// 64 samples through one 256-level table held in four registers: two
// 128-entry lookups, chosen by each sample's top bit.
LUMVEK_TARGET_VBMI inline __m512i lookup(__m512i samples, __mmask64 top, const __m512i (&table)[4]) {
    const __m512i low = _mm512_permutex2var_epi8(table[0], samples, table[1]);
    const __m512i high = _mm512_permutex2var_epi8(table[2], samples, table[3]);
    return _mm512_mask_blend_epi8(top, low, high);
}

LUMVEK_TARGET_VBMI size_t transformVbmi(const uint8_t* from, uint8_t* to, size_t width, const uint8_t* even,
                                        const uint8_t* odd, bool reversed) {
    __m512i evenTable[4];
    __m512i oddTable[4];
    for (int i = 0; i < 4; ++i) {
        evenTable[i] = _mm512_loadu_si512(even + i * kLanes);
        oddTable[i] = _mm512_loadu_si512(odd + i * kLanes);
    }
    alignas(64) uint8_t backwards[kLanes];
    for (size_t i = 0; i < kLanes; ++i) {
        backwards[i] = static_cast<uint8_t>(kLanes - 1 - i);
    }
    const __m512i reverse = _mm512_load_si512(backwards);
    size_t x = 0;
    for (; x + kLanes <= width; x += kLanes) {
        const __m512i samples = _mm512_loadu_si512(from + x);
        const __mmask64 top = _mm512_movepi8_mask(samples);
        // x is even: lane i holds place x + i, odd exactly when i is.
        __m512i out = _mm512_mask_blend_epi8(kOddLanes, lookup(samples, top, evenTable), lookup(samples, top, oddTable));
        if (reversed) {
            _mm512_storeu_si512(to + width - kLanes - x, _mm512_maskz_permutexvar_epi8(~__mmask64{0}, reverse, out));
        } else {
            _mm512_storeu_si512(to + x, out);
        }
    }
    return x;
}

bool haveVbmi() {
    static const bool have = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                             __builtin_cpu_supports("avx512vbmi");
    return have;
}

} // namespace

size_t transformRow8Wide(const uint8_t* from, uint8_t* to, size_t width, const uint8_t* even, const uint8_t* odd,
                         bool reversed) {
    static_assert(kTableBytes == 4 * kLanes);
    return haveVbmi() ? transformVbmi(from, to, width, even, odd, reversed) : 0;
}

} // namespace lumvek::sim
