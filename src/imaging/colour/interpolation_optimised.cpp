// The optimised interpolation: the interior in row bands over the workers,
// each row 16 (8-bit) or 8 (16-bit) pixels at a time with AVX2 where the
// processor has it, the rest of a row and the border strips by the scalar
// code. The arithmetic is the reference's, term for term: the 9:3:3:1 sum is
// (3a + b) across rows then (3a + b) along the row, and the gain product
// (sum x k) >> 11 is exact in the lanes used (sums < 2^12 with k <= 512 in
// 16-bit lanes via a high multiply by k << 5; sums < 2^20 in 32-bit lanes).
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "imaging/colour/bayer_pattern.h"
#include "imaging/colour/interpolation.h"
#include "imaging/pipeline/kernel_path.h"
#include "imaging/pipeline/row_bands.h"

namespace lumvek {

namespace {

// Rows of one output row: the red row inside the quad and the one across the
// centre, the same for blue.
struct QuadRows {
    int ry, ry2, by, by2;
};

QuadRows quadRowsFor(int mode, int r) {
    QuadRows q{};
    q.ry = (((r - 1) & 1) == redRowParity(mode)) ? r - 1 : r;
    q.by = q.ry == r ? r - 1 : r;
    q.ry2 = q.ry == r - 1 ? r + 1 : r - 2;
    q.by2 = q.by == r - 1 ? r + 1 : r - 2;
    return q;
}

#if defined(__x86_64__)
// pshufb masks that interleave three 16-byte planes (unit = 1 or 2 bytes)
// into 48 bytes of B, G, R triples: masks[chunk][plane].
using InterleaveMasks = std::array<std::array<std::array<int8_t, 16>, 3>, 3>;
constexpr InterleaveMasks makeInterleaveMasks(int unit) {
    InterleaveMasks m{};
    for (int chunk = 0; chunk < 3; ++chunk) {
        for (int plane = 0; plane < 3; ++plane) {
            for (int j = 0; j < 16; ++j) {
                const int byte = chunk * 16 + j;
                const int element = byte / unit;
                const int pixel = element / 3;
                const int component = element % 3;
                m[chunk][plane][j] =
                    component == plane ? static_cast<int8_t>(pixel * unit + byte % unit) : static_cast<int8_t>(-128);
            }
        }
    }
    return m;
}
constexpr InterleaveMasks kInterleave8 = makeInterleaveMasks(1);
constexpr InterleaveMasks kInterleave16 = makeInterleaveMasks(2);

#define LUMVEK_AVX2 __attribute__((target("avx2")))

LUMVEK_AVX2 inline __m256i load8(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
LUMVEK_AVX2 inline __m256i times3Plus8(__m256i a, __m256i b) {  // 3a + b, 16-bit lanes
    return _mm256_add_epi16(_mm256_add_epi16(a, _mm256_add_epi16(a, a)), b);
}
LUMVEK_AVX2 inline __m256i columnSum8(const uint8_t* a, const uint8_t* b, int x) {
    return times3Plus8(load8(a + x), load8(b + x));
}
LUMVEK_AVX2 inline __m128i narrow8(__m256i v) {
    return _mm_packus_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}
LUMVEK_AVX2 inline __m256i load16(const uint16_t* p) {
    return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
LUMVEK_AVX2 inline __m256i times3Plus16(__m256i a, __m256i b) {  // 3a + b, 32-bit lanes
    return _mm256_add_epi32(_mm256_add_epi32(a, _mm256_add_epi32(a, a)), b);
}
LUMVEK_AVX2 inline __m256i columnSum16(const uint16_t* a, const uint16_t* b, int x) {
    return times3Plus16(load16(a + x), load16(b + x));
}
LUMVEK_AVX2 inline __m128i narrow16(__m256i v) {
    return _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

LUMVEK_AVX2 inline void storeTriples(uint8_t* dst, __m128i b, __m128i g, __m128i r,
                                                         const InterleaveMasks& masks) {
    for (int chunk = 0; chunk < 3; ++chunk) {
        auto mask = [&](int plane) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(masks[chunk][plane].data()));
        };
        const __m128i v = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, mask(0)), _mm_shuffle_epi8(g, mask(1))),
                                       _mm_shuffle_epi8(r, mask(2)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + chunk * 16), v);
    }
}

