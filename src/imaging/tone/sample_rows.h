#pragma once
// Walks the samples a tone operation changes: the one sample of a
// monochrome pixel, the first three components of a colour pixel (never a
// fourth), stepping by the buffer's bytes per pixel and stride.
#include <cstdint>

#include "imaging/pipeline/plane_view.h"

namespace lumvek {

// Calls fn(sample&) for every changed sample of rows [y0, y1).
// The function object is copied into the loop's own frame: stores through a
// byte pointer may alias anything reachable by reference, which would make
// the compiler reload the caller's captures for every sample.
template <typename Sample, typename Fn>
void forEachSample(const PlaneView& image, int y0, int y1, const Fn& function) {
    Fn fn = function;
    const int components = image.bytesPerPixel / static_cast<int>(sizeof(Sample));
    const int used = components == 1 ? 1 : 3;
    for (int y = y0; y < y1; ++y) {
        auto* px = reinterpret_cast<Sample*>(image.row(y));
        if (components == used) {  // every sample of the row, no gaps
            const int n = image.width * components;
            for (int i = 0; i < n; ++i) {
                fn(px[i]);
            }
            continue;
        }
        for (int x = 0; x < image.width; ++x, px += components) {
            fn(px[0]);
            fn(px[1]);
            fn(px[2]);
        }
    }
}

// The row loop of the 8-bit vector bodies (1-, 3- and 4-byte pixels):
// vectorRow(row, count, keepFourth) handles a leading run of the row's
// bytes and returns how many; scalar(sample&) finishes the row, skipping
// the fourth byte of 4-byte pixels. False (nothing done) for other layouts.
template <typename VectorRow, typename Scalar>
bool forEachRow8(const PlaneView& image, int y0, int y1, VectorRow vectorRow, Scalar scalar) {
    if (image.bytesPerPixel != 1 && image.bytesPerPixel != 3 && image.bytesPerPixel != 4) {
        return false;
    }
    const bool keepFourth = image.bytesPerPixel == 4;
    const int count = image.width * image.bytesPerPixel;
    for (int y = y0; y < y1; ++y) {
        uint8_t* row = image.row(y);
        for (int i = vectorRow(row, count, keepFourth); i < count; ++i) {
            if (!keepFourth || (i & 3) != 3) {
                scalar(row[i]);
            }
        }
    }
    return true;
}

// The same for the 16-bit vector bodies (2-, 6- and 8-byte pixels), counting
// 16-bit samples and skipping the fourth of 8-byte pixels.
template <typename VectorRow, typename Scalar>
bool forEachRow16(const PlaneView& image, int y0, int y1, VectorRow vectorRow, Scalar scalar) {
    if (image.bytesPerPixel != 2 && image.bytesPerPixel != 6 && image.bytesPerPixel != 8) {
        return false;
    }
    const bool keepFourth = image.bytesPerPixel == 8;
    const int count = image.width * image.bytesPerPixel / 2;
    for (int y = y0; y < y1; ++y) {
        uint16_t* row = image.row16(y);
        for (int i = vectorRow(row, count, keepFourth); i < count; ++i) {
            if (!keepFourth || (i & 3) != 3) {
                scalar(row[i]);
            }
        }
    }
    return true;
}

} // namespace lumvek
