// The settings store loading values written behind its back: the fuzz bytes
// are a few writes into the store of one camera (which key, which value
// name, the 32-bit value, or an 8-byte value where the store keeps its one
// double), then the groups written to are loaded through the store. Every
// loaded value must be one its setter accepts, and a value written in range
// must load unchanged. Afterwards each value written is put back to its
// default, so every input starts from the same store.
//
// Record layout (6 bytes): key byte, name byte, 32-bit value. The key byte
// chooses Camera_00, its selected preset Size_00, Gain, Filter or Gray (low
// bits); bit 7 writes the value as 8 bytes (a double made of the value)
// instead of a DWORD.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/stored_range_check.h"
#include "platform/registry/registry.h"
#include "settings/registry_key.h"

using namespace lumvek;

namespace {

constexpr size_t kMaxRecords = 4;
constexpr SettingsGroup kGroups[] = {SettingsGroup::Camera, SettingsGroup::Window, SettingsGroup::Gain,
                                     SettingsGroup::Filter, SettingsGroup::Gray};
constexpr const char* kExposureEx = "ExposureEx";

std::string keyOf(SettingsGroup group) {
    switch (group) {
    case SettingsGroup::Camera:
        return cameraKeyPath(0);
    case SettingsGroup::Window:
        return cameraKeyPath(0) + "\\" + presetName(0);
    default:
        return cameraKeyPath(0) + "\\" + groupName(group);
    }
}

// The value names a group keeps, from the range table (plus ExposureEx).
std::vector<const char*> namesOf(SettingsGroup group) {
    std::vector<const char*> names;
    for (const auto& row : storedValueRanges()) {
        if (row.group == group) names.push_back(row.name);
    }
    if (group == SettingsGroup::Gain) names.push_back(kExposureEx);
    return names;
}

const GainDefaults& camera() {
    static const GainDefaults defaults = fuzz::secondsCamera();
    return defaults;
}

// The word of a loaded record that holds name.
int32_t loadedWord(const fuzz::LoadedRecords& r, SettingsGroup group, const std::string& name) {
    struct Word {
        SettingsGroup group;
        const char* name;
        int32_t value;
    };
    const Word words[] = {
        {SettingsGroup::Camera, "Color", r.values.color},
        {SettingsGroup::Camera, "SubSample", r.values.subSample},
        {SettingsGroup::Camera, "WaitTime", r.values.waitTime},
        {SettingsGroup::Camera, "Clock", r.values.clock},
        {SettingsGroup::Window, "TH", static_cast<int32_t>(r.window.TH)},
        {SettingsGroup::Window, "TV", static_cast<int32_t>(r.window.TV)},
        {SettingsGroup::Window, "EH", static_cast<int32_t>(r.window.EH)},
        {SettingsGroup::Window, "EV", static_cast<int32_t>(r.window.EV)},
        {SettingsGroup::Window, "EHS", static_cast<int32_t>(r.window.EHS)},
        {SettingsGroup::Window, "EVS", static_cast<int32_t>(r.window.EVS)},
        {SettingsGroup::Window, "Buf", static_cast<int32_t>(r.window.Buf)},
        {SettingsGroup::Gain, "Global", r.gain.global},
        {SettingsGroup::Gain, "ColorG1", r.gain.colorG1},
        {SettingsGroup::Gain, "ColorR", r.gain.colorR},
        {SettingsGroup::Gain, "ColorB", r.gain.colorB},
        {SettingsGroup::Gain, "ColorG2", r.gain.colorG2},
        {SettingsGroup::Gain, "Exposure", r.gain.exposure},
        {SettingsGroup::Gain, "V_Mirror", r.gain.vMirror},
        {SettingsGroup::Gain, "H_Mirror", r.gain.hMirror},
        {SettingsGroup::Gain, "AutoIris", r.gain.autoIris},
        {SettingsGroup::Gain, "GainMode", r.gain.gainMode},
        {SettingsGroup::Gain, "BlackLevel", r.gain.blackLevel},
        {SettingsGroup::Filter, "Brightness", r.filter.brightness},
        {SettingsGroup::Filter, "Contrast", r.filter.contrast},
        {SettingsGroup::Filter, "Hue", r.filter.hue},
        {SettingsGroup::Filter, "Saturation", r.filter.saturation},
        {SettingsGroup::Filter, "Sharpness", r.filter.sharpness},
        {SettingsGroup::Filter, "R_Gain", r.filter.rGain},
        {SettingsGroup::Filter, "G_Gain", r.filter.gGain},
        {SettingsGroup::Filter, "B_Gain", r.filter.bGain},
        {SettingsGroup::Filter, "Gamma", r.filter.gamma},
        {SettingsGroup::Filter, "BayerMode", r.filter.bayerMode},
        {SettingsGroup::Gray, "Mode", r.gray.mode},
        {SettingsGroup::Gray, "GainR1", r.gray.gainR},
        {SettingsGroup::Gray, "GainG1", r.gray.gainG1},
        {SettingsGroup::Gray, "GainG2", r.gray.gainG2},
        {SettingsGroup::Gray, "GainB1", r.gray.gainB},
        {SettingsGroup::Gray, "OffsetR1", r.gray.offsetR},
        {SettingsGroup::Gray, "OffsetG1", r.gray.offsetG1},
        {SettingsGroup::Gray, "OffsetG2", r.gray.offsetG2},
        {SettingsGroup::Gray, "OffsetB1", r.gray.offsetB},
    };
    for (const Word& word : words) {
        if (word.group == group && name == word.name) return word.value;
    }
    fuzz::fail("a stored value the harness cannot find in the records");
}

// The store every input starts from: the default tree and whole groups.
void writeStartingStore(const SettingsStore& store) {
    CaptureWindowRecord window;
    (void)store.loadSelectedPreset(0, window);
    const fuzz::LoadedRecords defaults(camera());
    if (!store.saveGain(0, defaults.gain) || !store.saveFilter(0, defaults.filter) ||
        !store.saveGray(0, defaults.gray)) {
        fuzz::fail("a fresh store refused a save");
    }
}

struct Written {
    SettingsGroup group;
    const char* name;
    uint32_t value;
    bool asDouble;
};

// One handle per key, opened once and kept: each write is then one
// transaction of the store, which keeps the harness fast.
platform::HKEY handleOf(SettingsGroup group) {
    static platform::HKEY handles[std::size(kGroups)] = {};
    const auto index = static_cast<size_t>(group);
    if (handles[index] == nullptr &&
        platform::RegOpenKeyExA(platform::HKEY_CURRENT_USER, keyOf(group).c_str(), 0, platform::KEY_ALL_ACCESS,
                                &handles[index]) != platform::ERROR_SUCCESS) {
        fuzz::fail("the starting store lacks a key");
    }
    return handles[index];
}

// Written as the store writes them: little-endian DWORDs, 8-byte doubles.
void putValue(const Written& w, uint32_t value, bool asDouble, double seconds) {
    uint8_t bytes[8];
    platform::DWORD type = platform::REG_DWORD;
    platform::DWORD count = 4;
    if (asDouble) {
        std::memcpy(bytes, &seconds, sizeof seconds);
        type = platform::REG_BINARY;
        count = 8;
    } else {
        for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    }
    if (platform::RegSetValueExA(handleOf(w.group), w.name, 0, type, bytes, count) != platform::ERROR_SUCCESS) {
        fuzz::fail("the store refused a value");
    }
}

// The value a name holds in the starting store.
uint32_t startingValue(const Written& w) {
    if (w.group == SettingsGroup::Window) {
        const CaptureWindowRecord full;
        const std::string name = w.name;
        return name == "TH" ? full.TH : name == "TV" ? full.TV : name == "EH" ? full.EH : name == "EV" ? full.EV
               : name == "Buf" ? full.Buf : 0;
    }
    if (w.group == SettingsGroup::Camera) {
        const CameraValues values;
        const std::string name = w.name;
        return static_cast<uint32_t>(name == "Color" ? values.color : name == "WaitTime" ? values.waitTime : 0);
    }
    return static_cast<uint32_t>(loadedWord(fuzz::LoadedRecords(camera()), w.group, w.name));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::isolateProcess();
    writeStartingStore(SettingsStore{});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const SettingsStore store;
    fuzz::ByteReader input({data, size});
    std::vector<Written> written;
    bool touched[std::size(kGroups)] = {};
    for (size_t i = 0; i < kMaxRecords && !input.exhausted(); ++i) {
        const uint8_t key = input.u8();
        const uint8_t nameIndex = input.u8();
        const uint32_t value = input.u32();
        const size_t groupIndex = (key & 0x7F) % std::size(kGroups);
        const SettingsGroup group = kGroups[groupIndex];
        const auto names = namesOf(group);
        const Written w{group, names[nameIndex % names.size()], value, (key & 0x80) != 0};
        putValue(w, value, w.asDouble, static_cast<double>(static_cast<int32_t>(value)) / 1024.0);
        written.push_back(w);
        touched[groupIndex] = true;
    }

    const GainDefaults& defaults = camera();
    fuzz::LoadedRecords loaded(defaults);
    if (touched[0]) (void)store.loadCameraValues(0, loaded.values);
    if (touched[0] || touched[1]) (void)store.loadSelectedPreset(0, loaded.window);  // Size selects it
    if (touched[2]) (void)store.loadGain(0, loaded.gain, defaults);
    if (touched[3]) (void)store.loadFilter(0, loaded.filter);
    if (touched[4]) (void)store.loadGray(0, loaded.gray);
    fuzz::expectInRange(loaded, defaults);

    // A value in range, written last under its name as a DWORD, loads as it is
    // (a window value only while the window as a whole fits the sensor).
    for (size_t i = 0; i < written.size(); ++i) {
        const Written& w = written[i];
        bool last = true;
        for (size_t j = i + 1; j < written.size(); ++j) {
            last = last && !(written[j].group == w.group && std::strcmp(written[j].name, w.name) == 0);
        }
        const StoredValueRange* row = findStoredValueRange(w.group, w.name);
        if (!last || w.asDouble || row == nullptr || w.group == SettingsGroup::Window) continue;
        if (w.group == SettingsGroup::Camera && std::strcmp(w.name, "Size") == 0) continue;
        const auto bounds = boundsOf(*row, defaults.ranges);
        const auto value = static_cast<int32_t>(w.value);
        if (bounds && value >= bounds->min && value <= bounds->max && loadedWord(loaded, w.group, w.name) != value) {
            fuzz::fail("a value in range was replaced at load");
        }
    }

    // Back to the starting store.
    for (const Written& w : written) {
        if (std::strcmp(w.name, kExposureEx) == 0) {
            putValue(w, 0, true, defaults.exposureEx);
        } else {
            putValue(w, startingValue(w), false, 0.0);
        }
    }
    return 0;
}
