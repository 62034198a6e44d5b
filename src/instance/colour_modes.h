#pragma once
// The colour modes of an instance: index 0..5 for 8, 16, 24, 32, 48 and 64
// bits per output pixel; 8 and 16 are monochrome, 16, 48 and 64 use the
// camera's 16-bit transfer.
namespace lumvek {

inline constexpr int kColourModes = 6;
inline constexpr int kColorModeBits[kColourModes] = {8, 16, 24, 32, 48, 64};

[[nodiscard]] constexpr bool isSixteenBitMode(int mode) {
    return mode == 1 || mode == 4 || mode == 5;
}

[[nodiscard]] constexpr bool isColourModeIndex(int mode) {
    return mode >= 0 && mode < kColourModes;
}

} // namespace lumvek
