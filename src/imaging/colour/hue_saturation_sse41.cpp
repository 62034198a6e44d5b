// The hue/saturation transform for processors without AVX2: the steps of the
// AVX2 body on four 32-bit lanes, two registers for each run of eight pixels.
// The reciprocal 0xFF0000 / d is the same single-precision division, exact
// for the same reason: 0xFF0000 < 2^24 and d are exact floats, the correctly
// rounded quotient is off by under (0xFF0000 / d) x 2^-24 < 1 / d, and a
// quotient that is not whole lies at least 1 / d from the next whole number,
// so truncating it gives the integer quotient. The end differs: without a
// lane permute for the sextant tables, and with 32-bit multiplies slow on the
// older processors this body is for, the result is assembled from what the
// table's masks and steps make of it. Each colour byte is the low value, the
// high one, or the one between them that the hue step moves (amount <= w, so
// no byte carries into the next), and the sextant only orders the three; a
// byte shuffle puts them in place. The chroma limit is a multiply-add of
// 16-bit halves, leaving the reciprocal product the only 32-bit multiply. A
// pixel with d = 0 needs no blend: its n, k and w are 0, so its bytes are all
// the low value, as in the scalar code.
//
// 3-, 4- and 6-byte pixels go eight or sixteen at a time in 16-bit lanes
// first, as in the AVX2 body: the quotient's product alone in 32-bit lanes,
// the sextant's masks and signs read per component by byte shuffles.
#include <immintrin.h>

#include <array>
#include <cstdint>

#include "imaging/colour/hue_saturation.h"
#include "imaging/colour/hue_saturation_lanes.h"
#include "imaging/pipeline/kernel_path.h"

namespace lumvek::detail {

#if defined(__x86_64__)
namespace {

#define LUMVEK_SSE41 __attribute__((target("sse4.1,ssse3")))
// The helpers are folded into the row loop: called, they pass their vectors through memory.
#define LUMVEK_SSE41_INLINE __attribute__((target("sse4.1,ssse3"), always_inline)) inline

// Each colour byte of a result is one of three values: the low one, the
// high one, or the one moving between them (high - amount in the even
// sextants, whose step is negative, low + amount in the odd ones). Sextant s
// puts them in the order blue, green, red:
//   0: moving low high   1: low moving high   2: low high moving
//   3: moving high low   4: high moving low   5: high low moving
// (0 = low, 1 = high, 2 = moving). All six orders are runs of three in the
// nine bytes `orders`; `starts` holds where the run of each hue index 0..11
// (sextant = index mod 6) begins.
struct SextantOrders {
    __m128i starts = _mm_setr_epi8(2, 5, 0, 6, 1, 4, 2, 5, 0, 6, 1, 4, 0, 0, 0, 0);
    __m128i orders = _mm_setr_epi8(0, 1, 2, 0, 1, 0, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0);
};

// 0xFF0000 / d for d = 1..255; d = 0 (every lane with n = 0) is read as 1.
LUMVEK_SSE41_INLINE __m128i reciprocalOf(__m128i d) {
    const __m128 divisor = _mm_cvtepi32_ps(_mm_max_epi32(d, _mm_set1_epi32(1)));
    return _mm_cvttps_epi32(_mm_div_ps(_mm_set1_ps(static_cast<float>(0xFF0000)), divisor));
}

LUMVEK_SSE41_INLINE __m128i transform4(__m128i b, __m128i g, __m128i r, int a, int saturation,
                                       const SextantOrders& sextants) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i maxRg = _mm_max_epi32(r, g);
    const __m128i maxC = _mm_max_epi32(maxRg, b);
    const __m128i minC = _mm_min_epi32(_mm_min_epi32(r, g), b);
    const __m128i d = _mm_sub_epi32(maxC, minC);
    const __m128i lightness = _mm_add_epi32(maxC, minC);
    // base 5 when b > max(r, g); else base 1 when r >= g; else base 3.
    const __m128i blueLeads = _mm_cmpgt_epi32(b, maxRg);
    const __m128i redOverGreen = _mm_cmpgt_epi32(g, r);  // r < g
    __m128i base = _mm_blendv_epi8(_mm_set1_epi32(1), _mm_set1_epi32(3), redOverGreen);
    __m128i n = _mm_blendv_epi8(_mm_sub_epi32(g, b), _mm_sub_epi32(b, r), redOverGreen);
    base = _mm_blendv_epi8(base, _mm_set1_epi32(5), blueLeads);
    n = _mm_blendv_epi8(n, _mm_sub_epi32(r, g), blueLeads);
    const __m128i negative = _mm_cmpgt_epi32(zero, n);
    base = _mm_add_epi32(base, negative);  // -1 where negative
    n = _mm_add_epi32(n, _mm_and_si128(d, negative));

