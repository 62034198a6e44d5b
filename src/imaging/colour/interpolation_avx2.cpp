// The interpolation interior with AVX2, 32 (8-bit) or 16 (16-bit) output
// pixels per step. Each raw row is loaded once per step at the step's first
// column and two columns either side, and split into its even and odd
// columns in wider lanes, so every vertical 3a + b sum of a red or blue
// column is made once and serves the two output columns beside it:
//   colour on even columns (v0 = sum at the step's column, vm two before, vp two after):
//     even output 3 v0 + vm, odd output 3 v0 + vp
//   colour on odd columns: even output 3 vm + v0, odd output 3 v0 + vm
// The gain product (sum x k) >> 11 is exact: 8-bit sums are under 2^12 and
// k <= 512, so a 16-bit high multiply by k << 5 gives it; 16-bit sums are
// under 2^20 and use 32-bit lanes. The results are the reference's, bit for bit.
#include <immintrin.h>

#include <array>
#include <cstdint>

#include "imaging/colour/bayer_pattern.h"
#include "imaging/colour/interpolation_rows.h"

#if defined(__x86_64__)

namespace lumvek::detail {

namespace {

#define LUMVEK_AVX2 __attribute__((target("avx2")))

// pshufb masks that interleave three 16-byte planes (unit = 1 or 2 bytes)
// into 48 bytes of B, G, R triples: masks[chunk][plane]. Used on both
// 128-bit halves at once, so the halves give 48 bytes each. A plane holds
// its half's even pixels first and then its odd ones, as the saturating
// pack of the even and odd lanes leaves them.
using InterleaveMasks = std::array<std::array<std::array<int8_t, 32>, 3>, 3>;
constexpr InterleaveMasks makeInterleaveMasks(int unit) {
    InterleaveMasks m{};
    const int evenPixels = 16 / unit / 2;
    for (int chunk = 0; chunk < 3; ++chunk) {
        for (int plane = 0; plane < 3; ++plane) {
            for (int j = 0; j < 32; ++j) {
                const int byte = chunk * 16 + j % 16;
                const int element = byte / unit;
                const int pixel = element / 3;
                const int component = element % 3;
                const int packed = pixel % 2 == 0 ? pixel / 2 : evenPixels + pixel / 2;
                m[chunk][plane][j] =
                    component == plane ? static_cast<int8_t>(packed * unit + byte % unit) : static_cast<int8_t>(-128);
            }
        }
    }
    return m;
}
constexpr InterleaveMasks kInterleave8 = makeInterleaveMasks(1);
constexpr InterleaveMasks kInterleave16 = makeInterleaveMasks(2);

LUMVEK_AVX2 inline __m256i loadAt(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
LUMVEK_AVX2 inline __m128i lo(__m256i v) { return _mm256_castsi256_si128(v); }
LUMVEK_AVX2 inline __m128i hi(__m256i v) { return _mm256_extracti128_si256(v, 1); }

// 32 bytes of B, G and R (or 16 words), each half even pixels then odd, as 96 bytes of triples.
LUMVEK_AVX2 inline void storeTriples(uint8_t* dst, __m256i b, __m256i g, __m256i r, const InterleaveMasks& masks) {
    __m256i chunk[3];
    for (int k = 0; k < 3; ++k) {
        const auto& mask = masks[k];
        chunk[k] = _mm256_or_si256(
            _mm256_or_si256(_mm256_shuffle_epi8(b, loadAt(mask[0].data())), _mm256_shuffle_epi8(g, loadAt(mask[1].data()))),
            _mm256_shuffle_epi8(r, loadAt(mask[2].data())));
    }
    for (int k = 0; k < 3; ++k) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k * 16), lo(chunk[k]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 48 + k * 16), hi(chunk[k]));
    }
}

// Four-component pixels from 16 bytes of B, G, R, keeping the fourth byte in memory.
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
        _mm_storeu_si128(p, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(p), keep), px[i]));
    }
}

