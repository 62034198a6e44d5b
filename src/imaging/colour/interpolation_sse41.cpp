// The interpolation interior with SSE4.1 and SSSE3, for processors without
// AVX2: 16 (8-bit) or 8 (16-bit) output pixels per step. The structure and
// the arithmetic are those of interpolation_avx2.cpp on 128-bit registers:
// each raw row is loaded once per step at the step's first column and two
// columns either side, split into its even and odd columns in wider lanes,
// and every vertical 3a + b sum of a red or blue column serves the two
// output columns beside it. The gain product (sum x k) >> 11 is exact for
// the same reasons: 8-bit sums are under 2^12 and k <= 512, so a 16-bit high
// multiply by k << 5 gives it; 16-bit sums are under 2^20 and use 32-bit
// lanes. The results are the reference's, bit for bit.
#include <immintrin.h>

#include <array>
#include <cstdint>

#include "imaging/colour/bayer_pattern.h"
#include "imaging/colour/interpolation_rows.h"

#if defined(__x86_64__)

namespace lumvek::detail {

namespace {

#define LUMVEK_SSE41 __attribute__((target("sse4.1,ssse3")))

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

LUMVEK_SSE41 inline __m128i loadAt(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }

// 16 bytes of B, G and R (or 8 words) as 48 bytes of triples.
LUMVEK_SSE41 inline void storeTriples(uint8_t* dst, __m128i b, __m128i g, __m128i r, const InterleaveMasks& masks) {
    for (int k = 0; k < 3; ++k) {
        const auto& mask = masks[k];
        const __m128i chunk =
            _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, loadAt(mask[0].data())),
                                      _mm_shuffle_epi8(g, loadAt(mask[1].data()))),
                         _mm_shuffle_epi8(r, loadAt(mask[2].data())));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k * 16), chunk);
    }
}

// Four-component pixels from 16 bytes of B, G, R, keeping the fourth byte in memory.
LUMVEK_SSE41 inline void storeQuads8(uint8_t* dst, __m128i b, __m128i g, __m128i r) {
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
        _mm_storeu_si128(p, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(p), keep), px[i]));
    }
}

// The same from 8 words each.
LUMVEK_SSE41 inline void storeQuads16(uint8_t* dst, __m128i b, __m128i g, __m128i r) {
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
        _mm_storeu_si128(p, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(p), keep), px[i]));
    }
}

// One raw row split into even and odd columns, at the step's column and two before and after.
struct Split {
    __m128i even, odd;
};
struct RowSplits {
    Split at, before, after;
};

// Sample width: lanes of 16 bits for 8-bit samples, 32 bits for 16-bit ones.
template <int kBits>
struct Lanes;

template <>
struct Lanes<8> {
    static constexpr int kStep = 16;  // output pixels per step
    LUMVEK_SSE41 static Split split(const uint8_t* p) {
        const __m128i v = loadAt(p);
        return {_mm_and_si128(v, _mm_set1_epi16(0xFF)), _mm_srli_epi16(v, 8)};
    }
    LUMVEK_SSE41 static __m128i add(__m128i a, __m128i b) { return _mm_add_epi16(a, b); }
    LUMVEK_SSE41 static __m128i half(__m128i a) { return _mm_srli_epi16(a, 1); }
    LUMVEK_SSE41 static __m128i scale(__m128i sum, __m128i k) {
        return _mm_min_epu16(_mm_mulhi_epu16(sum, k), _mm_set1_epi16(0xFF));
    }
    LUMVEK_SSE41 static __m128i multiplier(int k) { return _mm_set1_epi16(static_cast<int16_t>(k << 5)); }
    LUMVEK_SSE41 static __m128i join(__m128i even, __m128i odd) { return _mm_or_si128(even, _mm_slli_epi16(odd, 8)); }
};

template <>
struct Lanes<16> {
    static constexpr int kStep = 8;
    LUMVEK_SSE41 static Split split(const uint16_t* p) {
        const __m128i v = loadAt(p);
        return {_mm_and_si128(v, _mm_set1_epi32(0xFFFF)), _mm_srli_epi32(v, 16)};
    }
    LUMVEK_SSE41 static __m128i add(__m128i a, __m128i b) { return _mm_add_epi32(a, b); }
    LUMVEK_SSE41 static __m128i half(__m128i a) { return _mm_srli_epi32(a, 1); }
    LUMVEK_SSE41 static __m128i scale(__m128i sum, __m128i k) {
        return _mm_min_epu32(_mm_srli_epi32(_mm_mullo_epi32(sum, k), 11), _mm_set1_epi32(0xFFFF));
    }
    LUMVEK_SSE41 static __m128i multiplier(int k) { return _mm_set1_epi32(k); }
    LUMVEK_SSE41 static __m128i join(__m128i even, __m128i odd) { return _mm_or_si128(even, _mm_slli_epi32(odd, 16)); }
};

