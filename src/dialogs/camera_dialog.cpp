#include "dialogs/camera_dialog.h"

#include <cstdio>

namespace lumvek::dialogs {

namespace {

constexpr int kMaxWindowValue = 65535;  // the window registers are 16 bits wide
constexpr int kMaxWaitTimeMs = 60000;
constexpr int kWordTransferBits = 16;
constexpr int kHighClockMHz = 18;
// The clock combo is disabled and always shows its third entry.
constexpr int kForcedClockEntry = 2;

std::string format(const char* pattern, int value) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

} // namespace

CameraDialog::CameraDialog(Language language, const SettingsStore& store, int camera, bool adjustH, bool adjustV)
    : DialogModel(language), store_(store), camera_(camera), presets_(kMaxPresets) {
    SettingsStore::DialogPresets loaded;
    (void)store_.loadDialogPresets(camera_, loaded);
    count_ = static_cast<int>(std::min<size_t>(loaded.presets.size(), kMaxPresets));
    std::copy(loaded.presets.begin(), loaded.presets.begin() + count_, presets_.begin());
    values_ = loaded.values;

    const Language l = language;
    const int page = addPage(pick(l, "Stream Format", "ストリーム形式"));
    addLabel(page, -1, pick(l, "Video Format", "ビデオ形式"));
    std::vector<std::string> colours = {
        pick(l, "Monochrome 8bit", "白黒 8bit"),
        format(pick(l, "Monochrome %dbit *", "白黒 %dbit ※"), kWordTransferBits),
        pick(l, "Color 24bit", "カラー 24bit"),
        pick(l, "Color 32bit", "カラー 32bit"),
        pick(l, "Color 48bit *", "カラー 48bit ※"),
        pick(l, "Color 64bit *", "カラー 64bit ※"),
    };
    // The stored colour selects its text; an unknown one the first entry.
    const int colour = values_.color >= 0 && values_.color < static_cast<int>(colours.size()) ? values_.color : 0;
    addCombo(page, kIdColorCombo, pick(l, "Color / Compression(&C):", "色空間 / 圧縮(&C):"), std::move(colours), colour);

    std::vector<std::string> sizes;
    for (int i = 0; i < count_; ++i) {
        sizes.push_back(presetText(presets_[static_cast<size_t>(i)]));
    }
    sizes.push_back(pick(l, "Custom", "カスタム"));
    const int selected = values_.size >= 0 && values_.size <= count_ ? values_.size : 0;
    addCombo(page, kIdSizeCombo, pick(l, "Size(&S):", "出力サイズ(&S):"), std::move(sizes), selected);
    addCombo(page, kIdSubSampleCombo, pick(l, "Sub Sample(&B):", "間引き転送モード(&B):"), {"1/1"}, 0);
    enable(kIdSubSampleCombo, false);

    addLabel(page, -2, pick(l, "Camera Size", "カスタムサイズ"));
    // "Custom" after a full list has no record of its own: the edits start at the full frame.
    const CaptureWindowRecord preset =
        selected < kMaxPresets ? presets_[static_cast<size_t>(selected)] : CaptureWindowRecord{};
    addEdit(page, kIdHTotal, pick(l, "H Total", "総水平画素"), 0, kMaxWindowValue, static_cast<int>(preset.TH));
    addEdit(page, kIdVTotal, pick(l, "V Total", "総垂直画素"), 0, kMaxWindowValue, static_cast<int>(preset.TV));
    addEdit(page, kIdHEffective, pick(l, "H Effective", "有効水平画素"), 0, kMaxWindowValue,
            static_cast<int>(preset.EH));
    addEdit(page, kIdVEffective, pick(l, "V Effective", "有効垂直画素"), 0, kMaxWindowValue,
            static_cast<int>(preset.EV));
    addEdit(page, kIdHStart, pick(l, "H Start", "有効水平起点"), 0, kMaxWindowValue, static_cast<int>(preset.EHS));
    addEdit(page, kIdVStart, pick(l, "V Start", "有効垂直起点"), 0, kMaxWindowValue, static_cast<int>(preset.EVS));

    addLabel(page, -3, pick(l, "Frame Rate", "フレームレート"));
    addEdit(page, kIdWaitTime, pick(l, "Wait Time(&T):", "フレーム間待ち時間(&T):"), 0, kMaxWaitTimeMs, values_.waitTime);
    addCombo(page, kIdClockCombo, pick(l, "Clock(&C):", "動作クロック(&C):"),
             {pick(l, "Nomal(24MHz)", "標準(24MHz)"), pick(l, "Half(12MHz)", "ハーフ(12MHz)"),
              format(pick(l, "High(%dMHz)", "高速(%dMHz)"), kHighClockMHz)},
             kForcedClockEntry);
    enable(kIdClockCombo, false);
    addLabel(page, -4,
             pick(l, "* In the WORD forwarding mode, please set the clock to the half.",
                  "※WORD転送モードの際は動作クロックをハーフに設定してください"));

    addButton(-1, kIdOk, "OK");
    addButton(-1, kIdCancel, pick(l, "Cancel", "キャンセル"));
    addButton(-1, kIdApply, pick(l, "Apply(&A)", "適用(&A)"));
    setButtons({kIdOk, kIdCancel, kIdApply});
    enable(kIdApply, false);
    if (!adjustH) {
        for (int id : {kIdHTotal, kIdHEffective, kIdHStart}) {
            enable(id, false);
        }
    }
    if (!adjustV) {
        for (int id : {kIdVTotal, kIdVEffective, kIdVStart}) {
            enable(id, false);
        }
    }
    if (!adjustH && !adjustV) {
        enable(kIdSizeCombo, false);
    }
    finishInitialising();
}

std::string CameraDialog::presetText(const CaptureWindowRecord& preset) const {
    char text[64];
    std::snprintf(text, sizeof text, "%d x %d", static_cast<int>(preset.EH), static_cast<int>(preset.EV));
    return text;
}

void CameraDialog::showPreset(const CaptureWindowRecord& preset) {
    show(kIdHTotal, static_cast<int>(preset.TH));
    show(kIdVTotal, static_cast<int>(preset.TV));
    show(kIdHEffective, static_cast<int>(preset.EH));
    show(kIdVEffective, static_cast<int>(preset.EV));
    show(kIdHStart, static_cast<int>(preset.EHS));
    show(kIdVStart, static_cast<int>(preset.EVS));
}

void CameraDialog::onChange(int id, int value) {
    // A preset fills the edits; "Custom" keeps what they hold.
    if (id == kIdSizeCombo && value < count_) {
        showPreset(presets_[static_cast<size_t>(value)]);
    }
    enable(kIdApply, true);
}

bool CameraDialog::apply() {
    const int size = value(kIdSizeCombo);
    const bool custom = size >= count_;
    if (custom && count_ >= kMaxPresets) {
        tell(pick(language_, "No more presets can be stored (at most 100).",
                  "これ以上サイズを登録できません（最大100件）。"));
        return false;
    }
    CaptureWindowRecord edited = presets_[static_cast<size_t>(custom ? count_ : size)];
    edited.TH = static_cast<uint32_t>(value(kIdHTotal));
    edited.TV = static_cast<uint32_t>(value(kIdVTotal));
    edited.EH = static_cast<uint32_t>(value(kIdHEffective));
    edited.EV = static_cast<uint32_t>(value(kIdVEffective));
    edited.EHS = static_cast<uint32_t>(value(kIdHStart));
    edited.EVS = static_cast<uint32_t>(value(kIdVStart));

    values_.color = value(kIdColorCombo);
    values_.size = size;
    values_.subSample = value(kIdSubSampleCombo);
    values_.clock = value(kIdClockCombo);
    values_.waitTime = value(kIdWaitTime);

    ControlState& combo = at(kIdSizeCombo);
    if (custom) {
        // The new entry goes in before "Custom", which stays selected.
        presets_[static_cast<size_t>(count_)] = edited;
        combo.items.insert(combo.items.begin() + count_, presetText(edited));
        ++count_;
        combo.max = count_;
        combo.value = count_;
    } else {
        presets_[static_cast<size_t>(size)] = edited;
        combo.items[static_cast<size_t>(size)] = presetText(edited);
    }
    SettingsStore::DialogPresets record;
    record.presets.assign(presets_.begin(), presets_.begin() + count_);
    record.values = values_;
    (void)store_.saveDialogPresets(camera_, record);  // failures are silent, as for every store write
    enable(kIdApply, false);
    tell("");
    return true;
}

void CameraDialog::onButton(int id) {
    switch (id) {
    case kIdApply:
        (void)apply();
        break;
    case kIdOk:
        if (apply()) {
            close(kResultOk);
        }
        break;
    case kIdCancel:
        close(kResultCancel);
        break;
    default:
        break;
    }
}

} // namespace lumvek::dialogs
