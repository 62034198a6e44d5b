#include "settings/settings_ranges.h"

#include <algorithm>
#include <climits>
#include <strings.h>

#include "settings/settings_records.h"

namespace lumvek {

namespace {

using enum SettingsGroup;
using enum RangeSource;

// The full sensor, as the default (full-frame) preset holds it.
constexpr int32_t kSensorWidth = static_cast<int32_t>(CaptureWindowRecord{}.EH);
constexpr int32_t kSensorHeight = static_cast<int32_t>(CaptureWindowRecord{}.EV);
// The dialog selects its "Custom" entry, past the last of 100 presets, as 100.
constexpr int32_t kLastPresetIndex = 100;
constexpr int32_t kLastColourModeIndex = 5;  // 8, 16, 24, 32, 48, 64 bits

constexpr StoredValueRange kRanges[] = {
    // Camera_NN
    {Camera, "Size", Fixed, 0, kLastPresetIndex, 0, 0},
    {Camera, "Color", Fixed, 0, kLastColourModeIndex, 2, 0},
    {Camera, "SubSample", Fixed, 0, 0, 0, 0},  // this model has sub-sample mode 0 only
    {Camera, "WaitTime", Fixed, 0, kMaxWaitTimeMs, 1, 0},
    {Camera, "Clock", Unchecked, INT_MIN, INT_MAX, 0, 0},  // kept, never used
    // Camera_NN\Size_NN: the window inside the sensor; the totals and the
    // buffer count are kept for the dialog and used by nothing else.
    {Window, "TH", Unchecked, INT_MIN, INT_MAX, kSensorWidth, 0},
    {Window, "TV", Unchecked, INT_MIN, INT_MAX, kSensorHeight, 0},
    {Window, "EH", Fixed, 1, kSensorWidth, kSensorWidth, 0},
    {Window, "EV", Fixed, 1, kSensorHeight, kSensorHeight, 0},
    {Window, "EHS", Fixed, 0, kSensorWidth - 1, 0, 0},
    {Window, "EVS", Fixed, 0, kSensorHeight - 1, 0, 0},
    {Window, "Buf", Unchecked, INT_MIN, INT_MAX, 4, 0},
    // Camera_NN\Gain
    {Gain, "Global", GlobalGain, 0, 0, 0, 13},
    {Gain, "ColorG1", ColourGain, 0, 0, 0, 15},
    {Gain, "ColorR", ColourGain, 0, 0, 0, 14},
    {Gain, "ColorB", ColourGain, 0, 0, 0, 17},
    {Gain, "ColorG2", ColourGain, 0, 0, 0, 16},
    {Gain, "Exposure", Exposure, 0, 0, 0, 18},
    {Gain, "V_Mirror", Fixed, 0, 1, 0, 0},
    {Gain, "H_Mirror", Fixed, 0, 1, 0, 0},
    {Gain, "AutoIris", Fixed, 0, 2, 0, 0},
    {Gain, "GainMode", Unchecked, INT_MIN, INT_MAX, 0, 104},
    {Gain, "BlackLevel", Unchecked, INT_MIN, INT_MAX, 0, 106},
    // Camera_NN\Filter
    {Filter, "Brightness", Fixed, -255, 255, 0, 1},
    {Filter, "Contrast", Fixed, -127, 127, 0, 2},
    {Filter, "Hue", Fixed, -360, 360, 0, 3},
    {Filter, "Saturation", Fixed, -255, 255, 0, 4},
    {Filter, "Sharpness", Fixed, 0, 30, 0, 5},
    {Filter, "R_Gain", Fixed, 0, 400, 100, 7},
    {Filter, "G_Gain", Fixed, 0, 400, 100, 8},
    {Filter, "B_Gain", Fixed, 0, 400, 100, 9},
    {Filter, "Gamma", Fixed, 0, 200, 100, 11},
    {Filter, "BayerMode", Fixed, 0, 3, 2, 12},
    // Camera_NN\Gray
    {Gray, "Mode", Fixed, 0, 2, 0, 19},
    {Gray, "GainR1", Fixed, 0, 255, 128, 20},
    {Gray, "GainG1", Fixed, 0, 255, 128, 21},
    {Gray, "GainG2", Fixed, 0, 255, 128, 22},
    {Gray, "GainB1", Fixed, 0, 255, 128, 23},
    {Gray, "OffsetR1", Fixed, -255, 255, 128, 24},
    {Gray, "OffsetG1", Fixed, -255, 255, 128, 25},
    {Gray, "OffsetG2", Fixed, -255, 255, 128, 26},
    {Gray, "OffsetB1", Fixed, -255, 255, 128, 27},
};

} // namespace

DeviceRanges r13DeviceRanges() {
    DeviceRanges ranges;
    ranges.known = true;
    ranges.globalGain = {15, 1023};
    ranges.colourGain = {0, 0};  // the CCD has no colour gains of its own
    ranges.exposure = {1, 8191};
    return ranges;
}

std::span<const StoredValueRange> storedValueRanges() {
    return kRanges;
}

const StoredValueRange* findStoredValueRange(SettingsGroup group, const char* name) {
    const auto it = std::find_if(std::begin(kRanges), std::end(kRanges), [&](const StoredValueRange& row) {
        return row.group == group && ::strcasecmp(row.name, name) == 0;  // store names ignore case
    });
    return it == std::end(kRanges) ? nullptr : &*it;
}

const char* groupName(SettingsGroup group) {
    switch (group) {
    case Camera:
        return "";
    case Window:
        return "Size";
    case Gain:
        return "Gain";
    case Filter:
        return "Filter";
    case Gray:
        return "Gray";
    }
    return "";
}

std::optional<IntRange> boundsOf(const StoredValueRange& row, const DeviceRanges& device) {
    switch (row.source) {
    case Fixed:
        return IntRange{row.min, row.max};
    case Unchecked:
        return std::nullopt;
    case GlobalGain:
    case ColourGain:
    case Exposure:
        break;
    }
    if (!device.known) {
        return std::nullopt;
    }
    if (row.source == GlobalGain) {
        return device.globalGain;
    }
    if (row.source == Exposure) {
        return device.exposure;
    }
    return IntRange{std::min(device.colourGain.min, device.globalGain.min),
                    std::max(device.colourGain.max, device.globalGain.max)};
}

bool windowFitsSensor(const CaptureWindowRecord& window) {
    const auto eh = static_cast<int64_t>(static_cast<int32_t>(window.EH));
    const auto ev = static_cast<int64_t>(static_cast<int32_t>(window.EV));
    const auto ehs = static_cast<int64_t>(static_cast<int32_t>(window.EHS));
    const auto evs = static_cast<int64_t>(static_cast<int32_t>(window.EVS));
    return eh >= 1 && ev >= 1 && ehs >= 0 && evs >= 0 && eh + ehs <= kSensorWidth && ev + evs <= kSensorHeight;
}

} // namespace lumvek