template <int kBits, typename Sample>
LUMVEK_SSE41 inline RowSplits splitsOf(const Sample* row, int c) {
    using L = Lanes<kBits>;
    return {L::split(row + c), L::split(row + c - 2), L::split(row + c + 2)};
}

template <int kBits>
LUMVEK_SSE41 inline __m128i times3Plus(__m128i a, __m128i b) {
    using L = Lanes<kBits>;
    return L::add(L::add(a, L::add(a, a)), b);
}

template <int kBits>
LUMVEK_SSE41 inline __m128i columnSum(const Split& near, const Split& far, bool odd) {
    return odd ? times3Plus<kBits>(near.odd, far.odd) : times3Plus<kBits>(near.even, far.even);
}

// Even and odd output sums of one colour: `near` is the row holding it inside
// the quad, `far` the one across the centre, `odd` its column parity.
template <int kBits>
LUMVEK_SSE41 inline void colourSums(const RowSplits& near, const RowSplits& far, bool odd, __m128i& evenSum,
                                    __m128i& oddSum) {
    const __m128i v0 = columnSum<kBits>(near.at, far.at, odd);
    const __m128i vm = columnSum<kBits>(near.before, far.before, odd);
    if (odd) {
        evenSum = times3Plus<kBits>(vm, v0);
        oddSum = times3Plus<kBits>(v0, vm);
    } else {
        evenSum = times3Plus<kBits>(v0, vm);
        oddSum = times3Plus<kBits>(v0, columnSum<kBits>(near.after, far.after, odd));
    }
}

// One step of one output row from the splits of its four rows: 16 (8-bit)
// or 8 (16-bit) pixels stored at px. kRedOdd: red on the odd columns; kBpp:
// the output's bytes per pixel.
template <int kBits, bool kRedOdd, int kBpp>
LUMVEK_SSE41 __attribute__((always_inline)) inline void outputStep(const RowSplits& ry, const RowSplits& ry2,
                                                                   const RowSplits& by, const RowSplits& by2,
                                                                   __m128i kRed, __m128i kBlue, uint8_t* px) {
    using L = Lanes<kBits>;
    __m128i redEven, redOddSum, blueEven, blueOdd;
    colourSums<kBits>(ry, ry2, kRedOdd, redEven, redOddSum);
    colourSums<kBits>(by, by2, !kRedOdd, blueEven, blueOdd);
    // Green: the red row's sample on the blue column plus the blue row's
    // on the red column, both inside the quad.
    __m128i greenEven, greenOdd;
    if constexpr (kRedOdd) {
        greenEven = L::add(ry.at.even, by.before.odd);
        greenOdd = L::add(ry.at.even, by.at.odd);
    } else {
        greenEven = L::add(ry.before.odd, by.at.even);
        greenOdd = L::add(ry.at.odd, by.at.even);
    }
    const __m128i red = L::join(L::scale(redEven, kRed), L::scale(redOddSum, kRed));
    const __m128i blue = L::join(L::scale(blueEven, kBlue), L::scale(blueOdd, kBlue));
    const __m128i green = L::join(L::half(greenEven), L::half(greenOdd));
    if constexpr (kBpp == 3 || kBpp == 6) {
        storeTriples(px, blue, green, red, kBits == 8 ? kInterleave8 : kInterleave16);
    } else if constexpr (kBits == 8) {
        storeQuads8(px, blue, green, red);
    } else {
        storeQuads16(px, blue, green, red);
    }
}

// Runs step(x) over a row from column c. A step reads two columns past its
// last output. The last step may overlap the one before, writing the same
// values again, so that the scalar code is left at most one column. Returns
// the first column left.
template <int kBits, typename Step>
LUMVEK_SSE41 __attribute__((always_inline)) inline int stepAlong(int width, int c, Step step) {
    using L = Lanes<kBits>;
    const int lastStart = (width - L::kStep - 2) & ~1;
    if (c > lastStart) {
        return c;
    }
    for (; c < lastStart; c += L::kStep) {
        step(c);
    }
    step(lastStart);
    return lastStart + L::kStep;
}

