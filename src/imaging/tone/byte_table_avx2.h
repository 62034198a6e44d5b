#pragma once
// A 256-entry byte table applied to the 32 bytes of an AVX2 register. The
// entries are sixteen 16-entry slices; a byte shuffle of each slice by the
// bytes' low nibbles gives the sixteen candidates of every byte, and the
// high nibble picks one. Bit 4 picks within each pair of slices for free: a
// shuffle gives 0 where bit 7 of its index byte is set, so the even slice is
// shuffled by the nibble with bit 7 set where bit 4 is, the odd one by the
// nibble with bit 7 set where bit 4 is not, and the two are OR-ed. Blends
// pick among the pairs by bits 5, 6 and 7 (a blend reads bit 7 of each mask
// byte, so the byte shifted left brings each bit there in turn). Seven
// blends per register, where a blend at every level takes fifteen, and
// subtracting 16 for each slice and OR-ing the shuffles takes 64 operations.
//
// For translation units that build their AVX2 functions with the target
// attribute: every function here is inlined into its caller.
#if defined(__x86_64__)
#include <immintrin.h>

#include <cstdint>

namespace lumvek::detail {

#define LUMVEK_BYTE_TABLE_AVX2 __attribute__((target("avx2"), always_inline)) inline

struct ByteTableAvx2 {
    __m256i slices[16];
    LUMVEK_BYTE_TABLE_AVX2 explicit ByteTableAvx2(const uint8_t* entries) {
        for (int k = 0; k < 16; ++k) {
            slices[k] = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(entries + 16 * k)));
        }
    }
};

// The shuffle indices of the even and odd slice of each pair, and the
// high-nibble bits 5-7 of each byte at bit 7 for the blends of the levels
// above.
struct NibbleSelect {
    __m256i evenSlice, oddSlice, bit5, bit6, bit7;
    LUMVEK_BYTE_TABLE_AVX2 explicit NibbleSelect(__m256i bytes)
        : evenSlice(_mm256_or_si256(_mm256_and_si256(bytes, _mm256_set1_epi8(0x0F)),
                                    _mm256_and_si256(_mm256_slli_epi16(bytes, 3), _mm256_set1_epi8(-128)))),
          oddSlice(_mm256_xor_si256(evenSlice, _mm256_set1_epi8(-128))), bit5(_mm256_slli_epi16(bytes, 2)),
          bit6(_mm256_slli_epi16(bytes, 1)), bit7(bytes) {}
};

// Each pair of slices is shuffled and OR-ed at once, so that few
// candidates are live at a time.
LUMVEK_BYTE_TABLE_AVX2 __m256i lookUpWith(const ByteTableAvx2& table, const NibbleSelect& select) {
    __m256i pairs[8];
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j) {
        pairs[j] = _mm256_or_si256(_mm256_shuffle_epi8(table.slices[2 * j], select.evenSlice),
                                   _mm256_shuffle_epi8(table.slices[2 * j + 1], select.oddSlice));
    }
    __m256i quads[4];
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) {
        quads[j] = _mm256_blendv_epi8(pairs[2 * j], pairs[2 * j + 1], select.bit5);
    }
    const __m256i low = _mm256_blendv_epi8(quads[0], quads[1], select.bit6);
    const __m256i high = _mm256_blendv_epi8(quads[2], quads[3], select.bit6);
    return _mm256_blendv_epi8(low, high, select.bit7);
}

LUMVEK_BYTE_TABLE_AVX2 __m256i lookUpBytes(__m256i bytes, const ByteTableAvx2& table) {
    return lookUpWith(table, NibbleSelect(bytes));
}

// Two tables over the same bytes, sharing the nibbles and the blend masks.
LUMVEK_BYTE_TABLE_AVX2 void lookUpBytesInBoth(__m256i bytes, const ByteTableAvx2& first, const ByteTableAvx2& second,
                                              __m256i& a, __m256i& b) {
    const NibbleSelect select(bytes);
    a = lookUpWith(first, select);
    b = lookUpWith(second, select);
}

#undef LUMVEK_BYTE_TABLE_AVX2

} // namespace lumvek::detail
#endif
