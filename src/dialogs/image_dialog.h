#pragma once
// The image dialog: the software filter ("Image Filter") and, in the
// monochrome colour modes, the gray-level correction ("Gray Filter"). Every
// change goes into the instance's records at once and acts on the next
// processed frame; Cancel puts back the records the dialog opened with.
#include <functional>

#include "dialogs/dialog_model.h"
#include "settings/settings_records.h"

namespace lumvek::dialogs {

// What the image dialog edits in the instance.
struct ImageRecords {
    FilterSettings filter;
    GraySettings gray;
    int32_t whiteBalance[3] = {0, 0, 0};  // continuous, and the two one-shot requests
    int32_t grayAdjust = 0;               // 1 once, -1 continuous, 0 off
};

// Applies edit to the instance's records under its settings lock; only the
// fields edit touches change (the frame loop clears request flags itself).
using UpdateImage = std::function<void(const std::function<void(ImageRecords&)>& edit)>;

// Controls of the image page; the gray page's copies of the shared ids
// (2074, 1035, 1030-1033) are addressed as grayPageId(id).
inline constexpr int kIdWhiteBalanceOnce = 2074;
inline constexpr int kIdWhiteBalanceAll = 1035;
inline constexpr int kIdBayerMode0 = 1030;
inline constexpr int kIdGrayModeBayer = 1046;
inline constexpr int kGrayPageIdOffset = 100000;
[[nodiscard]] constexpr int grayPageId(int id) { return id + kGrayPageIdOffset; }

class ImageDialog final : public DialogModel {
public:
    // colourMode: the instance's colour mode index (0..5) when the dialog opens.
    ImageDialog(Language language, int colourMode, const ImageRecords& records, UpdateImage update);

    [[nodiscard]] bool hasGrayPage() const { return grayPage_; }

protected:
    void onChange(int id, int value) override;
    void onButton(int id) override;

private:
    void buildImagePage(int colourMode);
    void buildGrayPage();
    void display(const ImageRecords& records);

    UpdateImage update_;
    ImageRecords opened_;
    bool grayPage_ = false;
};

} // namespace lumvek::dialogs
