#include <algorithm>
#include <cstdint>

#include "imaging/colour/bayer_pattern.h"
#include "imaging/colour/interpolation.h"
#include "imaging/colour/interpolation_rows.h"

namespace lumvek {

namespace {

// Where the samples of one output pixel are read: the quad's rows and
// columns holding red and blue, and those of the same colour across the
// quad's centre.
struct QuadIndex {
    detail::QuadRows rows;
    int rx, bx, rx2, bx2;
};

detail::QuadRows unfoldedRows(int mode, int r) {
    detail::QuadRows q{};
    q.ry = (((r - 1) & 1) == redRowParity(mode)) ? r - 1 : r;
    q.by = q.ry == r ? r - 1 : r;
    q.ry2 = q.ry == r - 1 ? r + 1 : r - 2;
    q.by2 = q.by == r - 1 ? r + 1 : r - 2;
    return q;
}

// foldIndex, with the common case (the index inside) inline.
inline int foldedIndex(int i, int n) { return i >= 0 && i < n ? i : detail::foldIndex(i, n); }

inline void setQuadColumns(QuadIndex& q, int mode, int c, int width, bool fold) {
    q.rx = (((c - 1) & 1) == redColumnParity(mode)) ? c - 1 : c;
    q.bx = q.rx == c ? c - 1 : c;
    q.rx2 = q.rx == c - 1 ? c + 1 : c - 2;
    q.bx2 = q.bx == c - 1 ? c + 1 : c - 2;
    if (fold) {
        q.rx = foldedIndex(q.rx, width);
        q.bx = foldedIndex(q.bx, width);
        q.rx2 = foldedIndex(q.rx2, width);
        q.bx2 = foldedIndex(q.bx2, width);
    }
}

// The four raw rows of a quad.
template <typename Sample>
struct QuadRowSamples {
    const Sample *ry, *ry2, *by, *by2;
};

template <typename Sample>
QuadRowSamples<Sample> rowSamplesOf(const PlaneView& raw, const detail::QuadRows& rows) {
    auto at = [&](int y) { return reinterpret_cast<const Sample*>(raw.row(y)); };
    return {at(rows.ry), at(rows.ry2), at(rows.by), at(rows.by2)};
}

// Output pixel px from samples at the quad's columns, all inside the frame.
template <typename Sample>
inline void writePixel(const QuadRowSamples<Sample>& y, const QuadIndex& q, const InterpolationParams& params,
                       Sample* px) {
    constexpr int32_t kMax = sizeof(Sample) == 1 ? 255 : 65535;
    const int32_t redSum = 9 * y.ry[q.rx] + 3 * y.ry2[q.rx] + 3 * y.ry[q.rx2] + y.ry2[q.rx2];
    const int32_t blueSum = 9 * y.by[q.bx] + 3 * y.by2[q.bx] + 3 * y.by[q.bx2] + y.by2[q.bx2];
    const int32_t green = (y.ry[q.bx] + y.by[q.rx]) >> 1;
    const int32_t red = std::min((redSum * params.redMultiplier) >> 11, kMax);
    const int32_t blue = std::min((blueSum * params.blueMultiplier) >> 11, kMax);
    px[0] = static_cast<Sample>(blue);
    px[1] = static_cast<Sample>(green);
    px[2] = static_cast<Sample>(red);
}

template <typename Sample>
Sample* outputPixel(const PlaneView& out, int r, int c) {
    return reinterpret_cast<Sample*>(out.row(r) + static_cast<std::ptrdiff_t>(c) * out.bytesPerPixel);
}

// One output pixel. fold = false in the interior, where every neighbour lies
// inside the frame.
template <typename Sample, bool fold>
void interpolatePixel(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int c) {
    QuadIndex q{};
    q.rows = fold ? detail::quadRowsFor(params.bayerMode, r, raw.height) : unfoldedRows(params.bayerMode, r);
    setQuadColumns(q, params.bayerMode, c, raw.width, fold);
    writePixel<Sample>(rowSamplesOf<Sample>(raw, q.rows), q, params, outputPixel<Sample>(out, r, c));
}

// Columns [x0, x1) of row r with every index folded, the rows once.
template <typename Sample>
void foldedColumns(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int x0,
                   int x1) {
    QuadIndex q{};
    q.rows = detail::quadRowsFor(params.bayerMode, r, raw.height);
    const QuadRowSamples<Sample> rows = rowSamplesOf<Sample>(raw, q.rows);
    for (int c = std::max(x0, 0); c < std::min(x1, raw.width); ++c) {
        setQuadColumns(q, params.bayerMode, c, raw.width, true);
        writePixel<Sample>(rows, q, params, outputPixel<Sample>(out, r, c));
    }
}

template <typename Sample>
void bordersOf(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params) {
    const int w = raw.width;
    const int h = raw.height;
    auto strip = [&](int y0, int y1, int x0, int x1) {
        for (int r = std::max(y0, 0); r < std::min(y1, h); ++r) {
            for (int c = std::max(x0, 0); c < std::min(x1, w); ++c) {
                interpolatePixel<Sample, true>(raw, out, params, r, c);
            }
        }
    };
    strip(0, 2, 0, w);          // top two rows
    strip(h - 2, h, 0, w);      // bottom two rows
    strip(0, h, 0, 2);          // left two columns
    strip(0, h, w - 2, w);      // right two columns
}

} // namespace

namespace detail {

QuadRows quadRowsFor(int mode, int r, int height) {
    QuadRows q = unfoldedRows(mode, r);
    if (r >= 2 && r < height - 2) {
        return q;  // rows r-2 .. r+1 are all inside
    }
    for (int* row : {&q.ry, &q.by, &q.ry2, &q.by2}) {
        *row = foldIndex(*row, height);
    }
    return q;
}

// A neighbour index outside [0, n) moves by 4 towards the inside, which
// keeps its colour phase. Frames under 4 pixels need further steps of 2; a
// single row or column has only index 0.
int foldIndex(int i, int n) {
    if (i < 0) {
        i += 4;
    } else if (i >= n) {
        i -= 4;
    }
    if (i >= 0 && i < n) {
        return i;
    }
    if (n < 2) {
        return 0;
    }
    while (i < 0) {
        i += 2;
    }
    while (i >= n) {
        i -= 2;
    }
    return i;
}

bool interpolationShapesPair(const PlaneView& raw, const PlaneView& out) {
    if (raw.empty() || out.empty() || raw.width != out.width || raw.height != out.height) {
        return false;
    }
    if (raw.bytesPerPixel == 1) {
        return out.bytesPerPixel == 3 || out.bytesPerPixel == 4;
    }
    if (raw.bytesPerPixel == 2) {
        return out.bytesPerPixel == 6 || out.bytesPerPixel == 8;
    }
    return false;
}

void interpolateBorders(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params) {
    if (raw.bytesPerPixel == 1) {
        bordersOf<uint8_t>(raw, out, params);
    } else {
        bordersOf<uint16_t>(raw, out, params);
    }
}

void interpolateFoldedColumns(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r,
                              int x0, int x1) {
    if (raw.bytesPerPixel == 1) {
        foldedColumns<uint8_t>(raw, out, params, r, x0, x1);
    } else {
        foldedColumns<uint16_t>(raw, out, params, r, x0, x1);
    }
}

void interpolateInteriorRows(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int y0,
                             int y1, int x0, int x1) {
    for (int r = y0; r < y1; ++r) {
        for (int c = x0; c < x1; ++c) {
            if (raw.bytesPerPixel == 1) {
                interpolatePixel<uint8_t, false>(raw, out, params, r, c);
            } else {
                interpolatePixel<uint16_t, false>(raw, out, params, r, c);
            }
        }
    }
}

} // namespace detail

bool interpolateReference(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params) {
    if (!detail::interpolationShapesPair(raw, out)) {
        return false;
    }
    // Interior first (rows 2..h-3, columns 2..w-3), then the border strips.
    detail::interpolateInteriorRows(raw, out, params, 2, raw.height - 2, 2, raw.width - 2);
    detail::interpolateBorders(raw, out, params);
    return true;
}

} // namespace lumvek
