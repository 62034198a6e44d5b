#pragma once
// What each stored setting may hold: the values its setter accepts, and the
// value that stands in for one out of range. The store checks every value it
// loads against this table, so a hand-edited or damaged store cannot give
// the instance a value that the setters would refuse; the tool's doctor
// names such values from the same table.
//
// Values bounded by the camera (gains, exposure) take their bounds and
// defaults from the open camera's sensor (DeviceRanges, GainDefaults).
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace lumvek {

enum class SettingsGroup { Camera, Window, Gain, Filter, Gray };

// Where a value's bounds come from.
enum class RangeSource {
    Fixed,       // min..max of the row
    GlobalGain,  // the sensor's global-gain range
    ColourGain,  // the sensor's colour-gain range, or its global-gain range:
                 // setting the global gain copies it into the colour gains
    Exposure,    // the sensor's exposure range (0.1 ms)
    Unchecked,   // passed to the camera as it is, or not used: any value
};

struct StoredValueRange {
    SettingsGroup group;
    const char* name;  // the value name in the store
    RangeSource source;
    int32_t min;
    int32_t max;
    int32_t defaultValue;  // for Fixed and Unchecked rows
    int selector;          // the filter selector that sets it; 0 when set another way
};

// The longest wait the frame loop may sleep at the top of a turn, in ms (a
// minute, as the camera dialog offers): a stored wait of days would leave the
// preview without frames for good.
inline constexpr int32_t kMaxWaitTimeMs = 60000;

struct IntRange {
    int32_t min = 0;
    int32_t max = 0;
};

// The open camera's bounds. known is false while no sensor can tell them:
// the camera-bounded values are then not checked.
struct DeviceRanges {
    bool known = false;
    IntRange globalGain;
    IntRange colourGain;
    IntRange exposure;
    bool exposureExAvailable = false;
    double exposureExMin = 0.0;
    double exposureExMax = 0.0;
};

// The bounds a camera device object reports (any type with the device
// object's range getters).
template <typename Device>
[[nodiscard]] DeviceRanges deviceRangesOf(Device& device) {
    DeviceRanges ranges;
    ranges.known = true;
    ranges.globalGain = {device.GetGlobalGainMin(), device.GetGlobalGainMax()};
    ranges.colourGain = {device.GetColorGainMin(), device.GetColorGainMax()};
    ranges.exposure = {device.GetExposureMin(), device.GetExposureMax()};
    ranges.exposureExAvailable = device.IsExposureTimeExAvailable() != 0 &&
                                 device.GetExposureTimeExMin(&ranges.exposureExMin) != 0 &&
                                 device.GetExposureTimeExMax(&ranges.exposureExMax) != 0;
    return ranges;
}

// The library's own camera model (the R13 CCD), for checks made while no
// camera is open.
[[nodiscard]] DeviceRanges r13DeviceRanges();

[[nodiscard]] std::span<const StoredValueRange> storedValueRanges();
// The row of a stored value; nullptr for a name the group does not keep.
[[nodiscard]] const StoredValueRange* findStoredValueRange(SettingsGroup group, const char* name);
[[nodiscard]] const char* groupName(SettingsGroup group);

// The bounds of a row for a camera; nullopt when the value is not checked
// (Unchecked rows, and camera-bounded rows while the camera is unknown).
[[nodiscard]] std::optional<IntRange> boundsOf(const StoredValueRange& row, const DeviceRanges& device);

// The capture window of a preset holds together: a window of at least one
// pixel inside the full sensor.
struct CaptureWindowRecord;
[[nodiscard]] bool windowFitsSensor(const CaptureWindowRecord& window);

} // namespace lumvek