template <int kBits, typename Sample, bool kRedOdd, int kBpp>
LUMVEK_SSE41 int interiorRow(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
                             int c) {
    using L = Lanes<kBits>;
    const QuadRows q = quadRowsFor(params.bayerMode, r, raw.height);
    auto rowOf = [&](int y) { return reinterpret_cast<const Sample*>(raw.row(y)); };
    const Sample* sRy = rowOf(q.ry);
    const Sample* sRy2 = rowOf(q.ry2);
    const Sample* sBy = rowOf(q.by);
    const Sample* sBy2 = rowOf(q.by2);
    uint8_t* dst = out.row(r);
    const __m128i kRed = L::multiplier(params.redMultiplier);
    const __m128i kBlue = L::multiplier(params.blueMultiplier);
    return stepAlong<kBits>(raw.width, c, [&](int x) LUMVEK_SSE41 __attribute__((always_inline)) {
        outputStep<kBits, kRedOdd, kBpp>(splitsOf<kBits>(sRy, x), splitsOf<kBits>(sRy2, x), splitsOf<kBits>(sBy, x),
                                         splitsOf<kBits>(sBy2, x), kRed, kBlue,
                                         dst + static_cast<std::ptrdiff_t>(x) * kBpp);
    });
}

// Output rows r and r + 1 (rows r - 2 .. r + 2 inside the frame) in one
// sweep, as the AVX2 pair body does: five rows loaded and split where two
// single rows take eight.
template <int kBits, typename Sample, bool kRedAbove, bool kRedOdd, int kBpp>
LUMVEK_SSE41 int interiorPair(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
                              int c) {
    using L = Lanes<kBits>;
    auto rowOf = [&](int y) { return reinterpret_cast<const Sample*>(raw.row(y)); };
    const Sample* up2 = rowOf(r - 2);
    const Sample* up1 = rowOf(r - 1);
    const Sample* mid = rowOf(r);
    const Sample* down1 = rowOf(r + 1);
    const Sample* down2 = rowOf(r + 2);
    uint8_t* dstA = out.row(r);
    uint8_t* dstB = out.row(r + 1);
    const __m128i kRed = L::multiplier(params.redMultiplier);
    const __m128i kBlue = L::multiplier(params.blueMultiplier);
    return stepAlong<kBits>(raw.width, c, [&](int x) LUMVEK_SSE41 __attribute__((always_inline)) {
        const RowSplits m1 = splitsOf<kBits>(up1, x);
        const RowSplits z0 = splitsOf<kBits>(mid, x);
        const RowSplits p1 = splitsOf<kBits>(down1, x);
        const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(x) * kBpp;
        if constexpr (kRedAbove) {
            // Red in rows r - 1 and r + 1, blue in row r.
            outputStep<kBits, kRedOdd, kBpp>(m1, p1, z0, splitsOf<kBits>(up2, x), kRed, kBlue, dstA + at);
            outputStep<kBits, kRedOdd, kBpp>(p1, m1, z0, splitsOf<kBits>(down2, x), kRed, kBlue, dstB + at);
        } else {
            // Red in row r, blue in rows r - 1 and r + 1.
            outputStep<kBits, kRedOdd, kBpp>(z0, splitsOf<kBits>(up2, x), m1, p1, kRed, kBlue, dstA + at);
            outputStep<kBits, kRedOdd, kBpp>(z0, splitsOf<kBits>(down2, x), p1, m1, kRed, kBlue, dstB + at);
        }
    });
}

template <int kBits, typename Sample>
int interiorRowOfLayout(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int c) {
    return withRowLayout<kBits>(out, params, [&](auto kRedOdd, auto kBpp) {
        return interiorRow<kBits, Sample, kRedOdd, kBpp>(raw, out, params, r, c);
    });
}

template <int kBits, typename Sample>
int interiorPairOfLayout(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
                         int c) {
    return withPairLayout<kBits>(raw, out, params, r, [&](auto kRedAbove, auto kRedOdd, auto kBpp) {
        return interiorPair<kBits, Sample, kRedAbove, kRedOdd, kBpp>(raw, out, params, r, c);
    });
}

} // namespace

int interiorRow8Sse41(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int c) {
    return interiorRowOfLayout<8, uint8_t>(raw, out, params, r, c);
}

int interiorRow16Sse41(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int c) {
    return interiorRowOfLayout<16, uint16_t>(raw, out, params, r, c);
}

int interiorRowPair8Sse41(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
                          int c) {
    return interiorPairOfLayout<8, uint8_t>(raw, out, params, r, c);
}

int interiorRowPair16Sse41(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
                           int c) {
    return interiorPairOfLayout<16, uint16_t>(raw, out, params, r, c);
}

} // namespace lumvek::detail

#endif
