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
//
// Most rows go 16 or 32 pixels at a time in 16-bit lanes first (3- and
// 4-byte pixels without a tone table, 6-byte ones, 8-byte ones with a
// table): every quantity of the transform but the quotient's product fits a
// 16-bit lane, the chroma limit is one rounding high multiply, and the
// sextant's masks and signs are read per component by byte shuffles. The
// 32-bit body takes what they leave, and the other rows.
#include <immintrin.h>

#include <array>
#include <cstdint>

#include "imaging/colour/hue_saturation.h"
#include "imaging/colour/hue_saturation_lanes.h"
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

// Sixteen bytes in both 128-bit halves.
LUMVEK_AVX2_INLINE __m256i lanesOf(const std::array<int8_t, 16>& bytes) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data())));
}

// ((n x (0xFF0000 / d)) + 0x8000) >> 16 for 0 <= n <= d <= 255, so at most
// 255: the product needs 32-bit lanes, taken from each half's low and high
// four lanes and packed back in order.
LUMVEK_AVX2_INLINE __m256i quotient8(__m256i n32, __m256i d32) {
    return _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi32(n32, reciprocalOf(d32)), _mm256_set1_epi32(0x8000)),
                             16);
}

LUMVEK_AVX2_INLINE __m256i quotient16(__m256i n, __m256i d) {
    const __m256i zero = _mm256_setzero_si256();
    return _mm256_packus_epi32(quotient8(_mm256_unpacklo_epi16(n, zero), _mm256_unpacklo_epi16(d, zero)),
                               quotient8(_mm256_unpackhi_epi16(n, zero), _mm256_unpackhi_epi16(d, zero)));
}

// Component c of the result: low, plus w where the sextant's mask has c,
// plus or minus the amount where its step moves c.
LUMVEK_AVX2_INLINE __m256i componentOf(size_t c, __m256i low, __m256i w, __m256i amount, __m256i control,
                                       const SextantBytes& sextant) {
    const __m256i masked = _mm256_and_si256(w, _mm256_shuffle_epi8(lanesOf(sextant.mask[c]), control));
    const __m256i step = _mm256_sign_epi16(amount, _mm256_shuffle_epi8(lanesOf(sextant.sign[c]), control));
    return _mm256_add_epi16(_mm256_add_epi16(low, masked), step);
}

// Sixteen pixels in 16-bit lanes, b, g and r each in 0..255, transformed in place.
//
// ((s + 256) x 256 x d + 0x8000) >> 16 is (d << 7) x (s + 256) rounded at
// bit 15, which is what mulhrs computes; d << 7 <= 32640 and s + 256 <= 511.
// w x f <= 255 x 254 and the rounded amount fit an unsigned lane.
LUMVEK_AVX2_INLINE void transform16(__m256i& b, __m256i& g, __m256i& r, int a, int saturation,
                                    const SextantBytes& sextant) {
    const int turns = a / 255;
    const __m256i maxRg = _mm256_max_epi16(r, g);
    const __m256i maxC = _mm256_max_epi16(maxRg, b);
    const __m256i minC = _mm256_min_epi16(_mm256_min_epi16(r, g), b);
    const __m256i d = _mm256_sub_epi16(maxC, minC);
    const __m256i lightness = _mm256_add_epi16(maxC, minC);
    // The sextant index starts at base + a / 255: base 5 when b > max(r, g);
    // else base 1 when r >= g; else base 3.
    const __m256i blueLeads = _mm256_cmpgt_epi16(b, maxRg);
    const __m256i greenOverRed = _mm256_cmpgt_epi16(g, r);
    __m256i index = _mm256_blendv_epi8(_mm256_set1_epi16(static_cast<int16_t>(1 + turns)),
                                       _mm256_set1_epi16(static_cast<int16_t>(3 + turns)), greenOverRed);
    __m256i n = _mm256_blendv_epi8(_mm256_sub_epi16(g, b), _mm256_sub_epi16(b, r), greenOverRed);
    index = _mm256_blendv_epi8(index, _mm256_set1_epi16(static_cast<int16_t>(5 + turns)), blueLeads);
    n = _mm256_blendv_epi8(n, _mm256_sub_epi16(r, g), blueLeads);
    const __m256i negative = _mm256_srai_epi16(n, 15);
    index = _mm256_add_epi16(index, negative);
    n = _mm256_add_epi16(n, _mm256_and_si256(d, negative));

    const __m256i chroma =
        _mm256_mulhrs_epi16(_mm256_slli_epi16(d, 7), _mm256_set1_epi16(static_cast<int16_t>(saturation + 256)));
    const __m256i k = _mm256_min_epi16(
        _mm256_min_epi16(lightness, _mm256_sub_epi16(_mm256_set1_epi16(511), lightness)), chroma);
    const __m256i low = _mm256_srli_epi16(_mm256_sub_epi16(lightness, k), 1);
    const __m256i w = _mm256_sub_epi16(_mm256_srli_epi16(_mm256_add_epi16(lightness, k), 1), low);

    const __m256i v = _mm256_add_epi16(quotient16(n, d), _mm256_set1_epi16(static_cast<int16_t>(a % 255)));
    const __m256i wraps = _mm256_cmpgt_epi16(v, _mm256_set1_epi16(254));
    index = _mm256_sub_epi16(index, wraps);  // 0..11
    const __m256i f = _mm256_sub_epi16(v, _mm256_and_si256(wraps, _mm256_set1_epi16(255)));
    const __m256i amount =
        _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(w, f), _mm256_set1_epi16(128)), 8);
    // The index in both bytes of its lane: a byte shuffle then reads a
    // table byte into both, 0xFF / 1 / -1 becoming 0xFFFF / 0x0101 / -1.
    const __m256i control = _mm256_mullo_epi16(index, _mm256_set1_epi16(0x0101));
    b = componentOf(0, low, w, amount, control, sextant);
    g = componentOf(1, low, w, amount, control, sextant);
    r = componentOf(2, low, w, amount, control, sextant);
}

