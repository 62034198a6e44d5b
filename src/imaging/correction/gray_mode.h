#pragma once
// Gray-level correction of monochrome frames: per-cell gain and offset
// (gray mode 1) with its one-shot gain measurement, and the luminance
// conversion (gray mode 2). The four cells of the 2 x 2 pattern are named
// R, G1, G2, B by the gray filter itself: with the stored Bayer mode m, row
// phase p = (y & 1) ^ (m & 1) and column phase q = (x & 1) ^ (m >> 1),
// (0,0) is G1, (0,1) R, (1,0) B, (1,1) G2.
#include <array>
#include <cstdint>

#include "imaging/pipeline/plane_view.h"

namespace lumvek {

class RowBands;

enum GrayCell { kGrayR = 0, kGrayG1 = 1, kGrayG2 = 2, kGrayB = 3 };

[[nodiscard]] constexpr GrayCell grayCellAt(int bayerMode, int y, int x) {
    const int p = (y & 1) ^ (bayerMode & 1);
    const int q = (x & 1) ^ ((bayerMode >> 1) & 1);
    if (p == 0) {
        return q == 0 ? kGrayG1 : kGrayR;
    }
    return q == 0 ? kGrayB : kGrayG2;
}

struct GrayLevels {
    std::array<int, 4> gain{128, 128, 128, 128};     // 0..255, 128 = unity; by GrayCell
    std::array<int, 4> offset{128, 128, 128, 128};   // -255..255; by GrayCell
    [[nodiscard]] bool allUnity() const;             // all eight are 128
};

// The gain measurement: the mean of each cell leaving out the extreme
// values (0 and 255, or 0 and 65535 for 16-bit samples taken as samples),
// then gain R = trunc(mean G1 / mean R x 128) in single precision, G1 128,
// and G2, B like R. A cell without samples leaves its gain unchanged, and a
// gain is limited to the range its setter accepts (0..255).
void measureGrayGains(const PlaneView& raw, int bayerMode, std::array<int, 4>& gains);

// Gray mode 1: v = trunc(v x gain / 128) + offset, limited to 0..max, in place.
[[nodiscard]] bool grayGainOffsetReference(const PlaneView& raw, int bayerMode, const GrayLevels& levels);
[[nodiscard]] bool grayGainOffsetOptimised(const PlaneView& raw, int bayerMode, const GrayLevels& levels,
                                           RowBands& bands);

// Gray mode 2, second half: raw 8-bit sample = (59 G + 30 R + 11 B) / 100 of
// the interpolated 24/32-bit colour frame of the same size.
[[nodiscard]] bool grayLuminanceReference(const PlaneView& raw, const PlaneView& colour);
[[nodiscard]] bool grayLuminanceOptimised(const PlaneView& raw, const PlaneView& colour, RowBands& bands);

} // namespace lumvek
