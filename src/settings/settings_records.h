#pragma once
// The in-memory records of the settings the store keeps per camera index.
// Each is a plain record of 32-bit words (the gain record also one double),
// owned by the SDK instance; the store fills and writes them whole.
#include <cstdint>

#include "settings/settings_ranges.h"

namespace lumvek {

// Capture window: total size, effective (window) size and start, frame buffers.
struct CaptureWindowRecord {
    uint32_t TH = 2336;
    uint32_t TV = 1752;
    uint32_t EH = 2336;
    uint32_t EV = 1752;
    uint32_t EHS = 0;
    uint32_t EVS = 0;
    uint32_t Buf = 4;
    friend bool operator==(const CaptureWindowRecord&, const CaptureWindowRecord&) = default;
};

// Per-camera values beside the presets (Camera_NN).
struct CameraValues {
    int32_t size = 0;       // index of the selected preset
    int32_t color = 2;      // colour mode
    int32_t subSample = 0;
    int32_t waitTime = 1;
    int32_t clock = 0;
};

// Device settings (Camera_NN\Gain). Exposure in 0.1 ms units; exposureEx in seconds.
struct GainSettings {
    int32_t global = 0;
    int32_t colorG1 = 0;
    int32_t colorR = 0;
    int32_t colorB = 0;
    int32_t colorG2 = 0;
    int32_t exposure = 0;
    int32_t vMirror = 0;
    int32_t hMirror = 0;
    int32_t autoIris = 0;
    int32_t gainMode = 0;
    int32_t blackLevel = 0;
    double exposureEx = 0.0;
};

// Image filter values (Camera_NN\Filter).
struct FilterSettings {
    int32_t brightness = 0;
    int32_t contrast = 0;
    int32_t hue = 0;
    int32_t saturation = 0;
    int32_t sharpness = 0;
    int32_t rGain = 0;
    int32_t gGain = 0;
    int32_t bGain = 0;
    int32_t gamma = 0;
    int32_t bayerMode = 0;
};

// Gray-level correction per Bayer cell (Camera_NN\Gray).
struct GraySettings {
    int32_t mode = 0;
    int32_t gainR = 0;
    int32_t gainG1 = 0;
    int32_t gainG2 = 0;
    int32_t gainB = 0;
    int32_t offsetR = 0;
    int32_t offsetG1 = 0;
    int32_t offsetG2 = 0;
    int32_t offsetB = 0;
};

// The camera's defaults for the gain record, from its sensor driver.
struct GainDefaults {
    int32_t globalGain = 0;
    int32_t colorGain = 0;
    int32_t exposure = 0;
    int32_t blackLevel = 0;
    bool exposureExAvailable = false;
    double exposureEx = 0.0;
    // What the setters accept, for checking loaded values.
    DeviceRanges ranges;
};

// The defaults of the library's own camera model (the R13 CCD), used while no
// camera device object can tell the sensor's own.
[[nodiscard]] GainDefaults r13GainDefaults();

} // namespace lumvek
