#pragma once
// The vector bodies of the interpolation interior, one output row at a time.
// Each returns the first column it left for the scalar code; c is even.
#include <type_traits>

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

// Rows of one output row: the row holding red inside the quad and the red
// row across the centre, the same for blue. Rows outside the frame (output
// rows 0, 1, h-2 and h-1) are the ones the border strips read instead, so
// the vector bodies serve every row of the frame.
struct QuadRows {
    int ry, ry2, by, by2;
};
[[nodiscard]] QuadRows quadRowsFor(int mode, int r, int height);

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
