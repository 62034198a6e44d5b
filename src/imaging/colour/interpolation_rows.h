#pragma once
// The vector bodies of the interpolation interior, one output row at a time.
// Each returns the first column it left for the scalar code; c is even.
#include <type_traits>

#include "imaging/colour/bayer_pattern.h"
#include "imaging/colour/interpolation.h"

namespace lumvek::detail {

// body(std::bool_constant<f>{}...) for the run-time flags f given: the
// choices a row kernel makes once per frame (the Bayer phase, the output
// layout) become compile-time constants, so that its loop carries no branch
// on them and no register for them.
template <typename Body>
int withFlags(Body body) {
    return body();
}
template <typename Body, typename... Flags>
int withFlags(Body body, bool flag, Flags... rest) {
    if (flag) {
        return withFlags([&](auto... more) { return body(std::true_type{}, more...); }, rest...);
    }
    return withFlags([&](auto... more) { return body(std::false_type{}, more...); }, rest...);
}

// body(kRedOdd, kBpp) for one output row: whether red is on the odd
// columns and the output's bytes per pixel (3 or 4 for 8-bit samples, 6 or
// 8 for 16-bit ones), both as compile-time constants.
template <int kBits, typename Body>
int withRowLayout(const PlaneView& out, const InterpolationParams& params, Body body) {
    const bool redOdd = redColumnParity(params.bayerMode) == 1;
    const bool triples = out.bytesPerPixel == 3 || out.bytesPerPixel == 6;
    return withFlags(
        [&](auto kRedOdd, auto kTriples) {
            return body(kRedOdd, std::integral_constant<int, (kBits == 8 ? 3 : 6) + (kTriples ? 0 : kBits / 8)>{});
        },
        redOdd, triples);
}

// Rows of one output row: the row holding red inside the quad and the red
// row across the centre, the same for blue. Rows outside the frame (output
// rows 0, 1, h-2 and h-1) are the ones the border strips read instead, so
// the vector bodies serve every row of the frame.
struct QuadRows {
    int ry, ry2, by, by2;
};
[[nodiscard]] QuadRows quadRowsFor(int mode, int r, int height);

// body(kRedAbove, kRedOdd, kBpp) for output rows r and r + 1: whether row
// r - 1 holds red, then as withRowLayout.
template <int kBits, typename Body>
int withPairLayout(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, Body body) {
    const bool redAbove = quadRowsFor(params.bayerMode, r, raw.height).ry == r - 1;
    return withFlags(
        [&](auto kRedAbove) {
            return withRowLayout<kBits>(out, params,
                                        [&](auto kRedOdd, auto kBpp) { return body(kRedAbove, kRedOdd, kBpp); });
        },
        redAbove);
}

#if defined(__x86_64__)
// SSE4.1 and SSSE3, for processors without AVX2.
int interiorRow8Sse41(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int c);
int interiorRow16Sse41(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int c);
// Output rows r and r + 1 together, from the five rows r - 2 .. r + 2, which
// must all lie inside the frame; returns the first column left in both.
int interiorRowPair8Sse41(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
                          int c);
int interiorRowPair16Sse41(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
                           int c);
int interiorRow8Avx2(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int c);
int interiorRow16Avx2(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int c);
// Output rows r and r + 1 together, from the five rows r - 2 .. r + 2, which
// must all lie inside the frame; returns the first column left in both.
int interiorRowPair8Avx2(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int c);
int interiorRowPair16Avx2(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
                          int c);
// Three-component outputs only (others return c); AVX-512 BW and VBMI.
int interiorRow8Avx512(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int c);
int interiorRow16Avx512(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int c);
// Output rows r and r + 1 together, from the five rows r - 2 .. r + 2, which
// must all lie inside the frame; returns the first column left in both.
int interiorRowPair8Avx512(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
                           int c);
int interiorRowPair16Avx512(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
                            int c);
#endif

} // namespace lumvek::detail