// The OR of each register shuffled by its mask.
template <size_t N>
LUMVEK_AVX2_INLINE __m128i gatherChunks(const __m128i* from, const std::array<std::array<int8_t, 16>, N>& masks) {
    __m128i v = _mm_shuffle_epi8(from[0], _mm_loadu_si128(reinterpret_cast<const __m128i*>(masks[0].data())));
    for (size_t k = 1; k < N; ++k) {
        v = _mm_or_si128(v, _mm_shuffle_epi8(from[k], _mm_loadu_si128(reinterpret_cast<const __m128i*>(masks[k].data()))));
    }
    return v;
}

template <size_t N>
LUMVEK_AVX2_INLINE __m256i gatherChunks(const __m256i* from, const std::array<std::array<int8_t, 16>, N>& masks) {
    __m256i v = _mm256_shuffle_epi8(from[0], lanesOf(masks[0]));
    for (size_t k = 1; k < N; ++k) {
        v = _mm256_or_si256(v, _mm256_shuffle_epi8(from[k], lanesOf(masks[k])));
    }
    return v;
}

// Sixteen 16-bit lanes of values 0..255 as sixteen bytes, in order.
LUMVEK_AVX2_INLINE __m128i narrowLanes(__m256i v) {
    return _mm_packus_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

// The row's 3-byte pixels 32 and then 16 at a time; returns the first pixel
// left. Thirty-two pixels are two runs of 48 bytes, one in each 128-bit
// half, split into planes by the same shuffles as sixteen, and into lanes
// 0-7 | 16-23 and 8-15 | 24-31, which the saturating pack puts back in order.
LUMVEK_AVX2 int tripleRowAvx2(uint8_t* row, int width, int a, int saturation) {
    const SextantBytes& sextant = sextantBytes();
    const __m256i zero = _mm256_setzero_si256();
    int x = 0;
    for (; x + 32 <= width; x += 32) {
        uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * 3;
        __m256i chunks[3];
        for (int k = 0; k < 3; ++k) {
            chunks[k] = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 48 + 16 * k),
                                            reinterpret_cast<const __m128i*>(p + 16 * k));
        }
        __m256i planes[3];
        __m256i first[3];
        __m256i second[3];
        for (size_t c = 0; c < 3; ++c) {
            planes[c] = gatherChunks(chunks, kToPlanes[c]);
            first[c] = _mm256_unpacklo_epi8(planes[c], zero);
            second[c] = _mm256_unpackhi_epi8(planes[c], zero);
        }
        transform16(first[0], first[1], first[2], a, saturation, sextant);
        transform16(second[0], second[1], second[2], a, saturation, sextant);
        for (size_t c = 0; c < 3; ++c) {
            planes[c] = _mm256_packus_epi16(first[c], second[c]);
        }
        for (size_t k = 0; k < 3; ++k) {
            _mm256_storeu2_m128i(reinterpret_cast<__m128i*>(p + 48 + 16 * k), reinterpret_cast<__m128i*>(p + 16 * k),
                                 gatherChunks(planes, kToTriples[k]));
        }
    }
    for (; x + 16 <= width; x += 16) {
        uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * 3;
        const __m128i chunks[3] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32))};
        __m256i b = _mm256_cvtepu8_epi16(gatherChunks(chunks, kToPlanes[0]));
        __m256i g = _mm256_cvtepu8_epi16(gatherChunks(chunks, kToPlanes[1]));
        __m256i r = _mm256_cvtepu8_epi16(gatherChunks(chunks, kToPlanes[2]));
        transform16(b, g, r, a, saturation, sextant);
        const __m128i planes[3] = {narrowLanes(b), narrowLanes(g), narrowLanes(r)};
        for (size_t k = 0; k < 3; ++k) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * k), gatherChunks(planes, kToTriples[k]));
        }
    }
    return x;
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

