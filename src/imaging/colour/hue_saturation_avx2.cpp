// The hue/saturation transform eight pixels at a time in 32-bit lanes: the
// same integer steps as hueSaturationPixel, branches turned into blends. The
// chroma limit is computed with the table's own formula, the six-entry
// sextant tables are read by lane permutes, and the reciprocal 0xFF0000 / d
// is a single-precision division, which is exact here and several times
// cheaper than a gather from the table: 0xFF0000 < 2^24 and d are exact
// floats, the rounding error of the quotient is under (0xFF0000 / d) x 2^-24
// < 1 / d, and a quotient that is not whole lies at least 1 / d from the
// next whole number, so truncating it gives the integer quotient. Three-byte pixels are spread into lanes and packed back
// with byte shuffles. A pixel with d = 0 needs no blend: its n, k and w are
// 0, so the hue step adds nothing, as in the scalar code.
#include <immintrin.h>

#include <cstdint>

#include "imaging/colour/hue_saturation.h"
#include "imaging/pipeline/kernel_path.h"
#include "imaging/tone/byte_table_avx2.h"

namespace lumvek::detail {

#if defined(__x86_64__)
namespace {

#define LUMVEK_AVX2 __attribute__((target("avx2")))
// The helpers are folded into the row loop: called, they pass their vectors through memory.
#define LUMVEK_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

LUMVEK_AVX2_INLINE __m256i grey8(__m256i n) { return _mm256_mullo_epi32(n, _mm256_set1_epi32(0x010101)); }

// The sextant tables repeat after six entries: one lane permute reads them.
LUMVEK_AVX2_INLINE __m256i sextantTable(const int32_t* table) {
    return _mm256_setr_epi32(table[0], table[1], table[2], table[3], table[4], table[5], 0, 0);
}

// 0xFF0000 / d for d = 1..255; d = 0 (every lane with n = 0) is read as 1.
LUMVEK_AVX2_INLINE __m256i reciprocalOf(__m256i d) {
    const __m256 divisor = _mm256_cvtepi32_ps(_mm256_max_epi32(d, _mm256_set1_epi32(1)));
    return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_set1_ps(static_cast<float>(0xFF0000)), divisor));
}

LUMVEK_AVX2_INLINE __m256i transform8(__m256i b, __m256i g, __m256i r, int a, int saturation) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i maxRg = _mm256_max_epi32(r, g);
    const __m256i maxC = _mm256_max_epi32(maxRg, b);
    const __m256i minC = _mm256_min_epi32(_mm256_min_epi32(r, g), b);
    const __m256i d = _mm256_sub_epi32(maxC, minC);
    const __m256i lightness = _mm256_add_epi32(maxC, minC);
    // base 5 when b > max(r, g); else base 1 when r >= g; else base 3.
    const __m256i blueLeads = _mm256_cmpgt_epi32(b, maxRg);
    const __m256i redOverGreen = _mm256_cmpgt_epi32(g, r);  // r < g
    __m256i base = _mm256_blendv_epi8(_mm256_set1_epi32(1), _mm256_set1_epi32(3), redOverGreen);
    __m256i n = _mm256_blendv_epi8(_mm256_sub_epi32(g, b), _mm256_sub_epi32(b, r), redOverGreen);
    base = _mm256_blendv_epi8(base, _mm256_set1_epi32(5), blueLeads);
    n = _mm256_blendv_epi8(n, _mm256_sub_epi32(r, g), blueLeads);
    const __m256i negative = _mm256_cmpgt_epi32(zero, n);
    base = _mm256_add_epi32(base, negative);  // -1 where negative
    n = _mm256_add_epi32(n, _mm256_and_si256(d, negative));

    // chroma(d) = ((saturation + 256) * 256 * d + 0x8000) >> 16, as the table holds it.
    const __m256i chroma = _mm256_srai_epi32(
        _mm256_add_epi32(_mm256_mullo_epi32(d, _mm256_set1_epi32((saturation + 256) * 256)), _mm256_set1_epi32(0x8000)),
        16);
    const __m256i k =
        _mm256_min_epi32(_mm256_min_epi32(lightness, _mm256_sub_epi32(_mm256_set1_epi32(511), lightness)), chroma);
    const __m256i low = _mm256_srai_epi32(_mm256_sub_epi32(lightness, k), 1);
    const __m256i high = _mm256_srai_epi32(_mm256_add_epi32(lightness, k), 1);
    __m256i u = grey8(low);

    const __m256i recip = reciprocalOf(d);
    const __m256i v = _mm256_add_epi32(
        _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(n, recip), _mm256_set1_epi32(0x8000)), 16),
        _mm256_set1_epi32(a % 255));
    const __m256i wraps = _mm256_cmpgt_epi32(v, _mm256_set1_epi32(254));
    const __m256i index = _mm256_sub_epi32(_mm256_add_epi32(base, _mm256_set1_epi32(a / 255)), wraps);
    const __m256i f = _mm256_sub_epi32(v, _mm256_and_si256(wraps, _mm256_set1_epi32(255)));
    const __m256i w = _mm256_sub_epi32(high, low);
    const __m256i sextant =
        _mm256_sub_epi32(index, _mm256_and_si256(_mm256_cmpgt_epi32(index, _mm256_set1_epi32(5)), _mm256_set1_epi32(6)));
    const __m256i mask = _mm256_permutevar8x32_epi32(sextantTable(kSextantMasks), sextant);
    const __m256i step = _mm256_permutevar8x32_epi32(sextantTable(kSextantSteps), sextant);
    // w <= 255 and f <= 254 in lanes whose high halves are 0: a 16-bit
    // multiply gives the whole product (< 2^16) for half the cost.
    const __m256i amount =
        _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi16(w, f), _mm256_set1_epi32(128)), 8);
    u = _mm256_add_epi32(u, _mm256_add_epi32(_mm256_and_si256(grey8(w), mask), _mm256_mullo_epi32(amount, step)));
    return _mm256_and_si256(u, _mm256_set1_epi32(0xFFFFFF));
}