// Four pixels of four components from the low or high halves of the planes,
// keeping the fourth component already in memory.
LUMVEK_AVX2 inline void storeQuads8(uint8_t* dst, __m128i b, __m128i g, __m128i r) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i keep = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i bgLo = _mm_unpacklo_epi8(b, g);
    const __m128i bgHi = _mm_unpackhi_epi8(b, g);
    const __m128i r0Lo = _mm_unpacklo_epi8(r, zero);
    const __m128i r0Hi = _mm_unpackhi_epi8(r, zero);
    const __m128i px[4] = {_mm_unpacklo_epi16(bgLo, r0Lo), _mm_unpackhi_epi16(bgLo, r0Lo),
                           _mm_unpacklo_epi16(bgHi, r0Hi), _mm_unpackhi_epi16(bgHi, r0Hi)};
    for (int i = 0; i < 4; ++i) {
        auto* p = reinterpret_cast<__m128i*>(dst + i * 16);
        const __m128i old = _mm_loadu_si128(p);
        _mm_storeu_si128(p, _mm_or_si128(_mm_and_si128(old, keep), px[i]));
    }
}

LUMVEK_AVX2 inline void storeQuads16(uint8_t* dst, __m128i b, __m128i g, __m128i r) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i keep = _mm_set_epi32(static_cast<int>(0xFFFF0000u), 0, static_cast<int>(0xFFFF0000u), 0);
    const __m128i bgLo = _mm_unpacklo_epi16(b, g);
    const __m128i bgHi = _mm_unpackhi_epi16(b, g);
    const __m128i r0Lo = _mm_unpacklo_epi16(r, zero);
    const __m128i r0Hi = _mm_unpackhi_epi16(r, zero);
    const __m128i px[4] = {_mm_unpacklo_epi32(bgLo, r0Lo), _mm_unpackhi_epi32(bgLo, r0Lo),
                           _mm_unpacklo_epi32(bgHi, r0Hi), _mm_unpackhi_epi32(bgHi, r0Hi)};
    for (int i = 0; i < 4; ++i) {
        auto* p = reinterpret_cast<__m128i*>(dst + i * 16);
        const __m128i old = _mm_loadu_si128(p);
        _mm_storeu_si128(p, _mm_or_si128(_mm_and_si128(old, keep), px[i]));
    }
}

// Output columns [c, c + 16) of one row from an 8-bit raw; c is even, so lane
// i has the parity of i. Needs columns c-2 .. c+16 of the raw rows.
LUMVEK_AVX2 int interiorRow8Avx2(const PlaneView& raw, const PlaneView& out,
                                                     const InterpolationParams& params, int r, int c, int cEnd) {
    const QuadRows q = quadRowsFor(params.bayerMode, r);
    const uint8_t* sRy = raw.row(q.ry);
    const uint8_t* sRy2 = raw.row(q.ry2);
    const uint8_t* sBy = raw.row(q.by);
    const uint8_t* sBy2 = raw.row(q.by2);
    uint8_t* dst = out.row(r);
    const int bpp = out.bytesPerPixel;
    // Lanes whose column has the red column parity.
    const __m256i redLanes = redColumnParity(params.bayerMode) == 0
                                 ? _mm256_set1_epi32(0x0000FFFF)
                                 : _mm256_set1_epi32(static_cast<int>(0xFFFF0000u));
    const __m256i kRed = _mm256_set1_epi16(static_cast<int16_t>(params.redMultiplier << 5));
    const __m256i kBlue = _mm256_set1_epi16(static_cast<int16_t>(params.blueMultiplier << 5));
    for (; c + 16 <= cEnd; c += 16) {
        const __m256i vrM2 = columnSum8(sRy, sRy2, c - 2), vrM1 = columnSum8(sRy, sRy2, c - 1);
        const __m256i vr0 = columnSum8(sRy, sRy2, c), vrP1 = columnSum8(sRy, sRy2, c + 1);
        const __m256i vbM2 = columnSum8(sBy, sBy2, c - 2), vbM1 = columnSum8(sBy, sBy2, c - 1);
        const __m256i vb0 = columnSum8(sBy, sBy2, c), vbP1 = columnSum8(sBy, sBy2, c + 1);
        // Red-parity column: red inside at c, blue at c-1; else red at c-1, blue at c.
        const __m256i redSum = _mm256_blendv_epi8(times3Plus8(vrM1, vrP1), times3Plus8(vr0, vrM2), redLanes);
        const __m256i blueSum = _mm256_blendv_epi8(times3Plus8(vb0, vbM2), times3Plus8(vbM1, vbP1), redLanes);
        const __m256i gA = _mm256_add_epi16(load8(sRy + c - 1), load8(sBy + c));
        const __m256i gB = _mm256_add_epi16(load8(sRy + c), load8(sBy + c - 1));
        const __m256i green = _mm256_srli_epi16(_mm256_blendv_epi8(gB, gA, redLanes), 1);
        const __m256i red = _mm256_mulhi_epu16(redSum, kRed);
        const __m256i blue = _mm256_mulhi_epu16(blueSum, kBlue);
        uint8_t* px = dst + static_cast<std::ptrdiff_t>(c) * bpp;
        if (bpp == 3) {
            storeTriples(px, narrow8(blue), narrow8(green), narrow8(red), kInterleave8);
        } else {
            storeQuads8(px, narrow8(blue), narrow8(green), narrow8(red));
        }
    }
    return c;
}