// Sixteen 6- or 8-byte pixels at p: pixels 0-7 in the low halves of the
// chunks, 8-15 in the high ones.
template <int bpp>
LUMVEK_AVX2_INLINE void loadWideChunks(const uint8_t* p, __m256i* chunks) {
    for (int k = 0; k < bpp / 2; ++k) {
        chunks[k] = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 8 * bpp + 16 * k),
                                        reinterpret_cast<const __m128i*>(p + 16 * k));
    }
}

// Sixteen 6- or 8-byte pixels as 16-bit lanes of their components' high bytes, transformed.
struct WideRun {
    __m256i b, g, r;
};

template <int bpp>
LUMVEK_AVX2_INLINE WideRun transformedRun(const uint8_t* p, int a, int saturation, const SextantBytes& sextant) {
    constexpr const WideMasks<bpp / 2>& masks = kWideMasks<bpp / 2>;
    __m256i chunks[bpp / 2];
    loadWideChunks<bpp>(p, chunks);
    WideRun run{gatherChunks(chunks, masks.toPlanes[0]), gatherChunks(chunks, masks.toPlanes[1]),
                gatherChunks(chunks, masks.toPlanes[2])};
    transform16(run.b, run.g, run.r, a, saturation, sextant);
    return run;
}

// Sixteen pixels at p from the 16-bit samples of their components.
template <int bpp>
LUMVEK_AVX2_INLINE void storeWideRun(uint8_t* p, __m256i b, __m256i g, __m256i r) {
    const __m256i words[3] = {b, g, r};
    for (size_t k = 0; k < bpp / 2; ++k) {
        _mm256_storeu2_m128i(reinterpret_cast<__m128i*>(p + 8 * bpp + 16 * k), reinterpret_cast<__m128i*>(p + 16 * k),
                             gatherChunks(words, kWideMasks<bpp / 2>.toPixels[k]));
    }
}

// One component of two runs through the tone bytes: both runs' values share
// the register of the lookups, whose low and high bytes then make the samples.
LUMVEK_AVX2_INLINE void tonedSamples(__m256i first, __m256i second, const ByteTableAvx2& low,
                                     const ByteTableAvx2& high, __m256i& firstWords, __m256i& secondWords) {
    __m256i lowBytes, highBytes;
    lookUpBytesInBoth(_mm256_packus_epi16(first, second), low, high, lowBytes, highBytes);
    firstWords = _mm256_unpacklo_epi8(lowBytes, highBytes);
    secondWords = _mm256_unpackhi_epi8(lowBytes, highBytes);
}