    // chroma(d) = ((saturation + 256) * 256 * d + 0x8000) >> 16, as the table
    // holds it, = ((saturation + 256) * d + 128) >> 8. Both factors lie in
    // 0..511 and fill the low 16 bits of their lanes: one multiply-add of
    // 16-bit halves gives the product.
    const __m128i chroma =
        _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(d, _mm_set1_epi32(saturation + 256)), _mm_set1_epi32(128)), 8);
    const __m128i k = _mm_min_epi32(_mm_min_epi32(lightness, _mm_sub_epi32(_mm_set1_epi32(511), lightness)), chroma);
    const __m128i low = _mm_srai_epi32(_mm_sub_epi32(lightness, k), 1);
    const __m128i high = _mm_srai_epi32(_mm_add_epi32(lightness, k), 1);

    const __m128i recip = reciprocalOf(d);
    const __m128i v = _mm_add_epi32(
        _mm_srai_epi32(_mm_add_epi32(_mm_mullo_epi32(n, recip), _mm_set1_epi32(0x8000)), 16), _mm_set1_epi32(a % 255));
    const __m128i wraps = _mm_cmpgt_epi32(v, _mm_set1_epi32(254));
    const __m128i index = _mm_sub_epi32(_mm_add_epi32(base, _mm_set1_epi32(a / 255)), wraps);  // 0..11
    const __m128i f = _mm_sub_epi32(v, _mm_and_si128(wraps, _mm_set1_epi32(255)));
    const __m128i w = _mm_sub_epi32(high, low);
    // w <= 255 and f <= 254 in lanes whose high halves are 0: a 16-bit
    // multiply gives the whole product (< 2^16). amount <= w.
    const __m128i amount = _mm_srai_epi32(_mm_add_epi32(_mm_mullo_epi16(w, f), _mm_set1_epi32(128)), 8);
    const __m128i even = _mm_cmpeq_epi32(_mm_and_si128(index, _mm_set1_epi32(1)), zero);
    const __m128i moving = _mm_blendv_epi8(_mm_add_epi32(low, amount), _mm_sub_epi32(high, amount), even);
    // low, high and moving (each 0..255) in bytes 0, 1 and 2 of each lane,
    // then put in the order of the lane's sextant, the fourth byte 0.
    const __m128i three = _mm_or_si128(_mm_or_si128(low, _mm_slli_epi32(high, 8)), _mm_slli_epi32(moving, 16));
    const __m128i everyByte =
        _mm_shuffle_epi8(index, _mm_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12));
    const __m128i run = _mm_add_epi8(_mm_shuffle_epi8(sextants.starts, everyByte), _mm_set1_epi32(0x03020100));
    const __m128i order = _mm_or_si128(_mm_shuffle_epi8(sextants.orders, run),
                                       _mm_setr_epi8(0, 0, 0, -128, 4, 4, 4, -128, 8, 8, 8, -128, 12, 12, 12, -128));
    return _mm_shuffle_epi8(three, order);
}

LUMVEK_SSE41_INLINE __m128i bytesOf(const std::array<int8_t, 16>& bytes) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data()));
}

// ((n x (0xFF0000 / d)) + 0x8000) >> 16 for eight lanes with 0 <= n <= d <=
// 255, through two registers of 32-bit lanes.
LUMVEK_SSE41_INLINE __m128i quotient4(__m128i n32, __m128i d32) {
    return _mm_srli_epi32(_mm_add_epi32(_mm_mullo_epi32(n32, reciprocalOf(d32)), _mm_set1_epi32(0x8000)), 16);
}

LUMVEK_SSE41_INLINE __m128i quotient8(__m128i n, __m128i d) {
    const __m128i zero = _mm_setzero_si128();
    return _mm_packus_epi32(quotient4(_mm_unpacklo_epi16(n, zero), _mm_unpacklo_epi16(d, zero)),
                            quotient4(_mm_unpackhi_epi16(n, zero), _mm_unpackhi_epi16(d, zero)));
}

