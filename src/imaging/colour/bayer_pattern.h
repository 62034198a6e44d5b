#pragma once
// The 2 x 2 colour filter of the sensor. The Bayer mode names the colour at
// row 0, column 0: bit 0 is the row phase, bit 1 the column phase.
//   mode 0: G B / R G   mode 1: R G / G B   mode 2: B G / G R   mode 3: G R / B G
#include <algorithm>

namespace lumvek {

enum class BayerColour { Red, Green, Blue };

// Mirroring moves the pattern: a vertical flip exchanges modes 0<->1 and
// 2<->3, a horizontal flip 0<->2 and 1<->3.
[[nodiscard]] constexpr int effectiveBayerMode(int mode, bool mirrorV, bool mirrorH) {
    int m = mode & 3;
    if (mirrorV) {
        m ^= 1;
    }
    if (mirrorH) {
        m ^= 2;
    }
    return m;
}

// Row phase p and column phase q of a pixel; (0,0) green, (0,1) blue,
// (1,0) red, (1,1) green. Works for negative coordinates too.
[[nodiscard]] constexpr BayerColour bayerColourAt(int mode, int y, int x) {
    const int p = (y & 1) ^ (mode & 1);
    const int q = (x & 1) ^ ((mode >> 1) & 1);
    if (p == q) {
        return BayerColour::Green;
    }
    return p == 1 ? BayerColour::Red : BayerColour::Blue;
}

// Row / column parity of the red and blue samples under a mode.
[[nodiscard]] constexpr int redRowParity(int mode) { return 1 ^ (mode & 1); }
[[nodiscard]] constexpr int redColumnParity(int mode) { return (mode >> 1) & 1; }

// Bayer gains are percentages 0..400; interpolation multiplies by
// trunc(gain x 1.28) and shifts right by 11, so 100 is unity.
inline constexpr int kMaxBayerGain = 400;
[[nodiscard]] inline int bayerGainMultiplier(int gainPercent) {
    const int gain = std::clamp(gainPercent, 0, kMaxBayerGain);
    return static_cast<int>(gain * 1.28);
}

} // namespace lumvek
