#pragma once
// Where a frame lies on the sensor: the capture window (EH x EV at EHS, EVS)
// and the sub-sample mode it was taken with.

namespace lumvek {

// The R13 sensor: the size of the reference frames and masks.
inline constexpr int kSensorWidth = 2336;
inline constexpr int kSensorHeight = 1752;

struct CaptureWindow {
    int width = 2336;   // EH
    int height = 1752;  // EV
    int left = 0;       // EHS
    int top = 0;        // EVS
    int subSampleMode = 0;
};

// Binning modes (bit 0x10) skip the spike filter.
[[nodiscard]] constexpr bool isBinningMode(int subSampleMode) { return (subSampleMode & 0x10) != 0; }

// 2, 4 or 8 for the sub-sample modes 1/17, 2/18, 3/19; else 1.
[[nodiscard]] constexpr int subSampleDivisor(int subSampleMode) {
    switch (subSampleMode) {
    case 1:
    case 17: return 2;
    case 2:
    case 18: return 4;
    case 3:
    case 19: return 8;
    default: return 1;
    }
}

} // namespace lumvek