// The same from 8 words each.
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
        _mm_storeu_si128(p, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(p), keep), px[i]));
    }
}

// One raw row split into even and odd columns, at the step's column and two before and after.
struct Split {
    __m256i even, odd;
};
struct RowSplits {
    Split at, before, after;
};

// Sample width: lanes of 16 bits for 8-bit samples, 32 bits for 16-bit ones.
template <int kBits>
struct Lanes;

template <>
struct Lanes<8> {
    static constexpr int kStep = 32;  // output pixels per step
    LUMVEK_AVX2 static Split split(const uint8_t* p) {
        const __m256i v = loadAt(p);
        return {_mm256_and_si256(v, _mm256_set1_epi16(0xFF)), _mm256_srli_epi16(v, 8)};
    }
    LUMVEK_AVX2 static __m256i add(__m256i a, __m256i b) { return _mm256_add_epi16(a, b); }
    LUMVEK_AVX2 static __m256i half(__m256i a) { return _mm256_srli_epi16(a, 1); }
    // (sum x k) >> 11, at most 1023: not yet limited to a sample.
    LUMVEK_AVX2 static __m256i scale(__m256i sum, __m256i k) { return _mm256_mulhi_epu16(sum, k); }
    LUMVEK_AVX2 static __m256i limit(__m256i v) { return _mm256_min_epu16(v, _mm256_set1_epi16(0xFF)); }
    LUMVEK_AVX2 static __m256i multiplier(int k) { return _mm256_set1_epi16(static_cast<int16_t>(k << 5)); }
    // Even and odd samples (each at most 0xFF) in pixel order.
    LUMVEK_AVX2 static __m256i join(__m256i even, __m256i odd) {
        return _mm256_or_si256(even, _mm256_slli_epi16(odd, 8));
    }
    // Each half's even samples, then its odd ones, limited by the pack's saturation.
    LUMVEK_AVX2 static __m256i pack(__m256i even, __m256i odd) { return _mm256_packus_epi16(even, odd); }
};