// 6- or 8-byte pixels 32 at a time from x, two runs of sixteen in 16-bit
// lanes; returns the first pixel left.
template <bool kTone, int bpp>
LUMVEK_AVX2 int wideRowAvx2(uint8_t* row, int width, int a, int saturation, const ByteTableAvx2& low,
                            const ByteTableAvx2& high, int x) {
    const SextantBytes& sextant = sextantBytes();
    for (; x + 32 <= width; x += 32) {
        uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * bpp;
        uint8_t* const next = p + 16 * bpp;
        const WideRun first = transformedRun<bpp>(p, a, saturation, sextant);
        const WideRun second = transformedRun<bpp>(next, a, saturation, sextant);
        if constexpr (kTone) {
            __m256i b0, b1, g0, g1, r0, r1;
            tonedSamples(first.b, second.b, low, high, b0, b1);
            tonedSamples(first.g, second.g, low, high, g0, g1);
            tonedSamples(first.r, second.r, low, high, r0, r1);
            storeWideRun<bpp>(p, b0, g0, r0);
            storeWideRun<bpp>(next, b1, g1, r1);
        } else {
            storeWideRun<bpp>(p, _mm256_slli_epi16(first.b, 8), _mm256_slli_epi16(first.g, 8),
                              _mm256_slli_epi16(first.r, 8));
            storeWideRun<bpp>(next, _mm256_slli_epi16(second.b, 8), _mm256_slli_epi16(second.g, 8),
                              _mm256_slli_epi16(second.r, 8));
        }
    }
    return x;
}

// 4-byte pixels sixteen at a time in 16-bit lanes: chunks 0 and 2 (pixels
// 0-3 and 8-11) in one register, 1 and 3 in the other, so that each half
// holds eight pixels; returns the first pixel left.
LUMVEK_AVX2 int quadRowAvx2(uint8_t* row, int width, int a, int saturation) {
    const SextantBytes& sextant = sextantBytes();
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * 4;
        const __m256i first = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 32),
                                                  reinterpret_cast<const __m128i*>(p));
        const __m256i second = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 48),
                                                   reinterpret_cast<const __m128i*>(p + 16));
        auto plane = [&](size_t c) LUMVEK_AVX2 __attribute__((always_inline)) {
            return _mm256_or_si256(_mm256_shuffle_epi8(first, lanesOf(kQuadToPlanes[c][0])),
                                   _mm256_shuffle_epi8(second, lanesOf(kQuadToPlanes[c][1])));
        };
        __m256i b = plane(0);
        __m256i g = plane(1);
        __m256i r = plane(2);
        transform16(b, g, r, a, saturation, sextant);
        const __m256i planes[3] = {b, g, r};
        const __m256i firstOut = gatherChunks(planes, kPlanesToQuads[0]);
        const __m256i secondOut = gatherChunks(planes, kPlanesToQuads[1]);
        _mm256_storeu2_m128i(reinterpret_cast<__m128i*>(p + 32), reinterpret_cast<__m128i*>(p), firstOut);
        _mm256_storeu2_m128i(reinterpret_cast<__m128i*>(p + 48), reinterpret_cast<__m128i*>(p + 16), secondOut);
    }
    return x;
}

// Pixels [x, returned) of the row, eight at a time.
template <bool kTone, int bpp>
LUMVEK_AVX2 int rowAvx2(uint8_t* row, int width, int a, const HueSaturationTables& tables, const HueToneBytes* tone,
                        int x = 0) {
    const int saturation = tables.saturation();
    const __m256i byteMask = _mm256_set1_epi32(0xFF);
    static constexpr uint8_t kUnused[256] = {};
    const ByteTableAvx2 low(kTone ? tone->low.data() : kUnused);
    const ByteTableAvx2 high(kTone ? tone->high.data() : kUnused);
    // 8-byte pixels without a table gain nothing from the 16-bit lanes: their
    // 32-bit lanes come with two byte shuffles per eight pixels.
    if constexpr (bpp == 6 || (bpp == 8 && kTone)) {
        x = wideRowAvx2<kTone, bpp>(row, width, a, saturation, low, high, x);
    }
    // A run of 3-byte pixels is read with a 32-byte load: 8 bytes past them.
    const int last = bpp == 3 ? width - 11 : width - 8;
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
        case 3:
            return rowAvx2<false, 3>(row, width, hueOffset, tables, nullptr,
                                     tripleRowAvx2(row, width, hueOffset, tables.saturation()));
        case 4:
            return rowAvx2<false, 4>(row, width, hueOffset, tables, nullptr,
                                     quadRowAvx2(row, width, hueOffset, tables.saturation()));
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
