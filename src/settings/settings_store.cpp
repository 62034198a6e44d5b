#include "settings/settings_store.h"

#include <algorithm>
#include <string>

#include "settings/registry_key.h"

namespace lumvek {

namespace {

template <typename Record, typename Word>
struct Field {
    const char* name;
    Word Record::*member;
};

constexpr Field<CaptureWindowRecord, uint32_t> kWindowFields[] = {
    {"TH", &CaptureWindowRecord::TH},   {"TV", &CaptureWindowRecord::TV},   {"EH", &CaptureWindowRecord::EH},
    {"EV", &CaptureWindowRecord::EV},   {"EHS", &CaptureWindowRecord::EHS}, {"EVS", &CaptureWindowRecord::EVS},
    {"Buf", &CaptureWindowRecord::Buf},
};

constexpr Field<CameraValues, int32_t> kCameraValueFields[] = {
    {"Color", &CameraValues::color},
    {"SubSample", &CameraValues::subSample},
    {"WaitTime", &CameraValues::waitTime},
    {"Clock", &CameraValues::clock},
};

// In the order they are saved.
constexpr Field<GainSettings, int32_t> kGainFields[] = {
    {"Global", &GainSettings::global},     {"ColorG1", &GainSettings::colorG1},
    {"ColorR", &GainSettings::colorR},     {"ColorB", &GainSettings::colorB},
    {"ColorG2", &GainSettings::colorG2},   {"Exposure", &GainSettings::exposure},
    {"V_Mirror", &GainSettings::vMirror},  {"H_Mirror", &GainSettings::hMirror},
    {"AutoIris", &GainSettings::autoIris}, {"GainMode", &GainSettings::gainMode},
    {"BlackLevel", &GainSettings::blackLevel},
};
constexpr const char* kExposureExName = "ExposureEx";

constexpr Field<FilterSettings, int32_t> kFilterFields[] = {
    {"Brightness", &FilterSettings::brightness}, {"Contrast", &FilterSettings::contrast},
    {"Hue", &FilterSettings::hue},               {"Saturation", &FilterSettings::saturation},
    {"Sharpness", &FilterSettings::sharpness},   {"R_Gain", &FilterSettings::rGain},
    {"G_Gain", &FilterSettings::gGain},          {"B_Gain", &FilterSettings::bGain},
    {"Gamma", &FilterSettings::gamma},           {"BayerMode", &FilterSettings::bayerMode},
};

constexpr Field<GraySettings, int32_t> kGrayFields[] = {
    {"Mode", &GraySettings::mode},         {"GainR1", &GraySettings::gainR},
    {"GainG1", &GraySettings::gainG1},     {"GainG2", &GraySettings::gainG2},
    {"GainB1", &GraySettings::gainB},      {"OffsetR1", &GraySettings::offsetR},
    {"OffsetG1", &GraySettings::offsetG1}, {"OffsetG2", &GraySettings::offsetG2},
    {"OffsetB1", &GraySettings::offsetB},
};

// Reads each present value of fields into record; missing ones keep their word.
template <typename Record, typename Word, size_t N>
void readFields(const RegistryKey& key, const Field<Record, Word> (&fields)[N], Record& record) {
    for (const auto& field : fields) {
        uint32_t value;
        if (key.readDword(field.name, value)) {
            record.*field.member = static_cast<Word>(value);
        }
    }
}

template <typename Record, typename Word, size_t N>
bool writeFields(const RegistryKey& key, const Field<Record, Word> (&fields)[N], const Record& record) {
    for (const auto& field : fields) {
        if (!key.writeDword(field.name, static_cast<uint32_t>(record.*field.member))) {
            return false;
        }
    }
    return true;
}

std::string groupPath(int camera, const char* group) {
    return cameraKeyPath(camera) + "\\" + group;
}

template <typename Record, typename Word, size_t N>
bool loadGroup(int camera, const char* group, const Field<Record, Word> (&fields)[N], Record& record) {
    RegistryKey key;
    if (!RegistryKey::openRead(groupPath(camera, group), key)) {
        return false;
    }
    readFields(key, fields, record);
    return true;
}

template <typename Record, typename Word, size_t N>
bool saveGroup(int camera, const char* group, const Field<Record, Word> (&fields)[N], const Record& record) {
    RegistryKey key;
    return RegistryKey::openWrite(groupPath(camera, group), key) && writeFields(key, fields, record);
}

// Creates the root with camera's values and its full-frame Size_00 preset.
void createDefaultTree(int camera) {
    RegistryKey preset;
    if (RegistryKey::openWrite(cameraKeyPath(camera) + "\\" + presetName(0), preset)) {
        (void)writeFields(preset, kWindowFields, CaptureWindowRecord{});
    }
    RegistryKey cameraKey;
    if (RegistryKey::openWrite(cameraKeyPath(camera), cameraKey)) {
        const CameraValues defaults;
        (void)cameraKey.writeDword("Size", static_cast<uint32_t>(defaults.size));
        (void)writeFields(cameraKey, kCameraValueFields, defaults);
    }
}

} // namespace

GainDefaults r13GainDefaults() {
    GainDefaults defaults;
    defaults.globalGain = 350;
    defaults.colorGain = 0;  // the CCD has no colour gains of its own
    defaults.exposure = 774;
    defaults.blackLevel = 0;
    defaults.exposureExAvailable = false;
    return defaults;
}

bool SettingsStore::loadCameraValues(int camera, CameraValues& values) const {
    RegistryKey key;
    if (!RegistryKey::openRead(cameraKeyPath(camera), key)) {
        return false;
    }
    readFields(key, kCameraValueFields, values);
    return true;
}

bool SettingsStore::loadSelectedPreset(int camera, CaptureWindowRecord& window) const {
    {
        RegistryKey root;
        if (!RegistryKey::openRead(kSettingsRoot, root)) {
            createDefaultTree(camera);
            return false;
        }
    }
    RegistryKey cameraKey;
    if (!RegistryKey::openRead(cameraKeyPath(camera), cameraKey)) {
        return false;
    }
    uint32_t size = 0;
    (void)cameraKey.readDword("Size", size);
    if (size >= static_cast<uint32_t>(kMaxPresets)) {
        return false;
    }
    RegistryKey preset;
    if (!RegistryKey::openRead(cameraKeyPath(camera) + "\\" + presetName(static_cast<int>(size)), preset)) {
        return false;
    }
    readFields(preset, kWindowFields, window);
    return true;
}

SettingsStore::PresetSearch SettingsStore::findPresetBySize(int width, int height, CaptureWindowRecord& window) const {
    {
        RegistryKey root;
        if (!RegistryKey::openRead(kSettingsRoot, root)) {
            return PresetSearch::NoRoot;
        }
    }
    for (int i = 0; i < kMaxPresets; ++i) {
        RegistryKey preset;
        if (!RegistryKey::openRead(std::string(kSettingsRoot) + "\\" + presetName(i), preset)) {
            break;
        }
        CaptureWindowRecord candidate = window;
        readFields(preset, kWindowFields, candidate);
        if (candidate.EH == static_cast<uint32_t>(width) && candidate.EV == static_cast<uint32_t>(height)) {
            window = candidate;
            return PresetSearch::Found;
        }
    }
    return PresetSearch::NoMatch;
}

bool SettingsStore::loadGain(int camera, GainSettings& gain, const GainDefaults& defaults) const {
    RegistryKey key;
    if (!RegistryKey::openRead(groupPath(camera, "Gain"), key)) {
        gain.global = defaults.globalGain;
        gain.colorG1 = gain.colorR = gain.colorB = gain.colorG2 = defaults.colorGain;
        gain.exposure = defaults.exposure;
        gain.vMirror = gain.hMirror = 0;
        gain.autoIris = 0;
        gain.gainMode = 0;
        gain.blackLevel = defaults.blackLevel;
        if (defaults.exposureExAvailable) {
            gain.exposureEx = defaults.exposureEx;
        }
        return false;
    }
    readFields(key, kGainFields, gain);
    (void)key.readDouble(kExposureExName, gain.exposureEx);
    return true;
}

bool SettingsStore::saveGain(int camera, const GainSettings& gain) const {
    RegistryKey key;
    return RegistryKey::openWrite(groupPath(camera, "Gain"), key) && writeFields(key, kGainFields, gain) &&
           key.writeDouble(kExposureExName, gain.exposureEx);
}

bool SettingsStore::loadFilter(int camera, FilterSettings& filter) const {
    if (loadGroup(camera, "Filter", kFilterFields, filter)) {
        return true;
    }
    filter = FilterSettings{};
    filter.rGain = filter.gGain = filter.bGain = 100;
    filter.gamma = 100;
    filter.bayerMode = 2;
    return false;
}

bool SettingsStore::saveFilter(int camera, const FilterSettings& filter) const {
    return saveGroup(camera, "Filter", kFilterFields, filter);
}

bool SettingsStore::loadGray(int camera, GraySettings& gray) const {
    if (loadGroup(camera, "Gray", kGrayFields, gray)) {
        return true;
    }
    gray.mode = 0;
    gray.gainR = gray.gainG1 = gray.gainG2 = gray.gainB = 128;
    gray.offsetR = gray.offsetG1 = gray.offsetG2 = gray.offsetB = 128;
    return false;
}

bool SettingsStore::saveGray(int camera, const GraySettings& gray) const {
    return saveGroup(camera, "Gray", kGrayFields, gray);
}

bool SettingsStore::loadDialogPresets(int camera, DialogPresets& dialog) const {
    dialog.presets.clear();
    for (int i = 0; i < kMaxPresets; ++i) {
        RegistryKey preset;
        if (!RegistryKey::openRead(cameraKeyPath(camera) + "\\" + presetName(i), preset)) {
            break;
        }
        CaptureWindowRecord window;
        readFields(preset, kWindowFields, window);
        dialog.presets.push_back(window);
    }
    RegistryKey cameraKey;
    if (!RegistryKey::openRead(cameraKeyPath(camera), cameraKey)) {
        return false;
    }
    uint32_t size;
    if (cameraKey.readDword("Size", size)) {
        dialog.values.size = static_cast<int32_t>(size);
    }
    readFields(cameraKey, kCameraValueFields, dialog.values);
    return true;
}

bool SettingsStore::saveDialogPresets(int camera, const DialogPresets& dialog) const {
    const size_t count = std::min(dialog.presets.size(), static_cast<size_t>(kMaxPresets));
    for (size_t i = 0; i < count; ++i) {
        RegistryKey preset;
        if (!RegistryKey::openWrite(cameraKeyPath(camera) + "\\" + presetName(static_cast<int>(i)), preset)) {
            break;
        }
        (void)writeFields(preset, kWindowFields, dialog.presets[i]);
    }
    RegistryKey cameraKey;
    if (!RegistryKey::openWrite(cameraKeyPath(camera), cameraKey)) {
        return false;
    }
    CameraValues values = dialog.values;
    values.subSample = 0;
    return cameraKey.writeDword("Size", static_cast<uint32_t>(values.size)) &&
           writeFields(cameraKey, kCameraValueFields, values);
}

} // namespace lumvek
