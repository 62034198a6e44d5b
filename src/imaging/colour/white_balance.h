#pragma once
// Automatic white balance: the means of the red, green and blue samples of
// a raw frame give red and blue gains (percent) that bring them to green.
#include "imaging/pipeline/plane_view.h"

namespace lumvek {

class RowBands;

struct WhiteBalanceGains {
    int red = 100;
    int green = 100;
    int blue = 100;
};

// Sums of the samples of each colour (both greens together) and their counts.
struct ColourSums {
    uint64_t red = 0, green = 0, blue = 0;
    uint64_t redCount = 0, greenCount = 0, blueCount = 0;
};

[[nodiscard]] ColourSums sumColoursReference(const PlaneView& raw, int bayerMode);
[[nodiscard]] ColourSums sumColoursOptimised(const PlaneView& raw, int bayerMode, RowBands& bands);

// Gains from the sums: red = trunc(S / mean red / 3 x 100 / N) with
// S = sum of the three means and N = S / mean green / 3, blue likewise, green
// 100, each at most 400. A colour with no samples or a zero mean gives no
// gains at all (returns false; the caller keeps the previous ones).
[[nodiscard]] bool whiteBalanceGainsFrom(const ColourSums& sums, WhiteBalanceGains& gains);

} // namespace lumvek