// Component c of the result: low, plus w where the sextant's mask has c,
// plus or minus the amount where its step moves c.
LUMVEK_SSE41_INLINE __m128i componentOf(size_t c, __m128i low, __m128i w, __m128i amount, __m128i control,
                                        const SextantBytes& sextant) {
    const __m128i masked = _mm_and_si128(w, _mm_shuffle_epi8(bytesOf(sextant.mask[c]), control));
    const __m128i step = _mm_sign_epi16(amount, _mm_shuffle_epi8(bytesOf(sextant.sign[c]), control));
    return _mm_add_epi16(_mm_add_epi16(low, masked), step);
}

// Eight pixels in 16-bit lanes, b, g and r each in 0..255, transformed in
// place. The chroma limit is (d << 7) x (s + 256) rounded at bit 15 (mulhrs),
// w x f and the rounded amount fit an unsigned lane.
LUMVEK_SSE41_INLINE void transform8(__m128i& b, __m128i& g, __m128i& r, int a, int saturation,
                                    const SextantBytes& sextant) {
    const int turns = a / 255;
    const __m128i maxRg = _mm_max_epi16(r, g);
    const __m128i maxC = _mm_max_epi16(maxRg, b);
    const __m128i minC = _mm_min_epi16(_mm_min_epi16(r, g), b);
    const __m128i d = _mm_sub_epi16(maxC, minC);
    const __m128i lightness = _mm_add_epi16(maxC, minC);
    // The sextant index starts at base + a / 255: base 5 when b > max(r, g);
    // else base 1 when r >= g; else base 3.
    const __m128i blueLeads = _mm_cmpgt_epi16(b, maxRg);
    const __m128i greenOverRed = _mm_cmpgt_epi16(g, r);
    __m128i index = _mm_blendv_epi8(_mm_set1_epi16(static_cast<int16_t>(1 + turns)),
                                    _mm_set1_epi16(static_cast<int16_t>(3 + turns)), greenOverRed);
    __m128i n = _mm_blendv_epi8(_mm_sub_epi16(g, b), _mm_sub_epi16(b, r), greenOverRed);
    index = _mm_blendv_epi8(index, _mm_set1_epi16(static_cast<int16_t>(5 + turns)), blueLeads);
    n = _mm_blendv_epi8(n, _mm_sub_epi16(r, g), blueLeads);
    const __m128i negative = _mm_srai_epi16(n, 15);
    index = _mm_add_epi16(index, negative);
    n = _mm_add_epi16(n, _mm_and_si128(d, negative));

    const __m128i chroma =
        _mm_mulhrs_epi16(_mm_slli_epi16(d, 7), _mm_set1_epi16(static_cast<int16_t>(saturation + 256)));
    const __m128i k = _mm_min_epi16(_mm_min_epi16(lightness, _mm_sub_epi16(_mm_set1_epi16(511), lightness)), chroma);
    const __m128i low = _mm_srli_epi16(_mm_sub_epi16(lightness, k), 1);
    const __m128i w = _mm_sub_epi16(_mm_srli_epi16(_mm_add_epi16(lightness, k), 1), low);

    const __m128i v = _mm_add_epi16(quotient8(n, d), _mm_set1_epi16(static_cast<int16_t>(a % 255)));
    const __m128i wraps = _mm_cmpgt_epi16(v, _mm_set1_epi16(254));
    index = _mm_sub_epi16(index, wraps);  // 0..11
    const __m128i f = _mm_sub_epi16(v, _mm_and_si128(wraps, _mm_set1_epi16(255)));
    const __m128i amount = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(w, f), _mm_set1_epi16(128)), 8);
    // The index in both bytes of its lane, for the byte shuffles.
    const __m128i control = _mm_mullo_epi16(index, _mm_set1_epi16(0x0101));
    b = componentOf(0, low, w, amount, control, sextant);
    g = componentOf(1, low, w, amount, control, sextant);
    r = componentOf(2, low, w, amount, control, sextant);
}

// The OR of each register shuffled by its mask.
template <size_t N>
LUMVEK_SSE41_INLINE __m128i gatherChunks(const __m128i* from, const std::array<std::array<int8_t, 16>, N>& masks) {
    __m128i v = _mm_shuffle_epi8(from[0], bytesOf(masks[0]));
    for (size_t k = 1; k < N; ++k) {
        v = _mm_or_si128(v, _mm_shuffle_epi8(from[k], bytesOf(masks[k])));
    }
    return v;
}