// Eight 3-byte pixels (24 bytes of a 32-byte load) spread into 32-bit lanes
// as b | g << 8 | r << 16, and the reverse.
LUMVEK_AVX2_INLINE __m256i spreadPixels(const uint8_t* p) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    // Low half: bytes 0..15; high half: bytes 12..27.
    const __m256i halves = _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 1, 2, 3, 3, 4, 5, 6));
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                            0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    return _mm256_shuffle_epi8(halves, spread);
}

LUMVEK_AVX2_INLINE void packPixels(uint8_t* p, __m256i lanes) {
    const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,  //
                                          0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i packed =
        _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(lanes, pack), _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), _mm256_extracti128_si256(packed, 1));
}

// Eight 6-byte pixels (16-bit samples; the transform reads the high bytes)
// into lanes, and back with each sample's low byte 0. The lanes take the
// pixels in the order 0-3 | 4-7, each 128-bit half from its own 24 bytes.
LUMVEK_AVX2_INLINE __m256i spreadWidePixels(const uint8_t* p) {
    const __m256i head = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 24),
                                             reinterpret_cast<const __m128i*>(p));  // bytes 0..15 of each 24
    const __m256i tail = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 32),
                                             reinterpret_cast<const __m128i*>(p + 8));  // bytes 8..23 of each 24
    const __m256i fromHead = _mm256_setr_epi8(1, 3, 5, -1, 7, 9, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
                                              1, 3, 5, -1, 7, 9, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i fromTail = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 5, 7, 9, -1, 11, 13, 15, -1,  //
                                              -1, -1, -1, -1, -1, -1, -1, -1, 5, 7, 9, -1, 11, 13, 15, -1);
    return _mm256_or_si256(_mm256_shuffle_epi8(head, fromHead), _mm256_shuffle_epi8(tail, fromTail));
}

LUMVEK_AVX2_INLINE void packWidePixels(uint8_t* p, __m256i lanes) {
    const __m256i toHead = _mm256_setr_epi8(-1, 0, -1, 1, -1, 2, -1, 4, -1, 5, -1, 6, -1, 8, -1, 9,  //
                                            -1, 0, -1, 1, -1, 2, -1, 4, -1, 5, -1, 6, -1, 8, -1, 9);
    const __m256i toTail = _mm256_setr_epi8(-1, 10, -1, 12, -1, 13, -1, 14, -1, -1, -1, -1, -1, -1, -1, -1,  //
                                            -1, 10, -1, 12, -1, 13, -1, 14, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i head = _mm256_shuffle_epi8(lanes, toHead);
    const __m256i tail = _mm256_shuffle_epi8(lanes, toTail);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(head));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), _mm256_castsi256_si128(tail));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 24), _mm256_extracti128_si256(head, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 40), _mm256_extracti128_si256(tail, 1));
}

// Eight 8-byte pixels into lanes in the order 0 1 4 5 | 2 3 6 7, and back
// with the fourth sample 0.
LUMVEK_AVX2_INLINE __m256i spreadWideQuadPixels(const uint8_t* p) {
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    const __m256i toLow = _mm256_setr_epi8(1, 3, 5, -1, 9, 11, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
                                           1, 3, 5, -1, 9, 11, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i toHigh = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 1, 3, 5, -1, 9, 11, 13, -1,  //
                                            -1, -1, -1, -1, -1, -1, -1, -1, 1, 3, 5, -1, 9, 11, 13, -1);
    return _mm256_or_si256(_mm256_shuffle_epi8(first, toLow), _mm256_shuffle_epi8(second, toHigh));
}

