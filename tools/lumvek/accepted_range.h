#pragma once
// The range a camera really accepts beside the one its information record
// states. The record gives the sensor family's nominal range (exposure
// 1..8191 for the R13), while the camera keeps at most what its frame timing
// allows (the R13 stops at 232 and keeps 232 when asked for more): found by
// asking for the nominal maximum and reading back what was kept. The value
// in use is put back; the settings store is not written.
#include <cstdint>

namespace lumvek::tool {

struct AcceptedRange {
    int nominalMin = 0;
    int nominalMax = 0;
    int acceptedMax = 0;  // == nominalMax when the camera keeps all of it
    [[nodiscard]] bool narrower() const { return acceptedMax < nominalMax; }
};

// Exposure in 0.1 ms units; false when the camera gave no range. Call it
// while no preview runs (the probe changes the exposure for a moment).
[[nodiscard]] bool acceptedExposureRange(int32_t handle, AcceptedRange& range);

} // namespace lumvek::tool
