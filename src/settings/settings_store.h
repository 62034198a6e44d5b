#pragma once
// The settings store: each camera index's settings under
// HKEY_CURRENT_USER\Software\Quelro\LumvekR13K7Sdk, one subtree per camera
// ("Camera_%02d") with the groups Gain, Filter and Gray and the capture-window
// presets Size_NN, plus global presets Size_NN directly under the root.
//
// Every operation opens the keys it needs and closes them before it returns;
// reads never create keys; nothing is cached between operations.
#include <string>
#include <vector>

#include "settings/settings_records.h"

namespace lumvek {

inline constexpr const char* kSettingsRoot = "Software\\Quelro\\LumvekR13K7Sdk";
inline constexpr int kMaxPresets = 100;

class SettingsStore {
public:
    // A stored value that a load replaced because the setters would refuse
    // it (settings_ranges.h), in words.
    struct OutOfRange {
        std::string value;    // "Camera_00\\Filter\\Gamma"
        std::string stored;   // "2147483647"
        std::string allowed;  // "0..200"
        std::string used;     // "100"
    };

    // Every load checks each value it reads against what the setters accept
    // (settings_ranges.h): one out of range is replaced by its default and
    // logged, and added to found when given.

    // Color, SubSample, WaitTime and Clock of Camera_NN into values; each only
    // if present. False when the key cannot be opened.
    bool loadCameraValues(int camera, CameraValues& values, std::vector<OutOfRange>* found = nullptr) const;

    // The selected preset of Camera_NN into window. When the root is missing
    // it is created with Camera_NN (Size 0, Color 2, SubSample 0, WaitTime 1,
    // Clock 0) and Camera_NN\Size_00 (full frame, Buf 4), and the result is
    // false (the caller keeps its built-in values, which equal these). False
    // when Camera_NN or its preset is missing; nothing is created then. A
    // window that does not fit the sensor is loaded as the full frame.
    bool loadSelectedPreset(int camera, CaptureWindowRecord& window, std::vector<OutOfRange>* found = nullptr) const;

    enum class PresetSearch { Found, NoRoot, NoMatch };
    // The first global preset Size_00, Size_01, ... (stopping at the first
    // gap) whose EH and EV equal width and height, as stored (the capture-
    // window call checks the window it picks).
    PresetSearch findPresetBySize(int width, int height, CaptureWindowRecord& window) const;

    // Group loads: on a missing key the record gets the defaults instead and
    // the result is false; a missing single value leaves its word unchanged.
    // The gain values are checked against defaults.ranges (not at all while
    // those are unknown), and replaced by defaults' values.
    bool loadGain(int camera, GainSettings& gain, const GainDefaults& defaults,
                  std::vector<OutOfRange>* found = nullptr) const;
    bool loadFilter(int camera, FilterSettings& filter, std::vector<OutOfRange>* found = nullptr) const;
    bool loadGray(int camera, GraySettings& gray, std::vector<OutOfRange>* found = nullptr) const;
    // Group saves write every value of the group (creating missing keys);
    // false at the first value that cannot be written.
    bool saveGain(int camera, const GainSettings& gain) const;
    bool saveFilter(int camera, const FilterSettings& filter) const;
    bool saveGray(int camera, const GraySettings& gray) const;

    // Camera_NN\Size_00 upward until a key is missing (at most 100), then the
    // per-camera values; for the camera dialog.
    struct DialogPresets {
        std::vector<CaptureWindowRecord> presets;
        CameraValues values;
    };
    bool loadDialogPresets(int camera, DialogPresets& dialog) const;
    // Writes the presets as Size_00 onward (stopping at the first key that
    // cannot be created), then Size, Color, SubSample (0: every list position
    // of this model is sub-sample mode 0), WaitTime and Clock.
    bool saveDialogPresets(int camera, const DialogPresets& dialog) const;

    // The stored values of camera that its loads would replace, read
    // without creating anything (nothing when the store has no root).
    [[nodiscard]] std::vector<OutOfRange> outOfRangeValues(int camera, const GainDefaults& defaults) const;
};

} // namespace lumvek
