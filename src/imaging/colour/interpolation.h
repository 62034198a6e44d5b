#pragma once
// Bayer interpolation (demosaicing) of an 8- or 16-bit raw frame into a 24/32-
// or 48/64-bit colour frame. Output pixel (r, c) is the colour at the centre
// of the 2 x 2 quad of rows r-1, r and columns c-1, c: green is the mean of
// the quad's two greens, red and blue the 9:3:3:1 weighted mean of the four
// nearest samples of that colour, times the colour's gain.
#include "imaging/pipeline/plane_view.h"

namespace lumvek {

class RowBands;

struct InterpolationParams {
    int bayerMode = 2;         // effective mode (mirrors already folded in)
    int redMultiplier = 128;   // bayerGainMultiplier(red gain)
    int blueMultiplier = 128;  // bayerGainMultiplier(blue gain)
};

// raw: 1 or 2 bytes per pixel; out: 3/4 bytes per pixel for an 8-bit raw,
// 6/8 for a 16-bit one, and the same width and height as raw. Blue goes to
// component 0, green to 1, red to 2; a fourth component is never written.
// Returns false (writing nothing) when the layouts or sizes do not pair.
[[nodiscard]] bool interpolateReference(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params);
[[nodiscard]] bool interpolateOptimised(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params,
                                        RowBands& bands);
// Rows [y0, y1) of the optimised member (borders included) on the calling
// thread, for a chain that runs its next steps on the rows while they are
// in cache. The caller has checked interpolationShapesPair.
void interpolateOptimisedRows(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int y0,
                              int y1);

namespace detail {
// Shared by both paths: the four border strips (top and bottom two rows,
// left and right two columns), where a neighbour outside the frame is
// moved by 4 towards the inside (and, in frames under 4 pixels, on by 2
// until it lies inside).
void interpolateBorders(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params);
// Columns [x0, x1) of row r, any row, with neighbours outside the frame
// moved inside as in the border strips.
void interpolateFoldedColumns(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
                              int x0, int x1);
// Where a neighbour index outside [0, n) is read from (inside indices stay).
[[nodiscard]] int foldIndex(int i, int n);
// Rows [y0, y1) of the interior (rows 2..h-3, columns 2..w-3), scalar.
void interpolateInteriorRows(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int y0,
                             int y1, int x0, int x1);
[[nodiscard]] bool interpolationShapesPair(const PlaneView& raw, const PlaneView& out);
} // namespace detail

} // namespace lumvek
