#include "settings/settings_store.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/log/log.h"
#include "settings/registry_key.h"
#include "settings/settings_ranges.h"

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

// Where loaded values are checked: the group and key they come from, the
// camera's bounds and defaults, and what to do with a value out of range
// (it is always replaced; the finding is logged and, for the doctor, kept).
struct LoadCheck {
    SettingsGroup group;
    std::string key;  // below the root, for messages: "Camera_00\\Filter"
    const GainDefaults* camera = nullptr;  // null: camera-bounded values are not checked
    std::vector<SettingsStore::OutOfRange>* found = nullptr;

    void report(const std::string& name, const std::string& stored, const std::string& allowed,
                const std::string& used) const {
        platform::logf(platform::LogCategory::Settings, "settings: %s\\%s = %s is outside %s; %s used instead",
                       key.c_str(), name.c_str(), stored.c_str(), allowed.c_str(), used.c_str());
        if (found != nullptr) {
            found->push_back({key + "\\" + name, stored, allowed, used});
        }
    }
};

std::string rangeText(const IntRange& range) {
    return std::to_string(range.min) + ".." + std::to_string(range.max);
}

int32_t defaultOf(const StoredValueRange& row, const GainDefaults* camera) {
    if (camera == nullptr) {
        return row.defaultValue;
    }
    switch (row.source) {
    case RangeSource::GlobalGain:
        return camera->globalGain;
    case RangeSource::ColourGain:
        return camera->colorGain;
    case RangeSource::Exposure:
        return camera->exposure;
    default:
        return row.defaultValue;
    }
}

// The value as loaded: itself when the setters would accept it, else the
// default of its row.
int32_t checked(const LoadCheck& check, const char* name, int32_t value) {
    const StoredValueRange* row = findStoredValueRange(check.group, name);
    if (row == nullptr) {
        return value;
    }
    static const DeviceRanges kUnknown;
    const auto bounds = boundsOf(*row, check.camera != nullptr ? check.camera->ranges : kUnknown);
    if (!bounds || (value >= bounds->min && value <= bounds->max)) {
        return value;
    }
    const int32_t replacement = defaultOf(*row, check.camera);
    check.report(name, std::to_string(value), rangeText(*bounds), std::to_string(replacement));
    return replacement;
}

// Reads each present value of fields into record, checked; missing ones
// keep their word.
template <typename Record, typename Word, size_t N>
void readFields(const RegistryKey& key, const Field<Record, Word> (&fields)[N], Record& record,
                const LoadCheck& check) {
    for (const auto& field : fields) {
        uint32_t value;
        if (key.readDword(field.name, value)) {
            const int32_t loaded = checked(check, field.name, static_cast<int32_t>(value));
            record.*field.member = static_cast<Word>(loaded);
        }
    }
}

// A preset read value by value, then as a whole: a window that does not fit
// the sensor becomes the full frame.
void readWindow(const RegistryKey& key, CaptureWindowRecord& window, const LoadCheck& check) {
    readFields(key, kWindowFields, window, check);
    if (!windowFitsSensor(window)) {
        const CaptureWindowRecord full;
        check.report("EHS/EH/EVS/EV",
                     std::to_string(window.EHS) + "/" + std::to_string(window.EH) + "/" + std::to_string(window.EVS) +
                         "/" + std::to_string(window.EV),
                     "the sensor (" + std::to_string(full.EH) + " x " + std::to_string(full.EV) + ")", "the full frame");
        window.EH = full.EH;
        window.EV = full.EV;
        window.EHS = full.EHS;
        window.EVS = full.EVS;
    }
}

