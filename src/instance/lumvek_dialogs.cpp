// CLumvek: the three settings dialogs. Each runs modally on the calling
// thread: the model is built from the instance's records and the camera,
// shown by the view (the GTK module, or one set with setDialogView), and
// what its button says is left in the camera, the records and the store.
#include "dialogs/analog_dialog.h"
#include "dialogs/camera_dialog.h"
#include "dialogs/image_dialog.h"
#include "dialogs/language.h"
#include "instance/lumvek.h"

namespace lumvek {

namespace {

dialogs::Language currentLanguage() {
    return dialogs::languageFromLangId(dialogs::systemDefaultLangId());
}

dialogs::ImageRecords toDialog(const ImageSettings& s) {
    dialogs::ImageRecords r;
    r.filter = s.filter;
    r.gray = s.gray;
    r.whiteBalance[0] = s.autoWhiteBalance;
    r.whiteBalance[1] = s.whiteBalanceOneShot[0];
    r.whiteBalance[2] = s.whiteBalanceOneShot[1];
    r.grayAdjust = s.grayMeasureRequest;
    return r;
}

void fromDialog(const dialogs::ImageRecords& r, ImageSettings& s) {
    s.filter = r.filter;
    s.gray = r.gray;
    s.autoWhiteBalance = r.whiteBalance[0];
    s.whiteBalanceOneShot[0] = r.whiteBalance[1];
    s.whiteBalanceOneShot[1] = r.whiteBalance[2];
    s.grayMeasureRequest = r.grayAdjust;
}

} // namespace

void CLumvek::setDialogView(std::unique_ptr<dialogs::DialogView> view) {
    dialogView_ = std::move(view);
}

bool CLumvek::cameraOpen() {
    std::lock_guard device(deviceLock_);
    // A sensor driver answers with its ranges only while a camera is open.
    return device_ && device_->GetGlobalGainMax() > 0;
}

dialogs::DialogView* CLumvek::viewForDialog() {
    if (!cameraOpen()) {
        ReportError(LUMVEK_ERR_STATE);
        return nullptr;
    }
    dialogs::DialogView* view = dialogView();
    if (view == nullptr) {
        ReportError(LUMVEK_ERR_WINDOW);
    }
    return view;
}

dialogs::DialogView* CLumvek::dialogView() {
    if (!dialogView_) {
        dialogView_ = dialogs::loadModuleView();
    }
    return dialogView_.get();
}

int CLumvek::SetCameraDlg(HWND owner) {
    dialogs::DialogView* view = viewForDialog();
    if (view == nullptr) {
        return 0;
    }
    // Acquisition stops while the formats are edited and resumes as it was.
    // The control lock is not held while the dialog is open: the application
    // may call other exports from its own threads meanwhile.
    InstanceState before = InstanceState::Idle;
    {
        std::lock_guard control(controlLock_);
        before = state();
        if (before == InstanceState::Previewing || before == InstanceState::Capturing ||
            before == InstanceState::Recording) {
            (void)StopPreview();
        }
    }
    bool adjustH = false;
    bool adjustV = false;
    {
        std::lock_guard device(deviceLock_);
        adjustH = device_->GetFreeWidthFlag() != 0;
        adjustV = device_->GetFreeHeightFlag() != 0;
    }
    dialogs::CameraDialog model(currentLanguage(), store_, cameraNumber_, adjustH, adjustV);
    const bool shown = view->run(model, owner);
    dialogs::cancelIfOpen(model);
    std::lock_guard control(controlLock_);
    if (model.result() == dialogs::kResultOk) {
        // The capture window is written under the frame lock its readers take.
        CaptureWindowRecord preset = captureWindow();
        (void)store_.loadSelectedPreset(cameraNumber_, preset);
        setWindow(preset);
        CameraValues values;
        values.color = colorModeIndex_;
        values.subSample = subSample_;
        values.waitTime = waitTime_;
        values.clock = clock_;
        if (store_.loadCameraValues(cameraNumber_, values)) {
            colorModeIndex_ = values.color >= 0 && values.color < 6 ? values.color : colorModeIndex_.load();
            subSample_ = values.subSample;
            waitTime_ = values.waitTime >= 0 ? values.waitTime : waitTime_.load();
            clock_ = values.clock;
        }
    }
    if (before == InstanceState::Previewing || before == InstanceState::Recording) {
        (void)StartPreview();
    } else if (before == InstanceState::Capturing) {
        (void)Capture();
    }
    if (!shown) {
        ReportError(LUMVEK_ERR_WINDOW);
        return 0;
    }
    return 1;
}

int CLumvek::SetImageDlg(HWND owner) {
    dialogs::DialogView* view = viewForDialog();
    if (view == nullptr) {
        return 0;
    }
    dialogs::ImageDialog model(currentLanguage(), colorModeIndex_, toDialog(imageSettings()),
                               [this](const std::function<void(dialogs::ImageRecords&)>& edit) {
                                   std::lock_guard lock(settingsLock_);
                                   dialogs::ImageRecords records = toDialog(image_);
                                   edit(records);
                                   fromDialog(records, image_);
                               });
    const bool shown = view->run(model, owner);
    dialogs::cancelIfOpen(model);
    if (!shown) {
        ReportError(LUMVEK_ERR_WINDOW);
        return 0;
    }
    return 1;
}

int CLumvek::SetAnalogDlg(HWND owner) {
    dialogs::DialogView* view = viewForDialog();
    if (view == nullptr) {
        return 0;
    }
    dialogs::AnalogRecords records;
    {
        std::lock_guard lock(settingsLock_);
        records.gain = gain_;
        records.channelGain = channelGain_;
        records.channelOffset = channelOffset_;
        records.cooling = coolingOn_;
        records.shortExposure = shortExposureMode_;
    }
    dialogs::AnalogDialog model(
        currentLanguage(),
        [this](const std::function<void(CameraDevice&)>& use) {
            std::lock_guard device(deviceLock_);
            use(*device_);
        },
        records,
        [this](const dialogs::AnalogRecords& changed) {
            std::lock_guard lock(settingsLock_);
            gain_ = changed.gain;
            channelGain_ = changed.channelGain;
            channelOffset_ = changed.channelOffset;
            coolingOn_ = changed.cooling;
            shortExposureMode_ = changed.shortExposure;
        });
    const bool shown = view->run(model, owner);
    dialogs::cancelIfOpen(model);
    if (!shown) {
        ReportError(LUMVEK_ERR_WINDOW);
        return 0;
    }
    return 1;
}

} // namespace lumvek
