#include <algorithm>
#include <cstdint>

#include "imaging/colour/bayer_pattern.h"
#include "imaging/colour/interpolation.h"

namespace lumvek {

namespace {

template <typename Sample>
Sample sampleAt(const PlaneView& raw, int y, int x) {
    return reinterpret_cast<const Sample*>(raw.row(y))[x];
}

// One output pixel. fold = false in the interior, where every neighbour lies
// inside the frame.
template <typename Sample, bool fold>
void interpolatePixel(const PlaneView& raw, const PlaneView& out, const InterpolationParams& params, int r, int c) {
    constexpr int32_t kMax = sizeof(Sample) == 1 ? 255 : 65535;
    const int mode = params.bayerMode;
    // Quad rows r-1, r and columns c-1, c: which hold red and blue.
    const int ry = (((r - 1) & 1) == redRowParity(mode)) ? r - 1 : r;
    const int by = ry == r ? r - 1 : r;
    const int rx = (((c - 1) & 1) == redColumnParity(mode)) ? c - 1 : c;
    const int bx = rx == c ? c - 1 : c;
    // The sample of the same colour across the quad centre.
    const int ry2 = ry == r - 1 ? r + 1 : r - 2;
    const int by2 = by == r - 1 ? r + 1 : r - 2;
    const int rx2 = rx == c - 1 ? c + 1 : c - 2;
    const int bx2 = bx == c - 1 ? c + 1 : c - 2;
    auto at = [&](int y, int x) -> int32_t {
        if constexpr (fold) {
            return sampleAt<Sample>(raw, detail::foldIndex(y, raw.height), detail::foldIndex(x, raw.width));
        } else {
            return sampleAt<Sample>(raw, y, x);
        }
    };
    const int32_t redSum = 9 * at(ry, rx) + 3 * at(ry2, rx) + 3 * at(ry, rx2) + at(ry2, rx2);
    const int32_t blueSum = 9 * at(by, bx) + 3 * at(by2, bx) + 3 * at(by, bx2) + at(by2, bx2);
    const int32_t green = (at(ry, bx) + at(by, rx)) >> 1;
    const int32_t red = std::min((redSum * params.redMultiplier) >> 11, kMax);
    const int32_t blue = std::min((blueSum * params.blueMultiplier) >> 11, kMax);

    auto* px = reinterpret_cast<Sample*>(out.row(r) + static_cast<std::ptrdiff_t>(c) * out.bytesPerPixel);
    px[0] = static_cast<Sample>(blue);
    px[1] = static_cast<Sample>(green);
    px[2] = static_cast<Sample>(red);
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
    for (int c = std::max(x0, 0); c < std::min(x1, raw.width); ++c) {
        if (raw.bytesPerPixel == 1) {
            interpolatePixel<uint8_t, true>(raw, out, params, r, c);
        } else {
            interpolatePixel<uint16_t, true>(raw, out, params, r, c);
        }
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