std::string keyBelowRoot(const std::string& path) {
    const std::string root = std::string(kSettingsRoot) + "\\";
    return path.rfind(root, 0) == 0 ? path.substr(root.size()) : path;
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
bool loadGroup(int camera, const char* group, const Field<Record, Word> (&fields)[N], Record& record,
               const LoadCheck& check) {
    RegistryKey key;
    if (!RegistryKey::openRead(groupPath(camera, group), key)) {
        return false;
    }
    readFields(key, fields, record, check);
    return true;
}

LoadCheck checkFor(SettingsGroup group, const std::string& path, const GainDefaults* camera,
                   std::vector<SettingsStore::OutOfRange>* found) {
    return LoadCheck{group, keyBelowRoot(path), camera, found};
}

// The result of a save; one that failed is logged with its reason, as no
// caller has an error code for it (the values stay in memory only).
bool saved(const RegistryKey& key, const std::string& path, bool ok) {
    if (!ok) {
        platform::logf(platform::LogCategory::Settings, "settings: %s cannot be written to %s: %s; its values are not kept",
                       keyBelowRoot(path).c_str(), platform::registryFilePath().c_str(),
                       platform::registryStatusText(key.failure()).c_str());
    }
    return ok;
}

template <typename Record, typename Word, size_t N>
bool saveGroup(int camera, const char* group, const Field<Record, Word> (&fields)[N], const Record& record) {
    RegistryKey key;
    const std::string path = groupPath(camera, group);
    return saved(key, path, RegistryKey::openWrite(path, key) && writeFields(key, fields, record));
}

// Creates the root with camera's values and its full-frame Size_00 preset.
void createDefaultTree(int camera) {
    RegistryKey preset;
    const std::string presetPath = cameraKeyPath(camera) + "\\" + presetName(0);
    (void)saved(preset, presetPath,
                RegistryKey::openWrite(presetPath, preset) && writeFields(preset, kWindowFields, CaptureWindowRecord{}));
    RegistryKey cameraKey;
    const CameraValues defaults;
    (void)saved(cameraKey, cameraKeyPath(camera),
                RegistryKey::openWrite(cameraKeyPath(camera), cameraKey) &&
                    cameraKey.writeDword("Size", static_cast<uint32_t>(defaults.size)) &&
                    writeFields(cameraKey, kCameraValueFields, defaults));
}

} // namespace

GainDefaults r13GainDefaults() {
    GainDefaults defaults;
    defaults.globalGain = 350;
    defaults.colorGain = 0;  // the CCD has no colour gains of its own
    defaults.exposure = 774;
    defaults.blackLevel = 0;
    defaults.exposureExAvailable = false;
    defaults.ranges = r13DeviceRanges();
    return defaults;
}

bool SettingsStore::loadCameraValues(int camera, CameraValues& values, std::vector<OutOfRange>* found) const {
    RegistryKey key;
    const std::string path = cameraKeyPath(camera);
    if (!RegistryKey::openRead(path, key)) {
        return false;
    }
    readFields(key, kCameraValueFields, values, checkFor(SettingsGroup::Camera, path, nullptr, found));
    return true;
}

bool SettingsStore::loadSelectedPreset(int camera, CaptureWindowRecord& window, std::vector<OutOfRange>* found) const {
    {
        RegistryKey root;
        if (!RegistryKey::openRead(kSettingsRoot, root)) {
            createDefaultTree(camera);
            return false;
        }
    }
    RegistryKey cameraKey;
    const std::string cameraPath = cameraKeyPath(camera);
    if (!RegistryKey::openRead(cameraPath, cameraKey)) {
        return false;
    }
    uint32_t size = 0;
    if (cameraKey.readDword("Size", size)) {
        size = static_cast<uint32_t>(checked(checkFor(SettingsGroup::Camera, cameraPath, nullptr, found), "Size",
                                             static_cast<int32_t>(size)));
    }
    RegistryKey preset;
    const std::string presetPath = cameraPath + "\\" + presetName(static_cast<int>(size));
    if (!RegistryKey::openRead(presetPath, preset)) {
        return false;
    }
    readWindow(preset, window, checkFor(SettingsGroup::Window, presetPath, nullptr, found));
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
        // Taken as stored: the capture-window call checks what it picks
        // (code 7, full frame instead).
        CaptureWindowRecord candidate = window;
        for (const auto& field : kWindowFields) {
            uint32_t value;
            if (preset.readDword(field.name, value)) {
                candidate.*field.member = value;
            }
        }
        if (candidate.EH == static_cast<uint32_t>(width) && candidate.EV == static_cast<uint32_t>(height)) {
            window = candidate;
            return PresetSearch::Found;
        }
    }
    return PresetSearch::NoMatch;
}