// The row's 3-byte pixels sixteen at a time: 48 bytes into three planes of
// sixteen samples, each into lanes 0-7 and 8-15; returns the first pixel left.
LUMVEK_SSE41 int tripleRowSse41(uint8_t* row, int width, int a, int saturation) {
    const SextantBytes& sextant = sextantBytes();
    const __m128i zero = _mm_setzero_si128();
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * 3;
        __m128i planes[3] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32))};
        __m128i first[3];
        __m128i second[3];
        for (size_t c = 0; c < 3; ++c) {
            const __m128i plane = gatherChunks(planes, kToPlanes[c]);
            first[c] = _mm_unpacklo_epi8(plane, zero);
            second[c] = _mm_unpackhi_epi8(plane, zero);
        }
        transform8(first[0], first[1], first[2], a, saturation, sextant);
        transform8(second[0], second[1], second[2], a, saturation, sextant);
        for (size_t c = 0; c < 3; ++c) {
            planes[c] = _mm_packus_epi16(first[c], second[c]);
        }
        for (size_t k = 0; k < 3; ++k) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * k), gatherChunks(planes, kToTriples[k]));
        }
    }
    return x;
}

// The tone table's answers for the samples the transform writes, 16-bit
// samples v << 8, as 256 entries side by side: 512 bytes that stay in cache,
// where the table itself would be read 512 bytes apart.
struct WideTone {
    uint16_t entries[256];
    explicit WideTone(const HueToneBytes& tone) {
        for (size_t i = 0; i < 256; ++i) {
            entries[i] = static_cast<uint16_t>(tone.low[i] | tone.high[i] << 8);
        }
    }
};

// 6-byte pixels eight at a time from x in 16-bit lanes, the high bytes of
// the samples in and the results back as v << 8, or with a tone table its
// entries, looked up one by one; returns the first pixel left.
template <bool kTone>
LUMVEK_SSE41 int wideRowSse41(uint8_t* row, int width, int a, int saturation, const WideTone* tone, int x) {
    constexpr size_t kComponents = 3;
    constexpr const WideMasks<kComponents>& masks = kWideMasks<kComponents>;
    const SextantBytes& sextant = sextantBytes();
    for (; x + 8 <= width; x += 8) {
        uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * 6;
        __m128i chunks[kComponents];
        for (size_t k = 0; k < kComponents; ++k) {
            chunks[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        }
        __m128i b = gatherChunks(chunks, masks.toPlanes[0]);
        __m128i g = gatherChunks(chunks, masks.toPlanes[1]);
        __m128i r = gatherChunks(chunks, masks.toPlanes[2]);
        transform8(b, g, r, a, saturation, sextant);
        if constexpr (kTone) {
            alignas(16) uint16_t values[3][8];
            _mm_store_si128(reinterpret_cast<__m128i*>(values[0]), b);
            _mm_store_si128(reinterpret_cast<__m128i*>(values[1]), g);
            _mm_store_si128(reinterpret_cast<__m128i*>(values[2]), r);
            auto* samples = reinterpret_cast<uint16_t*>(p);
            for (size_t j = 0; j < 8; ++j) {
                for (size_t c = 0; c < 3; ++c) {
                    samples[kComponents * j + c] = tone->entries[values[c][j]];
                }
            }
        } else {
            const __m128i words[3] = {_mm_slli_epi16(b, 8), _mm_slli_epi16(g, 8), _mm_slli_epi16(r, 8)};
            for (size_t k = 0; k < kComponents; ++k) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * k), gatherChunks(words, masks.toPixels[k]));
            }
        }
    }
    return x;
}

// 4-byte pixels eight at a time in 16-bit lanes; returns the first pixel left.
LUMVEK_SSE41 int quadRowSse41(uint8_t* row, int width, int a, int saturation) {
    const SextantBytes& sextant = sextantBytes();
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * 4;
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        __m128i planes[3];
        for (size_t c = 0; c < 3; ++c) {
            planes[c] = _mm_or_si128(_mm_shuffle_epi8(first, bytesOf(kQuadToPlanes[c][0])),
                                     _mm_shuffle_epi8(second, bytesOf(kQuadToPlanes[c][1])));
        }
        transform8(planes[0], planes[1], planes[2], a, saturation, sextant);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), gatherChunks(planes, kPlanesToQuads[0]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), gatherChunks(planes, kPlanesToQuads[1]));
    }
    return x;
}

// Eight pixels in two registers of four lanes, b | g << 8 | r << 16 each.
struct Lanes {
    __m128i first;   // pixels 0..3
    __m128i second;  // pixels 4..7
};

