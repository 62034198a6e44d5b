// The optimised interpolation: rows in bands over the workers, each row by
// the widest vector body the processor has (interpolation_avx512.cpp, then
// interpolation_avx2.cpp for what it leaves, or interpolation_sse41.cpp on
// processors without AVX2), the rest of a row and the
// columns at either end by the scalar code.
#include <algorithm>
#include <cstdint>

#include "imaging/colour/bayer_pattern.h"
#include "imaging/colour/interpolation.h"
#include "imaging/colour/interpolation_rows.h"
#include "imaging/pipeline/kernel_path.h"
#include "imaging/pipeline/row_bands.h"

namespace lumvek {

namespace {

// What the vector bodies left of row r from column c, and the two columns
// at either end, by the scalar code.
void finishRow(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int c) {
    const int w = raw.width;
    if (r >= 2 && r < raw.height - 2) {
        detail::interpolateInteriorRows(raw, out, params, r, r + 1, c, w - 2);
    } else {
        detail::interpolateFoldedColumns(raw, out, params, r, c, w - 2);
    }
    detail::interpolateFoldedColumns(raw, out, params, r, 0, 2);
    detail::interpolateFoldedColumns(raw, out, params, r, w - 2, w);
}

// One output row: columns 2..w-3 by the widest vector body the processor
// has (every row: the top and bottom two read the rows the border strips
// read), the rest by the scalar code.
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
    } else if (cpuFeatures().sse41) {
        c = raw.bytesPerPixel == 1 ? detail::interiorRow8Sse41(raw, out, params, r, c)
                                   : detail::interiorRow16Sse41(raw, out, params, r, c);
    }
#endif
    finishRow(raw, out, params, r, c);
}

// Rows r and r + 1 in one sweep where a pair body serves them (rows
// r - 2 .. r + 2 inside; AVX-512 for three components, else AVX2, else
// SSE4.1); false otherwise.
bool interpolatePair(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r) {
#if defined(__x86_64__)
    if (r < 2 || r + 3 > raw.height || raw.width <= 4) {
        return false;
    }
    const bool narrow = raw.bytesPerPixel == 1;
    int c = 2;
    if (cpuFeatures().avx512vbmi) {
        c = narrow ? detail::interiorRowPair8Avx512(raw, out, params, r, c)
                   : detail::interiorRowPair16Avx512(raw, out, params, r, c);
    }
    if (c == 2 && cpuFeatures().avx2) {  // a four-component output, or no AVX-512
        c = narrow ? detail::interiorRowPair8Avx2(raw, out, params, r, c)
                   : detail::interiorRowPair16Avx2(raw, out, params, r, c);
    } else if (c == 2 && cpuFeatures().sse41) {
        c = narrow ? detail::interiorRowPair8Sse41(raw, out, params, r, c)
                   : detail::interiorRowPair16Sse41(raw, out, params, r, c);
    }
    if (c == 2) {
        return false;  // no pair body, or a frame too narrow for a step
    }
    finishRow(raw, out, params, r, c);
    finishRow(raw, out, params, r + 1, c);
    return true;
#else
    (void)raw, (void)out, (void)params, (void)r;
    return false;
#endif
}

} // namespace

void interpolateOptimisedRows(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int y0,
                              int y1) {
    const int end = std::min(y1, raw.height);
    for (int r = std::max(y0, 0); r < end;) {
        if (r + 1 < end && interpolatePair(raw, out, params, r)) {
            r += 2;
            continue;
        }
        interpolateRow(raw, out, params, r);
        ++r;
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
