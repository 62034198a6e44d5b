// The optimised interpolation: the interior in row bands over the workers,
// each row by the widest vector body the processor has (interpolation_avx512.cpp,
// then interpolation_avx2.cpp for what it leaves),
// the rest of a row and the border strips by the scalar code.
#include <algorithm>
#include <cstdint>

#include "imaging/colour/bayer_pattern.h"
#include "imaging/colour/interpolation.h"
#include "imaging/colour/interpolation_rows.h"
#include "imaging/pipeline/kernel_path.h"
#include "imaging/pipeline/row_bands.h"

namespace lumvek {

namespace detail {

QuadRows quadRowsFor(int mode, int r) {
    QuadRows q{};
    q.ry = (((r - 1) & 1) == redRowParity(mode)) ? r - 1 : r;
    q.by = q.ry == r ? r - 1 : r;
    q.ry2 = q.ry == r - 1 ? r + 1 : r - 2;
    q.by2 = q.by == r - 1 ? r + 1 : r - 2;
    return q;
}

} // namespace detail

namespace {

// The interior columns 2..w-3 of rows [y0, y1), which lie in the interior rows.
void interiorBand(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int y0, int y1) {
    const int x0 = 2;
    const int x1 = raw.width - 2;
    for (int r = y0; r < y1; ++r) {
        int c = x0;
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
        detail::interpolateInteriorRows(raw, out, params, r, r + 1, c, x1);
    }
}

} // namespace

void interpolateOptimisedRows(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int y0,
                              int y1) {
    const int interior0 = std::max(y0, 2);
    const int interior1 = std::min(y1, raw.height - 2);
    if (interior0 < interior1 && raw.width > 4) {
        interiorBand(raw, out, params, interior0, interior1);
    }
    detail::interpolateBorderRows(raw, out, params, y0, y1);
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