LUMVEK_AVX2_INLINE void packWideQuadPixels(uint8_t* p, __m256i lanes) {
    const __m256i fromLow = _mm256_setr_epi8(-1, 0, -1, 1, -1, 2, -1, -1, -1, 4, -1, 5, -1, 6, -1, -1,  //
                                             -1, 0, -1, 1, -1, 2, -1, -1, -1, 4, -1, 5, -1, 6, -1, -1);
    const __m256i fromHigh = _mm256_setr_epi8(-1, 8, -1, 9, -1, 10, -1, -1, -1, 12, -1, 13, -1, 14, -1, -1,  //
                                              -1, 8, -1, 9, -1, 10, -1, -1, -1, 12, -1, 13, -1, 14, -1, -1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm256_shuffle_epi8(lanes, fromLow));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 32), _mm256_shuffle_epi8(lanes, fromHigh));
}

// Eight 6-byte pixels from lanes of high bytes and lanes of low bytes: the
// shuffles of packWidePixels, and the same one byte lower for the low bytes.
LUMVEK_AVX2_INLINE void packWidePixels(uint8_t* p, __m256i high, __m256i low) {
    const __m256i highHead = _mm256_setr_epi8(-1, 0, -1, 1, -1, 2, -1, 4, -1, 5, -1, 6, -1, 8, -1, 9,  //
                                              -1, 0, -1, 1, -1, 2, -1, 4, -1, 5, -1, 6, -1, 8, -1, 9);
    const __m256i lowHead = _mm256_setr_epi8(0, -1, 1, -1, 2, -1, 4, -1, 5, -1, 6, -1, 8, -1, 9, -1,  //
                                             0, -1, 1, -1, 2, -1, 4, -1, 5, -1, 6, -1, 8, -1, 9, -1);
    const __m256i highTail = _mm256_setr_epi8(-1, 10, -1, 12, -1, 13, -1, 14, -1, -1, -1, -1, -1, -1, -1, -1,  //
                                              -1, 10, -1, 12, -1, 13, -1, 14, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i lowTail = _mm256_setr_epi8(10, -1, 12, -1, 13, -1, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
                                             10, -1, 12, -1, 13, -1, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i head = _mm256_or_si256(_mm256_shuffle_epi8(high, highHead), _mm256_shuffle_epi8(low, lowHead));
    const __m256i tail = _mm256_or_si256(_mm256_shuffle_epi8(high, highTail), _mm256_shuffle_epi8(low, lowTail));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(head));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), _mm256_castsi256_si128(tail));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 24), _mm256_extracti128_si256(head, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 40), _mm256_extracti128_si256(tail, 1));
}

// Eight 8-byte pixels (lanes 0 1 4 5 | 2 3 6 7) from high and low bytes, the fourth sample 0.
LUMVEK_AVX2_INLINE void packWideQuadPixels(uint8_t* p, __m256i high, __m256i low) {
    const __m256i fromLow = _mm256_setr_epi8(-1, 0, -1, 1, -1, 2, -1, -1, -1, 4, -1, 5, -1, 6, -1, -1,  //
                                             -1, 0, -1, 1, -1, 2, -1, -1, -1, 4, -1, 5, -1, 6, -1, -1);
    const __m256i fromHigh = _mm256_setr_epi8(-1, 8, -1, 9, -1, 10, -1, -1, -1, 12, -1, 13, -1, 14, -1, -1,  //
                                              -1, 8, -1, 9, -1, 10, -1, -1, -1, 12, -1, 13, -1, 14, -1, -1);
    const __m256i lowFromLow = _mm256_setr_epi8(0, -1, 1, -1, 2, -1, -1, -1, 4, -1, 5, -1, 6, -1, -1, -1,  //
                                                0, -1, 1, -1, 2, -1, -1, -1, 4, -1, 5, -1, 6, -1, -1, -1);
    const __m256i lowFromHigh = _mm256_setr_epi8(8, -1, 9, -1, 10, -1, -1, -1, 12, -1, 13, -1, 14, -1, -1, -1,  //
                                                 8, -1, 9, -1, 10, -1, -1, -1, 12, -1, 13, -1, 14, -1, -1, -1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p),
                        _mm256_or_si256(_mm256_shuffle_epi8(high, fromLow), _mm256_shuffle_epi8(low, lowFromLow)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 32),
                        _mm256_or_si256(_mm256_shuffle_epi8(high, fromHigh), _mm256_shuffle_epi8(low, lowFromHigh)));
}