// Eight 3-byte pixels (24 bytes) from lanes.
LUMVEK_SSE41_INLINE void packPixels(uint8_t* p, Lanes lanes) {
    const __m128i head = _mm_or_si128(
        _mm_shuffle_epi8(lanes.first, _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1)),
        _mm_shuffle_epi8(lanes.second, _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 1, 2, 4)));
    const __m128i tail =
        _mm_shuffle_epi8(lanes.second, _mm_setr_epi8(5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, -1, -1, -1, -1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), head);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), tail);
}

// Four 6-byte pixels (16-bit samples; the transform reads the high bytes)
// into lanes, and back with each sample's low byte 0.
LUMVEK_SSE41_INLINE __m128i spreadWidePixels(const uint8_t* p) {
    const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));      // bytes 0..15
    const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));  // bytes 8..23
    return _mm_or_si128(
        _mm_shuffle_epi8(head, _mm_setr_epi8(1, 3, 5, -1, 7, 9, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1)),
        _mm_shuffle_epi8(tail, _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 5, 7, 9, -1, 11, 13, 15, -1)));
}

LUMVEK_SSE41_INLINE void packWidePixels(uint8_t* p, __m128i lanes) {
    const __m128i head = _mm_shuffle_epi8(lanes, _mm_setr_epi8(-1, 0, -1, 1, -1, 2, -1, 4, -1, 5, -1, 6, -1, 8, -1, 9));
    const __m128i tail =
        _mm_shuffle_epi8(lanes, _mm_setr_epi8(-1, 10, -1, 12, -1, 13, -1, 14, -1, -1, -1, -1, -1, -1, -1, -1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), head);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), tail);
}

// Four 8-byte pixels into lanes, and back with the fourth sample 0.
LUMVEK_SSE41_INLINE __m128i spreadWideQuadPixels(const uint8_t* p) {
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    return _mm_or_si128(
        _mm_shuffle_epi8(first, _mm_setr_epi8(1, 3, 5, -1, 9, 11, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1)),
        _mm_shuffle_epi8(second, _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 1, 3, 5, -1, 9, 11, 13, -1)));
}

LUMVEK_SSE41_INLINE void packWideQuadPixels(uint8_t* p, __m128i lanes) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p),
                     _mm_shuffle_epi8(lanes, _mm_setr_epi8(-1, 0, -1, 1, -1, 2, -1, -1, -1, 4, -1, 5, -1, 6, -1, -1)));
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(p + 16),
        _mm_shuffle_epi8(lanes, _mm_setr_epi8(-1, 8, -1, 9, -1, 10, -1, -1, -1, 12, -1, 13, -1, 14, -1, -1)));
}

// The blue, green and red components of four pixels, one per 32-bit lane.
struct Channels {
    __m128i b, g, r;
};

// Bytes first, first + stride, ... of a register into the low bytes of the lanes.
LUMVEK_SSE41_INLINE __m128i pickBytes(__m128i bytes, int first, int stride) {
    const auto at = [&](int lane) { return static_cast<char>(first + lane * stride); };
    return _mm_shuffle_epi8(bytes,
                            _mm_setr_epi8(at(0), -1, -1, -1, at(1), -1, -1, -1, at(2), -1, -1, -1, at(3), -1, -1, -1));
}

// 8-bit components straight from the loaded bytes, starting at byte `first`.
LUMVEK_SSE41_INLINE Channels pickChannels(__m128i bytes, int first, int stride) {
    return {pickBytes(bytes, first, stride), pickBytes(bytes, first + 1, stride), pickBytes(bytes, first + 2, stride)};
}

// Lanes b | g << 8 | r << 16 with a zero fourth byte, taken apart.
LUMVEK_SSE41_INLINE Channels splitLanes(__m128i px) {
    const __m128i byteMask = _mm_set1_epi32(0xFF);
    return {_mm_and_si128(px, byteMask), _mm_and_si128(_mm_srli_epi32(px, 8), byteMask), _mm_srli_epi32(px, 16)};
}

// Eight pixels of a run starting at p (the second four 4 bpp bytes on).
LUMVEK_SSE41_INLINE void loadChannels(const uint8_t* p, int bpp, Channels& first, Channels& second) {
    const auto load = [](const uint8_t* q) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q)); };
    switch (bpp) {
    case 3: {  // 24 bytes, read as bytes 0..15 and 8..23
        first = pickChannels(load(p), 0, 3);
        second = pickChannels(load(p + 8), 4, 3);
        break;
    }
    case 4:
        first = pickChannels(load(p), 0, 4);
        second = pickChannels(load(p + 16), 0, 4);
        break;
    case 6:
        first = splitLanes(spreadWidePixels(p));
        second = splitLanes(spreadWidePixels(p + 24));
        break;
    default:
        first = splitLanes(spreadWideQuadPixels(p));
        second = splitLanes(spreadWideQuadPixels(p + 32));
        break;
    }
}