// Output columns [c, c + 8) of one row from a 16-bit raw, in 32-bit lanes.
LUMVEK_AVX2 int interiorRow16Avx2(const PlaneView& raw, const PlaneView& out,
                                                      const InterpolationParams& params, int r, int c, int cEnd) {
    const QuadRows q = quadRowsFor(params.bayerMode, r);
    const uint16_t* sRy = raw.row16(q.ry);
    const uint16_t* sRy2 = raw.row16(q.ry2);
    const uint16_t* sBy = raw.row16(q.by);
    const uint16_t* sBy2 = raw.row16(q.by2);
    uint8_t* dst = out.row(r);
    const int bpp = out.bytesPerPixel;
    const __m256i redLanes = redColumnParity(params.bayerMode) == 0 ? _mm256_set1_epi64x(0x00000000FFFFFFFFll)
                                                                    : _mm256_set1_epi64x(static_cast<long long>(
                                                                          0xFFFFFFFF00000000ull));
    const __m256i kRed = _mm256_set1_epi32(params.redMultiplier);
    const __m256i kBlue = _mm256_set1_epi32(params.blueMultiplier);
    for (; c + 8 <= cEnd; c += 8) {
        const __m256i vrM2 = columnSum16(sRy, sRy2, c - 2), vrM1 = columnSum16(sRy, sRy2, c - 1);
        const __m256i vr0 = columnSum16(sRy, sRy2, c), vrP1 = columnSum16(sRy, sRy2, c + 1);
        const __m256i vbM2 = columnSum16(sBy, sBy2, c - 2), vbM1 = columnSum16(sBy, sBy2, c - 1);
        const __m256i vb0 = columnSum16(sBy, sBy2, c), vbP1 = columnSum16(sBy, sBy2, c + 1);
        const __m256i redSum = _mm256_blendv_epi8(times3Plus16(vrM1, vrP1), times3Plus16(vr0, vrM2), redLanes);
        const __m256i blueSum = _mm256_blendv_epi8(times3Plus16(vb0, vbM2), times3Plus16(vbM1, vbP1), redLanes);
        const __m256i gA = _mm256_add_epi32(load16(sRy + c - 1), load16(sBy + c));
        const __m256i gB = _mm256_add_epi32(load16(sRy + c), load16(sBy + c - 1));
        const __m256i green = _mm256_srli_epi32(_mm256_blendv_epi8(gB, gA, redLanes), 1);
        const __m256i red = _mm256_srli_epi32(_mm256_mullo_epi32(redSum, kRed), 11);
        const __m256i blue = _mm256_srli_epi32(_mm256_mullo_epi32(blueSum, kBlue), 11);
        uint8_t* px = dst + static_cast<std::ptrdiff_t>(c) * bpp;
        if (bpp == 6) {
            storeTriples(px, narrow16(blue), narrow16(green), narrow16(red), kInterleave16);
        } else {
            storeQuads16(px, narrow16(blue), narrow16(green), narrow16(red));
        }
    }
    return c;
}
#endif

void interiorBand(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int y0, int y1) {
    const int x0 = 2;
    const int x1 = raw.width - 2;
    // The vector bodies read one column past their last output, which x1 leaves room for.
    const int vectorEnd = x1 - 1;
    for (int r = y0; r < y1; ++r) {
        int c = x0;
#if defined(__x86_64__)
        if (cpuFeatures().avx2) {
            c = raw.bytesPerPixel == 1 ? interiorRow8Avx2(raw, out, params, r, c, vectorEnd)
                                       : interiorRow16Avx2(raw, out, params, r, c, vectorEnd);
        }
#endif
        detail::interpolateInteriorRows(raw, out, params, r, r + 1, c, x1);
    }
}

} // namespace

bool interpolateOptimised(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params,
                          RowBands& bands) {
    if (!detail::interpolationShapesPair(raw, out)) {
        return false;
    }
    const int interiorEnd = raw.height - 2;
    if (interiorEnd > 2 && raw.width > 4) {
        bands.run(2, interiorEnd, [&](int y0, int y1) { interiorBand(raw, out, params, y0, y1); });
    }
    detail::interpolateBorders(raw, out, params);
    return true;
}

} // namespace lumvek
