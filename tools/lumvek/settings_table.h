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

// What set accepts, in numbers: the table's range, or for the camera's own
// ranges the figures of its information record ("15..1023"), or for values
// passed to the camera what it has ("nothing: this camera has no gain-mode").
// Uses the instance's error history; leaves it empty.
[[nodiscard]] std::string acceptedRange(int handle, const SettingInfo& setting);

// The line `set` prints when the value read back (`now`) differs from the one
// asked: what was kept and why, "gain-rgb = 16777215 (...)".
[[nodiscard]] std::string adjustedValueLine(const SettingInfo& setting, int asked, int now);

} // namespace lumvek::tool
