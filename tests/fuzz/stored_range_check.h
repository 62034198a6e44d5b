#pragma once
// Shared by the settings fuzz targets: records that start at values the
// setters accept, and the check that every loaded value is one the setters
// would accept (the range table of src/settings), so that a store, however
// hostile, never gives the instance a value out of range.
#include <cmath>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "settings/settings_ranges.h"
#include "settings/settings_store.h"

namespace lumvek::fuzz {

// A camera's defaults with the seconds exposure on (range 0.0001..10 s),
// so that the 8-byte value is checked as well.
inline GainDefaults secondsCamera() {
    GainDefaults defaults = r13GainDefaults();
    defaults.exposureExAvailable = true;
    defaults.exposureEx = 0.5;
    defaults.ranges.exposureExAvailable = true;
    defaults.ranges.exposureExMin = 0.0001;
    defaults.ranges.exposureExMax = 10.0;
    return defaults;
}

// The records as a load of missing groups leaves them: in range.
struct LoadedRecords {
    CameraValues values;
    CaptureWindowRecord window;
    GainSettings gain;
    FilterSettings filter;
    GraySettings gray;

    explicit LoadedRecords(const GainDefaults& defaults) {
        gain.global = defaults.globalGain;
        gain.colorG1 = gain.colorR = gain.colorB = gain.colorG2 = defaults.colorGain;
        gain.exposure = defaults.exposure;
        gain.blackLevel = defaults.blackLevel;
        gain.exposureEx = defaults.exposureEx;
        filter.rGain = filter.gGain = filter.bGain = 100;
        filter.gamma = 100;
        filter.bayerMode = 2;
        gray.gainR = gray.gainG1 = gray.gainG2 = gray.gainB = 128;
        gray.offsetR = gray.offsetG1 = gray.offsetG2 = gray.offsetB = 128;
    }
};

inline void expectInRange(SettingsGroup group, const char* name, int32_t value, const DeviceRanges& ranges) {
    const StoredValueRange* row = findStoredValueRange(group, name);
    if (row == nullptr) {
        fail("a loaded value has no row in the range table");
    }
    const auto bounds = boundsOf(*row, ranges);
    if (bounds && (value < bounds->min || value > bounds->max)) {
        std::fprintf(stderr, "%s = %d outside %d..%d\n", name, value, bounds->min, bounds->max);
        fail("a loaded value is outside what its setter accepts");
    }
}

inline void expectInRange(const LoadedRecords& r, const GainDefaults& defaults) {
    using enum SettingsGroup;
    const DeviceRanges& d = defaults.ranges;
    expectInRange(Camera, "Color", r.values.color, d);
    expectInRange(Camera, "SubSample", r.values.subSample, d);
    expectInRange(Camera, "WaitTime", r.values.waitTime, d);
    expectInRange(Window, "EH", static_cast<int32_t>(r.window.EH), d);
    expectInRange(Window, "EV", static_cast<int32_t>(r.window.EV), d);
    expectInRange(Window, "EHS", static_cast<int32_t>(r.window.EHS), d);
    expectInRange(Window, "EVS", static_cast<int32_t>(r.window.EVS), d);
    if (!windowFitsSensor(r.window)) {
        fail("a loaded capture window does not fit the sensor");
    }
    const GainSettings& g = r.gain;
    const struct {
        const char* name;
        int32_t value;
    } gain[] = {{"Global", g.global},     {"ColorG1", g.colorG1},   {"ColorR", g.colorR},
                {"ColorB", g.colorB},     {"ColorG2", g.colorG2},   {"Exposure", g.exposure},
                {"V_Mirror", g.vMirror},  {"H_Mirror", g.hMirror},  {"AutoIris", g.autoIris}};
    for (const auto& [name, value] : gain) {
        expectInRange(Gain, name, value, d);
    }
    if (d.exposureExAvailable &&
        !(std::isfinite(g.exposureEx) && g.exposureEx >= d.exposureExMin && g.exposureEx <= d.exposureExMax)) {
        fail("a loaded seconds exposure is outside the camera's range");
    }
    const FilterSettings& f = r.filter;
    const struct {
        const char* name;
        int32_t value;
    } filter[] = {{"Brightness", f.brightness}, {"Contrast", f.contrast},     {"Hue", f.hue},
                  {"Saturation", f.saturation}, {"Sharpness", f.sharpness},   {"R_Gain", f.rGain},
                  {"G_Gain", f.gGain},          {"B_Gain", f.bGain},          {"Gamma", f.gamma},
                  {"BayerMode", f.bayerMode}};
    for (const auto& [name, value] : filter) {
        expectInRange(Filter, name, value, d);
    }
    const GraySettings& y = r.gray;
    const struct {
        const char* name;
        int32_t value;
    } gray[] = {{"Mode", y.mode},         {"GainR1", y.gainR},     {"GainG1", y.gainG1},
                {"GainG2", y.gainG2},     {"GainB1", y.gainB},     {"OffsetR1", y.offsetR},
                {"OffsetG1", y.offsetG1}, {"OffsetG2", y.offsetG2}, {"OffsetB1", y.offsetB}};
    for (const auto& [name, value] : gray) {
        expectInRange(Gray, name, value, d);
    }
}

} // namespace lumvek::fuzz
