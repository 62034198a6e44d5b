#pragma once
// What the tool checks of the settings store with the library's own store
// code: whether it can be written (a scratch value written and removed), what
// a camera's stored value of a setting is, and which stored values the SDK
// would refuse and replace when it loads them.
#include <optional>
#include <string>
#include <vector>

#include "settings_table.h"

namespace lumvek::tool {

// "" when the store at path can be written; else why not, in words.
[[nodiscard]] std::string settingsStoreWriteProblem(const std::string& path);
// "settings store PATH cannot be written: REASON"
[[nodiscard]] std::string unwritableStoreMessage(const std::string& path, const std::string& reason);

// The value the store holds for a camera's setting; nullopt when the store
// does not keep that setting (or holds no value for it).
[[nodiscard]] std::optional<int> storedSettingValue(const SettingInfo& setting, int camera);
// Whether the store keeps the setting at all (channel values live in the
// camera, a few others are passed to the camera only).
[[nodiscard]] bool storeKeeps(const SettingInfo& setting);

struct StoredValueProblem {
    std::string value;  // "Camera_00\\Filter\\Gamma"
    std::string stored;
    std::string allowed;
    std::string used;
};
// Every stored value of every camera in the store that the SDK would replace
// by its default when it loads it (the library's own model's ranges).
[[nodiscard]] std::vector<StoredValueProblem> outOfRangeStoredValues();

} // namespace lumvek::tool