bool SettingsStore::loadGain(int camera, GainSettings& gain, const GainDefaults& defaults,
                             std::vector<OutOfRange>* found) const {
    RegistryKey key;
    const std::string path = groupPath(camera, "Gain");
    if (!RegistryKey::openRead(path, key)) {
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
    const LoadCheck check = checkFor(SettingsGroup::Gain, path, &defaults, found);
    readFields(key, kGainFields, gain, check);
    double seconds = 0.0;
    if (key.readDouble(kExposureExName, seconds)) {
        const DeviceRanges& ranges = defaults.ranges;
        const bool checkSeconds = ranges.known && ranges.exposureExAvailable;
        if (checkSeconds && !(std::isfinite(seconds) && seconds >= ranges.exposureExMin &&
                              seconds <= ranges.exposureExMax)) {
            check.report(kExposureExName, std::to_string(seconds),
                         std::to_string(ranges.exposureExMin) + ".." + std::to_string(ranges.exposureExMax) + " s",
                         std::to_string(defaults.exposureEx));
            seconds = defaults.exposureEx;
        }
        gain.exposureEx = seconds;
    }
    return true;
}

bool SettingsStore::saveGain(int camera, const GainSettings& gain) const {
    RegistryKey key;
    const std::string path = groupPath(camera, "Gain");
    return saved(key, path,
                 RegistryKey::openWrite(path, key) && writeFields(key, kGainFields, gain) &&
                     key.writeDouble(kExposureExName, gain.exposureEx));
}

bool SettingsStore::loadFilter(int camera, FilterSettings& filter, std::vector<OutOfRange>* found) const {
    if (loadGroup(camera, "Filter", kFilterFields, filter,
                  checkFor(SettingsGroup::Filter, groupPath(camera, "Filter"), nullptr, found))) {
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

bool SettingsStore::loadGray(int camera, GraySettings& gray, std::vector<OutOfRange>* found) const {
    if (loadGroup(camera, "Gray", kGrayFields, gray,
                  checkFor(SettingsGroup::Gray, groupPath(camera, "Gray"), nullptr, found))) {
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
        const std::string path = cameraKeyPath(camera) + "\\" + presetName(i);
        if (!RegistryKey::openRead(path, preset)) {
            break;
        }
        CaptureWindowRecord window;
        readWindow(preset, window, checkFor(SettingsGroup::Window, path, nullptr, nullptr));
        dialog.presets.push_back(window);
    }
    RegistryKey cameraKey;
    const std::string path = cameraKeyPath(camera);
    if (!RegistryKey::openRead(path, cameraKey)) {
        return false;
    }
    const LoadCheck check = checkFor(SettingsGroup::Camera, path, nullptr, nullptr);
    uint32_t size;
    if (cameraKey.readDword("Size", size)) {
        dialog.values.size = checked(check, "Size", static_cast<int32_t>(size));
    }
    readFields(cameraKey, kCameraValueFields, dialog.values, check);
    return true;
}

std::vector<SettingsStore::OutOfRange> SettingsStore::outOfRangeValues(int camera, const GainDefaults& defaults) const {
    std::vector<OutOfRange> found;
    {
        RegistryKey root;
        if (!RegistryKey::openRead(kSettingsRoot, root)) {
            return found;  // nothing stored; a load would create the defaults
        }
    }
    CameraValues values;
    (void)loadCameraValues(camera, values, &found);
    CaptureWindowRecord window;
    (void)loadSelectedPreset(camera, window, &found);
    GainSettings gain;
    (void)loadGain(camera, gain, defaults, &found);
    FilterSettings filter;
    (void)loadFilter(camera, filter, &found);
    GraySettings gray;
    (void)loadGray(camera, gray, &found);
    return found;
}

bool SettingsStore::saveDialogPresets(int camera, const DialogPresets& dialog) const {
    const size_t count = std::min(dialog.presets.size(), static_cast<size_t>(kMaxPresets));
    for (size_t i = 0; i < count; ++i) {
        RegistryKey preset;
        const std::string path = cameraKeyPath(camera) + "\\" + presetName(static_cast<int>(i));
        if (!saved(preset, path, RegistryKey::openWrite(path, preset))) {
            break;
        }
        (void)saved(preset, path, writeFields(preset, kWindowFields, dialog.presets[i]));
    }
    RegistryKey cameraKey;
    CameraValues values = dialog.values;
    values.subSample = 0;
    return saved(cameraKey, cameraKeyPath(camera),
                 RegistryKey::openWrite(cameraKeyPath(camera), cameraKey) &&
                     cameraKey.writeDword("Size", static_cast<uint32_t>(values.size)) &&
                     writeFields(cameraKey, kCameraValueFields, values));
}

} // namespace lumvek
