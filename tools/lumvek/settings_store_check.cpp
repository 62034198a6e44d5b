#include "settings_store_check.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#include "platform/registry/registry.h"
#include "settings/registry_key.h"
#include "settings/settings_ranges.h"
#include "settings/settings_store.h"

namespace lumvek::tool {

namespace {

constexpr int kCameraKeys = 100;  // Camera_00 .. Camera_99

// The stored value a setting of the tool lands in.
const StoredValueRange* storedRow(const SettingInfo& setting) {
    const char* name = nullptr;
    switch (setting.kind) {
    case SettingKind::MirrorH:
        name = "H_Mirror";
        break;
    case SettingKind::MirrorV:
        name = "V_Mirror";
        break;
    case SettingKind::AutoIris:
        name = "AutoIris";
        break;
    case SettingKind::Selector:
        for (const auto& row : storedValueRanges()) {
            // Unchecked rows are passed to the camera; the instance's copy
            // comes from the store only, so a set does not reach the store.
            if (row.selector == setting.selector && row.source != RangeSource::Unchecked) return &row;
        }
        return nullptr;
    }
    return findStoredValueRange(SettingsGroup::Gain, name);
}

} // namespace

std::string settingsStoreWriteProblem(const std::string& path) {
    struct stat st {};
    if (path.empty()) return "no path (neither LUMVEK_REGISTRY_FILE nor a home folder)";
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return "it is a folder, not a file";
        if (!S_ISREG(st.st_mode)) return "it is not a regular file";
    }
    // The probe writes to the store the environment names: name path for it.
    const char* before = std::getenv("LUMVEK_REGISTRY_FILE");
    const std::string previous = before != nullptr ? before : "";
    setenv("LUMVEK_REGISTRY_FILE", path.c_str(), 1);
    const platform::LONG status = platform::registryProbeWrite();
    if (before != nullptr) {
        setenv("LUMVEK_REGISTRY_FILE", previous.c_str(), 1);
    } else {
        unsetenv("LUMVEK_REGISTRY_FILE");
    }
    return status == platform::ERROR_SUCCESS ? std::string() : platform::registryStatusText(status);
}

std::string unwritableStoreMessage(const std::string& path, const std::string& reason) {
    return "settings store " + path + " cannot be written: " + reason;
}

bool storeKeeps(const SettingInfo& setting) {
    return setting.kept && storedRow(setting) != nullptr;
}

std::optional<int> storedSettingValue(const SettingInfo& setting, int camera) {
    const StoredValueRange* row = storedRow(setting);
    if (row == nullptr || !setting.kept) return std::nullopt;
    RegistryKey key;
    if (!RegistryKey::openRead(cameraKeyPath(camera) + "\\" + groupName(row->group), key)) return std::nullopt;
    uint32_t value = 0;
    if (!key.readDword(row->name, value)) return std::nullopt;
    return static_cast<int>(value);
}

std::vector<StoredValueProblem> outOfRangeStoredValues() {
    std::vector<StoredValueProblem> problems;
    const SettingsStore store;
    const GainDefaults defaults = r13GainDefaults();
    for (int camera = 0; camera < kCameraKeys; ++camera) {
        RegistryKey key;
        if (!RegistryKey::openRead(cameraKeyPath(camera), key)) continue;
        for (const auto& found : store.outOfRangeValues(camera, defaults)) {
            problems.push_back({found.value, found.stored, found.allowed, found.used});
        }
    }
    return problems;
}

} // namespace lumvek::tool
