#pragma once
// The camera dialog: frame format, capture-window presets, wait time and
// clock of one camera index, edited in the settings store. Nothing reaches
// the camera while it is open; after OK the instance reloads what it wrote.
#include "dialogs/dialog_model.h"
#include "settings/settings_store.h"

namespace lumvek::dialogs {

// Control ids of the camera dialog.
inline constexpr int kIdColorCombo = 1009;
inline constexpr int kIdSizeCombo = 1010;
inline constexpr int kIdSubSampleCombo = 1012;
inline constexpr int kIdClockCombo = 1014;
inline constexpr int kIdHTotal = 1039;
inline constexpr int kIdVTotal = 1040;
inline constexpr int kIdHEffective = 1041;
inline constexpr int kIdVEffective = 1042;
inline constexpr int kIdHStart = 1043;
inline constexpr int kIdVStart = 1044;
inline constexpr int kIdWaitTime = 1045;

class CameraDialog final : public DialogModel {
public:
    // Loads the presets and values of camera from store. adjustH / adjustV:
    // whether the sensor's window can be adjusted horizontally / vertically.
    CameraDialog(Language language, const SettingsStore& store, int camera, bool adjustH, bool adjustV);

    [[nodiscard]] int presetCount() const { return count_; }

protected:
    void onChange(int id, int value) override;
    void onButton(int id) override;

private:
    [[nodiscard]] std::string presetText(const CaptureWindowRecord& preset) const;
    void showPreset(const CaptureWindowRecord& preset);
    // Reads the controls into the record and writes it; false (nothing
    // written) when a new preset would not fit.
    bool apply();

    const SettingsStore& store_;
    int camera_;
    std::vector<CaptureWindowRecord> presets_;  // kMaxPresets records, count_ of them in use
    int count_ = 0;
    CameraValues values_;
};

} // namespace lumvek::dialogs
