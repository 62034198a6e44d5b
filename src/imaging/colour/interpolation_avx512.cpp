// The interpolation interior with AVX-512, 64 (8-bit) or 32 (16-bit) output
// pixels per step, for three-component outputs: the steps of the AVX2 body
// (interpolation_avx2.cpp, where the arithmetic is explained) in registers
// twice as wide, and the three colour planes interleaved by two-register
// permutes: blue and green of each 64-byte output piece in one, red merged
// into it by a masked permute (bytes need VBMI, 16-bit words only BW).
// Four-component outputs are left to the AVX2 body.
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's AVX-512 headers make their "undefined" vectors by initialising a
// variable from itself, which -Wuninitialized and -Wmaybe-uninitialized
// report at unmasked shifts; the values are never read.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include <array>
#include <cstdint>

#include "imaging/colour/bayer_pattern.h"
#include "imaging/colour/interpolation_rows.h"
#include "imaging/pipeline/kernel_path.h"

#if defined(__x86_64__)

namespace lumvek::detail {

namespace {

#define LUMVEK_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

// Interleave indices for three planes of `count` elements (64 bytes or 32
// words) into three output pieces: piece k, element j is pixel (count k + j) / 3,
// component (count k + j) % 3. blueGreen[k] picks blue (index p) or green
// (count + p); red[k] the red index, used where redMask[k] is set.
struct InterleaveTables {
    std::array<std::array<int16_t, 64>, 3> blueGreen{};
    std::array<std::array<int16_t, 64>, 3> red{};
    std::array<uint64_t, 3> redMask{};
};
constexpr InterleaveTables makeInterleave(int count) {
    InterleaveTables t{};
    for (int k = 0; k < 3; ++k) {
        for (int j = 0; j < count; ++j) {
            const int element = count * k + j;
            const int pixel = element / 3;
            const int component = element % 3;
            t.blueGreen[k][j] = static_cast<int16_t>(component == 1 ? count + pixel : pixel);
            t.red[k][j] = static_cast<int16_t>(pixel);
            if (component == 2) {
                t.redMask[k] |= uint64_t{1} << j;
            }
        }
    }
    return t;
}
constexpr InterleaveTables kInterleave8 = makeInterleave(64);
constexpr InterleaveTables kInterleave16 = makeInterleave(32);

template <size_t N>
LUMVEK_AVX512 inline __m512i bytesOf(const std::array<int16_t, N>& idx) {
    alignas(64) int8_t bytes[64];
    for (int i = 0; i < 64; ++i) {
        bytes[i] = static_cast<int8_t>(idx[static_cast<size_t>(i)]);
    }
    return _mm512_load_si512(bytes);
}
template <size_t N>
LUMVEK_AVX512 inline __m512i wordsOf(const std::array<int16_t, N>& idx) {
    return _mm512_loadu_si512(idx.data());
}

struct Split {
    __m512i even, odd;
};
struct RowSplits {
    Split at, before, after;
};

template <int kBits>
struct Lanes;

template <>
struct Lanes<8> {
    static constexpr int kStep = 64;
    LUMVEK_AVX512 static Split split(const uint8_t* p) {
        const __m512i v = _mm512_loadu_si512(p);
        return {_mm512_and_si512(v, _mm512_set1_epi16(0xFF)), _mm512_srli_epi16(v, 8)};
    }
    LUMVEK_AVX512 static __m512i add(__m512i a, __m512i b) { return _mm512_add_epi16(a, b); }
    LUMVEK_AVX512 static __m512i half(__m512i a) { return _mm512_srli_epi16(a, 1); }
    LUMVEK_AVX512 static __m512i scale(__m512i sum, __m512i k) {
        return _mm512_min_epu16(_mm512_mulhi_epu16(sum, k), _mm512_set1_epi16(0xFF));
    }
    LUMVEK_AVX512 static __m512i multiplier(int k) { return _mm512_set1_epi16(static_cast<int16_t>(k << 5)); }
    LUMVEK_AVX512 static __m512i join(__m512i even, __m512i odd) {
        return _mm512_or_si512(even, _mm512_slli_epi16(odd, 8));
    }
    // 64 pixels of B, G, R bytes as 192 bytes of triples.
    LUMVEK_AVX512 static void store(uint8_t* dst, __m512i b, __m512i g, __m512i r) {
        for (int k = 0; k < 3; ++k) {
            const __m512i bg = _mm512_permutex2var_epi8(b, bytesOf(kInterleave8.blueGreen[k]), g);
            const __m512i bgr =
                _mm512_mask_permutexvar_epi8(bg, kInterleave8.redMask[k], bytesOf(kInterleave8.red[k]), r);
            _mm512_storeu_si512(dst + 64 * k, bgr);
        }
    }
};

template <>
struct Lanes<16> {
    static constexpr int kStep = 32;
    LUMVEK_AVX512 static Split split(const uint16_t* p) {
        const __m512i v = _mm512_loadu_si512(p);
        return {_mm512_and_si512(v, _mm512_set1_epi32(0xFFFF)), _mm512_srli_epi32(v, 16)};
    }
    LUMVEK_AVX512 static __m512i add(__m512i a, __m512i b) { return _mm512_add_epi32(a, b); }
    LUMVEK_AVX512 static __m512i half(__m512i a) { return _mm512_srli_epi32(a, 1); }
    LUMVEK_AVX512 static __m512i scale(__m512i sum, __m512i k) {
        return _mm512_min_epu32(_mm512_srli_epi32(_mm512_mullo_epi32(sum, k), 11), _mm512_set1_epi32(0xFFFF));
    }
    LUMVEK_AVX512 static __m512i multiplier(int k) { return _mm512_set1_epi32(k); }
    LUMVEK_AVX512 static __m512i join(__m512i even, __m512i odd) {
        return _mm512_or_si512(even, _mm512_slli_epi32(odd, 16));
    }
    // 32 pixels of B, G, R words as 192 bytes of triples.
    LUMVEK_AVX512 static void store(uint8_t* dst, __m512i b, __m512i g, __m512i r) {
        for (int k = 0; k < 3; ++k) {
            const __m512i bg = _mm512_permutex2var_epi16(b, wordsOf(kInterleave16.blueGreen[k]), g);
            const __m512i bgr = _mm512_mask_permutexvar_epi16(bg, static_cast<__mmask32>(kInterleave16.redMask[k]),
                                                              wordsOf(kInterleave16.red[k]), r);
            _mm512_storeu_si512(dst + 64 * k, bgr);
        }
    }
};

template <int kBits>
LUMVEK_AVX512 inline __m512i times3Plus(__m512i a, __m512i b) {
    using L = Lanes<kBits>;
    return L::add(L::add(a, L::add(a, a)), b);
}

template <int kBits>
LUMVEK_AVX512 inline __m512i columnSum(const Split& near, const Split& far, bool odd) {
    return odd ? times3Plus<kBits>(near.odd, far.odd) : times3Plus<kBits>(near.even, far.even);
}

template <int kBits>
LUMVEK_AVX512 inline void colourSums(const RowSplits& near, const RowSplits& far, bool odd, __m512i& evenSum,
                                     __m512i& oddSum) {
    const __m512i v0 = columnSum<kBits>(near.at, far.at, odd);
    const __m512i vm = columnSum<kBits>(near.before, far.before, odd);
    if (odd) {
        evenSum = times3Plus<kBits>(vm, v0);
        oddSum = times3Plus<kBits>(v0, vm);
    } else {
        evenSum = times3Plus<kBits>(v0, vm);
        oddSum = times3Plus<kBits>(v0, columnSum<kBits>(near.after, far.after, odd));
    }
}

template <int kBits, typename Sample>
LUMVEK_AVX512 inline RowSplits splitsOf(const Sample* row, int c) {
    using L = Lanes<kBits>;
    return {L::split(row + c), L::split(row + c - 2), L::split(row + c + 2)};
}

// The first even column at or after c whose output starts on a 64-byte
// line (c itself when none does within one step).
template <int kBits>
int alignedStart(const uint8_t* rowStart, int c, int bytesPerPixel) {
    constexpr int kLine = 64;
    for (int x = c; x < c + Lanes<kBits>::kStep; x += 2) {
        if (reinterpret_cast<uintptr_t>(rowStart + static_cast<std::ptrdiff_t>(x) * bytesPerPixel) % kLine == 0) {
            return x;
        }
    }
    return c;
}

// One step of one output row from the splits of its four rows: 64 (8-bit)
// or 32 (16-bit) pixels stored at px.
template <int kBits>
LUMVEK_AVX512 __attribute__((always_inline)) inline void outputStep(const RowSplits& ry, const RowSplits& ry2,
                                                                    const RowSplits& by, const RowSplits& by2,
                                                                    bool redOdd, __m512i kRed, __m512i kBlue,
                                                                    uint8_t* px) {
    using L = Lanes<kBits>;
    __m512i redEven, redOddSum, blueEven, blueOdd;
    colourSums<kBits>(ry, ry2, redOdd, redEven, redOddSum);
    colourSums<kBits>(by, by2, !redOdd, blueEven, blueOdd);
    __m512i greenEven, greenOdd;
    if (redOdd) {
        greenEven = L::add(ry.at.even, by.before.odd);
        greenOdd = L::add(ry.at.even, by.at.odd);
    } else {
        greenEven = L::add(ry.before.odd, by.at.even);
        greenOdd = L::add(ry.at.odd, by.at.even);
    }
    L::store(px, L::join(L::scale(blueEven, kBlue), L::scale(blueOdd, kBlue)),
             L::join(L::half(greenEven), L::half(greenOdd)),
             L::join(L::scale(redEven, kRed), L::scale(redOddSum, kRed)));
}

// Runs step(x) over a row from column c: the last step may overlap the one
// before (two columns are read past the last output), and every step after
// the first stores whole 64-byte lines of `dst`: the first one overlaps the
// next so that the next output starts on a line. Stores that straddle lines
// cost two line transfers each. Returns the first column left.
template <int kBits, typename Step>
LUMVEK_AVX512 int stepAlong(int width, int c, const uint8_t* dst, int bpp, Step step) {
    using L = Lanes<kBits>;
    const int lastStart = (width - L::kStep - 2) & ~1;
    if (c > lastStart) {
        return c;
    }
    const int aligned = alignedStart<kBits>(dst, c, bpp);
    if (aligned > c && aligned <= lastStart) {
        step(c);
        c = aligned;
    }
    for (; c < lastStart; c += L::kStep) {
        step(c);
    }
    step(lastStart);
    return lastStart + L::kStep;
}

template <int kBits, typename Sample>
LUMVEK_AVX512 int interiorRow(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
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
    const __m512i kRed = L::multiplier(params.redMultiplier);
    const __m512i kBlue = L::multiplier(params.blueMultiplier);
    return stepAlong<kBits>(raw.width, c, dst, bpp, [&](int x) LUMVEK_AVX512 __attribute__((always_inline)) {
        outputStep<kBits>(splitsOf<kBits>(sRy, x), splitsOf<kBits>(sRy2, x), splitsOf<kBits>(sBy, x),
                          splitsOf<kBits>(sBy2, x), redOdd, kRed, kBlue, dst + static_cast<std::ptrdiff_t>(x) * bpp);
    });
}

// Output rows r and r + 1 (rows r - 2 .. r + 2 inside the frame) in one
// sweep: the pair reads five rows where two single rows read eight. One
// colour's near row is row r for both outputs, its far rows r - 2 and r + 2
// (or r - 1 and r + 1 the other way round); the other colour's rows r - 1
// and r + 1 swap near and far between the two.
template <int kBits, typename Sample, bool kRedAbove>
LUMVEK_AVX512 int interiorPair(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
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
    const int bpp = out.bytesPerPixel;
    const bool redOdd = redColumnParity(params.bayerMode) == 1;
    const __m512i kRed = L::multiplier(params.redMultiplier);
    const __m512i kBlue = L::multiplier(params.blueMultiplier);
    return stepAlong<kBits>(raw.width, c, dstA, bpp, [&](int x) LUMVEK_AVX512 __attribute__((always_inline)) {
        const RowSplits m1 = splitsOf<kBits>(up1, x);
        const RowSplits z0 = splitsOf<kBits>(mid, x);
        const RowSplits p1 = splitsOf<kBits>(down1, x);
        const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(x) * bpp;
        if constexpr (kRedAbove) {
            // Red in rows r - 1 and r + 1, blue in row r.
            outputStep<kBits>(m1, p1, z0, splitsOf<kBits>(up2, x), redOdd, kRed, kBlue, dstA + at);
            outputStep<kBits>(p1, m1, z0, splitsOf<kBits>(down2, x), redOdd, kRed, kBlue, dstB + at);
        } else {
            // Red in row r, blue in rows r - 1 and r + 1.
            outputStep<kBits>(z0, splitsOf<kBits>(up2, x), m1, p1, redOdd, kRed, kBlue, dstA + at);
            outputStep<kBits>(z0, splitsOf<kBits>(down2, x), p1, m1, redOdd, kRed, kBlue, dstB + at);
        }
    });
}

template <int kBits, typename Sample>
int interiorRows(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int c) {
    const QuadRows q = quadRowsFor(params.bayerMode, r, raw.height);
    return q.ry == r - 1 ? interiorPair<kBits, Sample, true>(raw, out, params, r, c)
                         : interiorPair<kBits, Sample, false>(raw, out, params, r, c);
}

} // namespace

int interiorRow8Avx512(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int c) {
    return out.bytesPerPixel == 3 ? interiorRow<8, uint8_t>(raw, out, params, r, c) : c;
}

int interiorRow16Avx512(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int c) {
    return out.bytesPerPixel == 6 ? interiorRow<16, uint16_t>(raw, out, params, r, c) : c;
}

int interiorRowPair8Avx512(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
                           int c) {
    return out.bytesPerPixel == 3 ? interiorRows<8, uint8_t>(raw, out, params, r, c) : c;
}

int interiorRowPair16Avx512(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
                            int c) {
    return out.bytesPerPixel == 6 ? interiorRows<16, uint16_t>(raw, out, params, r, c) : c;
}

} // namespace lumvek::detail

#endif
