// The optimised interpolation: rows in bands over the workers, each row by
// the widest vector body the processor has (interpolation_avx512.cpp, then
// interpolation_avx2.cpp for what it leaves), the rest of a row and the
// columns at either end by the scalar code.
#include <algorithm>
#include <cstdint>

#include "imaging/colour/bayer_pattern.h"
#include "imaging/colour/interpolation.h"
#include "imaging/colour/interpolation_rows.h"
#include "imaging/pipeline/kernel_path.h"
#include "imaging/pipeline/row_bands.h"

namespace lumvek {

namespace detail {

QuadRows quadRowsFor(int mode, int r, int height) {
    QuadRows q{};
    q.ry = (((r - 1) & 1) == redRowParity(mode)) ? r - 1 : r;
    q.by = q.ry == r ? r - 1 : r;
    q.ry2 = q.ry == r - 1 ? r + 1 : r - 2;
    q.by2 = q.by == r - 1 ? r + 1 : r - 2;
    if (r >= 2 && r < height - 2) {
        return q;  // rows r-2 .. r+1 are all inside
    }
    for (int* row : {&q.ry, &q.by, &q.ry2, &q.by2}) {
        *row = foldIndex(*row, height);
    }
    return q;
}

} // namespace detail

namespace {

// One output row: columns 2..w-3 by the widest vector body the processor
// has (every row: the top and bottom two read the rows the border strips
// read), what the vectors leave and the two columns at either end by the
// scalar code.
void interpolateRow(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r) {
    const int w = raw.width;
    if (w <= 4) {
        detail::interpolateFoldedColumns(raw, out, params, r, 0, w);
        return;
    }
    int c = 2;
#if defined(__x86_64__)
    if (cpuFeatures().avx512vbmi) {
        c = raw.bytesPerPixel == 1 ? detail::interiorRow8Avx512(raw, out, params, r, c)
                                   : detail::interiorRow16Avx512(raw, out, params, r, c);
    }
    if (cpuFeatures().avx2) {
        c = raw.bytesPerPixel == 1 ? detail::interiorRow8Avx2(raw, out, params, r, c)
                                   : detail::interiorRow16Avx2(raw, out, params, r, c);
    }
#endif
    if (r >= 2 && r < raw.height - 2) {
        detail::interpolateInteriorRows(raw, out, params, r, r + 1, c, w - 2);
    } else {
        detail::interpolateFoldedColumns(raw, out, params, r, c, w - 2);
    }
    detail::interpolateFoldedColumns(raw, out, params, r, 0, 2);
    detail::interpolateFoldedColumns(raw, out, params, r, w - 2, w);
}

} // namespace

void interpolateOptimisedRows(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int y0,
                              int y1) {
    for (int r = std::max(y0, 0); r < std::min(y1, raw.height); ++r) {
        interpolateRow(raw, out, params, r);
    }
}

bool interpolateOptimised(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params,
                          RowBands& bands) {
    if (!detail::interpolationShapesPair(raw, out)) {
        return false;
    }
    bands.run(0, raw.height, [&](int y0, int y1) { interpolateOptimisedRows(raw, out, params, y0, y1); });
    return true;
}

} // namespace lumvek