LUMVEK_SSE41_INLINE void storePixels(uint8_t* p, int bpp, Lanes lanes) {
    switch (bpp) {
    case 3: packPixels(p, lanes); break;
    case 6:
        packWidePixels(p, lanes.first);
        packWidePixels(p + 24, lanes.second);
        break;
    case 8:
        packWideQuadPixels(p, lanes.first);
        packWideQuadPixels(p + 32, lanes.second);
        break;
    default:  // fourth byte 0
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), lanes.first);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), lanes.second);
        break;
    }
}

// The transformed lanes of eight 6- or 8-byte pixels through the tone table,
// stored; a fourth sample 0. Looked up one by one: sixteen byte shuffles per
// register of lanes cost more than the loads.
LUMVEK_SSE41_INLINE void storeToned(uint8_t* p, int bpp, Lanes lanes, const WideTone& tone) {
    alignas(16) uint8_t bytes[32];
    _mm_store_si128(reinterpret_cast<__m128i*>(bytes), lanes.first);
    _mm_store_si128(reinterpret_cast<__m128i*>(bytes + 16), lanes.second);
    auto* samples = reinterpret_cast<uint16_t*>(p);
    const int components = bpp / 2;
    for (int j = 0; j < 8; ++j, samples += components) {
        samples[0] = tone.entries[bytes[4 * j]];
        samples[1] = tone.entries[bytes[4 * j + 1]];
        samples[2] = tone.entries[bytes[4 * j + 2]];
        if (components == 4) {
            samples[3] = 0;
        }
    }
}

// Pixels [x, returned) of the row, eight at a time.
template <bool kTone, int bpp>
LUMVEK_SSE41 int rowSse41(uint8_t* row, int width, int a, const HueSaturationTables& tables, const WideTone* tone,
                          int x = 0) {
    const int saturation = tables.saturation();
    const SextantOrders sextants;
    // 8-byte pixels are faster in the four 32-bit lanes below, whose byte
    // shuffles per pixel are fewer than the 16-bit lanes' per sample.
    if constexpr (bpp == 6) {
        x = wideRowSse41<kTone>(row, width, a, saturation, tone, x);
    }
    for (; x <= width - 8; x += 8) {
        uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * bpp;
        Channels first, second;
        loadChannels(p, bpp, first, second);
        const Lanes lanes{transform4(first.b, first.g, first.r, a, saturation, sextants),
                          transform4(second.b, second.g, second.r, a, saturation, sextants)};
        if constexpr (kTone) {
            storeToned(p, bpp, lanes, *tone);
        } else {
            storePixels(p, bpp, lanes);
        }
    }
    return x;
}

} // namespace
#endif

int hueSaturationRowSse41(uint8_t* row, int width, int bytesPerPixel, int hueOffset, const HueSaturationTables& tables,
                          const HueToneBytes* tone) {
#if defined(__x86_64__)
    const bool layout = tone != nullptr
                            ? bytesPerPixel == 6 || bytesPerPixel == 8
                            : bytesPerPixel == 3 || bytesPerPixel == 4 || bytesPerPixel == 6 || bytesPerPixel == 8;
    if (cpuFeatures().sse41 && layout) {
        if (tone == nullptr) {
            switch (bytesPerPixel) {
            case 3:
                return rowSse41<false, 3>(row, width, hueOffset, tables, nullptr,
                                          tripleRowSse41(row, width, hueOffset, tables.saturation()));
            case 4:
                return rowSse41<false, 4>(row, width, hueOffset, tables, nullptr,
                                          quadRowSse41(row, width, hueOffset, tables.saturation()));
            case 6: return rowSse41<false, 6>(row, width, hueOffset, tables, nullptr);
            default: return rowSse41<false, 8>(row, width, hueOffset, tables, nullptr);
            }
        }
        const WideTone wide(*tone);
        return bytesPerPixel == 6 ? rowSse41<true, 6>(row, width, hueOffset, tables, &wide)
                                  : rowSse41<true, 8>(row, width, hueOffset, tables, &wide);
    }
#else
    (void)row, (void)width, (void)bytesPerPixel, (void)hueOffset, (void)tables, (void)tone;
#endif
    return 0;
}

} // namespace lumvek::detail
