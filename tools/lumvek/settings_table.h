#pragma once
// Every setting that `lumvek get` and `lumvek set` reach, by a readable
// name: the SDK's filter selectors plus the mirror and auto-iris calls that
// have exports of their own.
#include <span>
#include <string>

namespace lumvek::tool {

enum class SettingAccess {
    ReadWrite,
    ReadOnly,   // set refused by the tool (temperature)
    WriteOnly,  // get refused by the tool (one-shot requests)
};

enum class SettingKind {
    Selector,  // Lumvek_GetFilterValue / Lumvek_SetFilterValue
    MirrorH,
    MirrorV,
    AutoIris,
};

// What set accepts: low..high, or, where the camera or the packing decides,
// a note saying so.
struct SettingRange {
    int low = 0;
    int high = 0;
    const char* note = nullptr;
};

struct SettingInfo {
    const char* name;
    SettingKind kind;
    int selector;        // for SettingKind::Selector
    SettingAccess access;
    SettingRange range;
    const char* meaning;
    bool kept = true;    // the SDK keeps it (settings store or serial ROM) after the run
};

// The range as --help and messages show it: "-255..255", or the note.
[[nodiscard]] std::string rangeText(const SettingInfo& setting);

[[nodiscard]] std::span<const SettingInfo> allSettings();
// nullptr for an unknown name (case-insensitive; '_' reads as '-').
[[nodiscard]] const SettingInfo* findSetting(const std::string& name);

// The value of a setting; false when the SDK refused (its code is left in
// the instance's error history).
[[nodiscard]] bool readSetting(int handle, const SettingInfo& setting, int& value);
[[nodiscard]] bool writeSetting(int handle, const SettingInfo& setting, int value);

} // namespace lumvek::tool