template <>
struct Lanes<16> {
    static constexpr int kStep = 16;
    LUMVEK_AVX2 static Split split(const uint16_t* p) {
        const __m256i v = loadAt(p);
        return {_mm256_and_si256(v, _mm256_set1_epi32(0xFFFF)), _mm256_srli_epi32(v, 16)};
    }
    LUMVEK_AVX2 static __m256i add(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
    LUMVEK_AVX2 static __m256i half(__m256i a) { return _mm256_srli_epi32(a, 1); }
    // (sum x k) >> 11, under 2^18: not yet limited to a sample.
    LUMVEK_AVX2 static __m256i scale(__m256i sum, __m256i k) {
        return _mm256_srli_epi32(_mm256_mullo_epi32(sum, k), 11);
    }
    LUMVEK_AVX2 static __m256i limit(__m256i v) { return _mm256_min_epu32(v, _mm256_set1_epi32(0xFFFF)); }
    LUMVEK_AVX2 static __m256i multiplier(int k) { return _mm256_set1_epi32(k); }
    LUMVEK_AVX2 static __m256i join(__m256i even, __m256i odd) {
        return _mm256_or_si256(even, _mm256_slli_epi32(odd, 16));
    }
    LUMVEK_AVX2 static __m256i pack(__m256i even, __m256i odd) { return _mm256_packus_epi32(even, odd); }
};

template <int kBits, typename Sample>
LUMVEK_AVX2 inline RowSplits splitsOf(const Sample* row, int c) {
    using L = Lanes<kBits>;
    return {L::split(row + c), L::split(row + c - 2), L::split(row + c + 2)};
}

template <int kBits>
LUMVEK_AVX2 inline __m256i times3Plus(__m256i a, __m256i b) {
    using L = Lanes<kBits>;
    return L::add(L::add(a, L::add(a, a)), b);
}

template <int kBits>
LUMVEK_AVX2 inline __m256i columnSum(const Split& near, const Split& far, bool odd) {
    return odd ? times3Plus<kBits>(near.odd, far.odd) : times3Plus<kBits>(near.even, far.even);
}

// Even and odd output sums of one colour: `near` is the row holding it inside
// the quad, `far` the one across the centre, `odd` its column parity.
template <int kBits>
LUMVEK_AVX2 inline void colourSums(const RowSplits& near, const RowSplits& far, bool odd, __m256i& evenSum,
                                   __m256i& oddSum) {
    const __m256i v0 = columnSum<kBits>(near.at, far.at, odd);
    const __m256i vm = columnSum<kBits>(near.before, far.before, odd);
    if (odd) {
        evenSum = times3Plus<kBits>(vm, v0);
        oddSum = times3Plus<kBits>(v0, vm);
    } else {
        evenSum = times3Plus<kBits>(v0, vm);
        oddSum = times3Plus<kBits>(v0, columnSum<kBits>(near.after, far.after, odd));
    }
}

// One step of one output row from the splits of its four rows: 32 (8-bit)
// or 16 (16-bit) pixels stored at px.
template <int kBits>
LUMVEK_AVX2 __attribute__((always_inline)) inline void outputStep(const RowSplits& ry, const RowSplits& ry2,
                                                                  const RowSplits& by, const RowSplits& by2,
                                                                  bool redOdd, __m256i kRed, __m256i kBlue,
                                                                  uint8_t* px, int bpp) {
    using L = Lanes<kBits>;
    __m256i redEven, redOddSum, blueEven, blueOdd;
    colourSums<kBits>(ry, ry2, redOdd, redEven, redOddSum);
    colourSums<kBits>(by, by2, !redOdd, blueEven, blueOdd);
    // Green: the red row's sample on the blue column plus the blue row's
    // on the red column, both inside the quad.
    __m256i greenEven, greenOdd;
    if (redOdd) {
        greenEven = L::add(ry.at.even, by.before.odd);
        greenOdd = L::add(ry.at.even, by.at.odd);
    } else {
        greenEven = L::add(ry.before.odd, by.at.even);
        greenOdd = L::add(ry.at.odd, by.at.even);
    }
    redEven = L::scale(redEven, kRed);
    redOddSum = L::scale(redOddSum, kRed);
    blueEven = L::scale(blueEven, kBlue);
    blueOdd = L::scale(blueOdd, kBlue);
    greenEven = L::half(greenEven);
    greenOdd = L::half(greenOdd);
    if (bpp == 3 || bpp == 6) {
        storeTriples(px, L::pack(blueEven, blueOdd), L::pack(greenEven, greenOdd), L::pack(redEven, redOddSum),
                     kBits == 8 ? kInterleave8 : kInterleave16);
        return;
    }
    const __m256i red = L::join(L::limit(redEven), L::limit(redOddSum));
    const __m256i blue = L::join(L::limit(blueEven), L::limit(blueOdd));
    const __m256i green = L::join(greenEven, greenOdd);
    const int halfBytes = L::kStep / 2 * bpp;
    if constexpr (kBits == 8) {
        storeQuads8(px, lo(blue), lo(green), lo(red));
        storeQuads8(px + halfBytes, hi(blue), hi(green), hi(red));
    } else {
        storeQuads16(px, lo(blue), lo(green), lo(red));
        storeQuads16(px + halfBytes, hi(blue), hi(green), hi(red));
    }
}

// Runs step(x) over a row from column c. A step reads two columns past its
// last output. The last step may overlap the one before, writing the same
// values again, so that the scalar code is left at most one column. Returns
// the first column left.
template <int kBits, typename Step>
LUMVEK_AVX2 __attribute__((always_inline)) inline int stepAlong(int width, int c, Step step) {
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

template <int kBits, typename Sample>
LUMVEK_AVX2 int interiorRow(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
                            int c) {
    using L = Lanes<kBits>;
    const QuadRows q = quadRowsFor(params.bayerMode, r, raw.height);
    auto rowOf = [&](int y) { return reinterpret_cast<const Sample*>(raw.row(y)); };
    const Sample* sRy = rowOf(q.ry);
    const Sample* sRy2 = rowOf(q.ry2);
    const Sample* sBy = rowOf(q.by);
    const Sample* sBy2 = rowOf(q.by2);
    uint8_t* dst = out.row(r);
    const int bpp = out.bytesPerPixel;
    const bool redOdd = redColumnParity(params.bayerMode) == 1;
    const __m256i kRed = L::multiplier(params.redMultiplier);
    const __m256i kBlue = L::multiplier(params.blueMultiplier);
    return stepAlong<kBits>(raw.width, c, [&](int x) LUMVEK_AVX2 __attribute__((always_inline)) {
        outputStep<kBits>(splitsOf<kBits>(sRy, x), splitsOf<kBits>(sRy2, x), splitsOf<kBits>(sBy, x),
                          splitsOf<kBits>(sBy2, x), redOdd, kRed, kBlue, dst + static_cast<std::ptrdiff_t>(x) * bpp,
                          bpp);
    });
}

// Output rows r and r + 1 (rows r - 2 .. r + 2 inside the frame) in one
// sweep: the pair loads and splits five rows where two single rows take
// eight. One colour's near row is row r for both outputs, its far rows
// r - 2 and r + 2 (or r - 1 and r + 1 the other way round); the other
// colour's rows r - 1 and r + 1 swap near and far between the two. kBpp is
// the output's bytes per pixel.
template <int kBits, typename Sample, bool kRedAbove, bool kRedOdd, int kBpp>
LUMVEK_AVX2 int interiorPair(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
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
    constexpr int bpp = kBpp;
    constexpr bool redOdd = kRedOdd;
    const __m256i kRed = L::multiplier(params.redMultiplier);
    const __m256i kBlue = L::multiplier(params.blueMultiplier);
    return stepAlong<kBits>(raw.width, c, [&](int x) LUMVEK_AVX2 __attribute__((always_inline)) {
        const RowSplits m1 = splitsOf<kBits>(up1, x);
        const RowSplits z0 = splitsOf<kBits>(mid, x);
        const RowSplits p1 = splitsOf<kBits>(down1, x);
        const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(x) * bpp;
        if constexpr (kRedAbove) {
            // Red in rows r - 1 and r + 1, blue in row r.
            outputStep<kBits>(m1, p1, z0, splitsOf<kBits>(up2, x), redOdd, kRed, kBlue, dstA + at, bpp);
            outputStep<kBits>(p1, m1, z0, splitsOf<kBits>(down2, x), redOdd, kRed, kBlue, dstB + at, bpp);
        } else {
            // Red in row r, blue in rows r - 1 and r + 1.
            outputStep<kBits>(z0, splitsOf<kBits>(up2, x), m1, p1, redOdd, kRed, kBlue, dstA + at, bpp);
            outputStep<kBits>(z0, splitsOf<kBits>(down2, x), p1, m1, redOdd, kRed, kBlue, dstB + at, bpp);
        }
    });
}

template <int kBits, typename Sample>
int interiorRows(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int c) {
    return withPairLayout<kBits>(raw, out, params, r, [&](auto kRedAbove, auto kRedOdd, auto kBpp) {
        return interiorPair<kBits, Sample, kRedAbove, kRedOdd, kBpp>(raw, out, params, r, c);
    });
}

} // namespace

int interiorRow8Avx2(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int c) {
    return interiorRow<8, uint8_t>(raw, out, params, r, c);
}

int interiorRow16Avx2(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int c) {
    return interiorRow<16, uint16_t>(raw, out, params, r, c);
}

int interiorRowPair8Avx2(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
                         int c) {
    return interiorRows<8, uint8_t>(raw, out, params, r, c);
}

int interiorRowPair16Avx2(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
                          int c) {
    return interiorRows<16, uint16_t>(raw, out, params, r, c);
}

} // namespace lumvek::detail

#endif