LUMVEK_AVX2_INLINE __m256i loadPixels(const uint8_t* p, int bpp) {
    switch (bpp) {
    case 3: return spreadPixels(p);
    case 6: return spreadWidePixels(p);
    case 8: return spreadWideQuadPixels(p);
    default: return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
}

LUMVEK_AVX2_INLINE void storePixels(uint8_t* p, int bpp, __m256i lanes) {
    switch (bpp) {
    case 3: packPixels(p, lanes); break;
    case 6: packWidePixels(p, lanes); break;
    case 8: packWideQuadPixels(p, lanes); break;
    default: _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), lanes); break;  // fourth byte 0
    }
}

// The transformed lanes through the tone bytes, stored: 8-bit samples take
// the table's low bytes; 16-bit ones (whose low byte the transform leaves 0)
// take both, the high bytes for the upper half of each sample.
LUMVEK_AVX2_INLINE void storeToned(uint8_t* p, int bpp, __m256i lanes, const ByteTableAvx2& low, const ByteTableAvx2& high) {
    switch (bpp) {
    case 3: packPixels(p, lookUpBytes(lanes, low)); break;
    case 4:
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p),
                            _mm256_and_si256(lookUpBytes(lanes, low), _mm256_set1_epi32(0xFFFFFF)));  // fourth byte 0
        break;
    default: {
        __m256i lowBytes, highBytes;
        lookUpBytesInBoth(lanes, low, high, lowBytes, highBytes);
        if (bpp == 6) {
            packWidePixels(p, highBytes, lowBytes);
        } else {
            packWideQuadPixels(p, highBytes, lowBytes);
        }
        break;
    }
    }
}

template <bool kTone, int bpp>
LUMVEK_AVX2 int rowAvx2(uint8_t* row, int width, int a, const HueSaturationTables& tables, const HueToneBytes* tone) {
    const int saturation = tables.saturation();
    const __m256i byteMask = _mm256_set1_epi32(0xFF);
    static constexpr uint8_t kUnused[256] = {};
    const ByteTableAvx2 low(kTone ? tone->low.data() : kUnused);
    const ByteTableAvx2 high(kTone ? tone->high.data() : kUnused);
    // A run of 3-byte pixels is read with a 32-byte load: 8 bytes past them.
    const int last = bpp == 3 ? width - 11 : width - 8;
    int x = 0;
    for (; x <= last; x += 8) {
        uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * bpp;
        const __m256i px = loadPixels(p, bpp);
        const __m256i b = _mm256_and_si256(px, byteMask);
        const __m256i g = _mm256_and_si256(_mm256_srli_epi32(px, 8), byteMask);
        const __m256i r = _mm256_and_si256(_mm256_srli_epi32(px, 16), byteMask);
        const __m256i lanes = transform8(b, g, r, a, saturation);
        if constexpr (kTone) {
            storeToned(p, bpp, lanes, low, high);
        } else {
            storePixels(p, bpp, lanes);
        }
    }
    return x;
}

} // namespace
#endif

int hueSaturationRowAvx2(uint8_t* row, int width, int bytesPerPixel, int hueOffset, const HueSaturationTables& tables,
                         const HueToneBytes* tone) {
#if defined(__x86_64__)
    if (cpuFeatures().avx2 && (bytesPerPixel == 3 || bytesPerPixel == 4 || bytesPerPixel == 6 || bytesPerPixel == 8)) {
        switch (bytesPerPixel * (tone != nullptr ? -1 : 1)) {
        case 3: return rowAvx2<false, 3>(row, width, hueOffset, tables, nullptr);
        case 4: return rowAvx2<false, 4>(row, width, hueOffset, tables, nullptr);
        case 6: return rowAvx2<false, 6>(row, width, hueOffset, tables, nullptr);
        case 8: return rowAvx2<false, 8>(row, width, hueOffset, tables, nullptr);
        case -3: return rowAvx2<true, 3>(row, width, hueOffset, tables, tone);
        case -4: return rowAvx2<true, 4>(row, width, hueOffset, tables, tone);
        case -6: return rowAvx2<true, 6>(row, width, hueOffset, tables, tone);
        default: return rowAvx2<true, 8>(row, width, hueOffset, tables, tone);
        }
    }
#else
    (void)row, (void)width, (void)bytesPerPixel, (void)hueOffset, (void)tables, (void)tone;
#endif
    return 0;
}

} // namespace lumvek::detail
