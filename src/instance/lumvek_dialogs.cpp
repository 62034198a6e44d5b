// CLumvek: the three settings dialogs. Each runs modally on the calling
// thread: the model is built from the instance's records and the camera,
// shown by the view (the system's: the GTK module or the Win32 dialog
// boxes, or one set with setDialogView), and
// what its button says is left in the camera, the records and the store.
#include "dialogs/analog_dialog.h"
#include "dialogs/camera_dialog.h"
#include "dialogs/image_dialog.h"
#include "dialogs/language.h"
#include "instance/colour_modes.h"
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
    platform::MutexLock control(controlLock_);
    dialogView_ = std::move(view);
}

dialogs::DialogView* CLumvek::viewForDialog() {
    // The dialogs show the open camera's ranges: without one there is nothing to edit.
    if (!admit(InstanceOperation::OpenDialog)) {
        return nullptr;
    }
    dialogs::DialogView* view;
    {
        platform::MutexLock control(controlLock_);
        if (!dialogView_) {
            dialogView_ = dialogs::systemView();
        }
        view = dialogView_.get();
    }
    if (view == nullptr) {
        ReportError(LUMVEK_ERR_WINDOW);
    }
    return view;
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
    const int camera = cameraNumber_;
    {
        platform::MutexLock control(controlLock_);
        before = state_.state();
        if (before == InstanceState::Previewing || before == InstanceState::Capturing ||
            before == InstanceState::Recording) {
            (void)stopPreviewLocked();
        }
    }
    const auto freeSize = session_.use([](CameraDevice& d) {
        return std::pair<bool, bool>(d.GetFreeWidthFlag() != 0, d.GetFreeHeightFlag() != 0);
    });
    dialogs::CameraDialog model(currentLanguage(), store_, camera, freeSize.first, freeSize.second);
    const bool shown = view->run(model, owner);
    dialogs::cancelIfOpen(model);
    platform::MutexLock control(controlLock_);
    if (model.result() == dialogs::kResultOk) {
        CaptureWindowRecord preset = captureWindow();
        (void)store_.loadSelectedPreset(camera, preset);
        engine_.setWindow(preset);
        CameraValues values;
        values.color = colorModeIndex_;
        values.subSample = subSample_;
        values.waitTime = waitTime_;
        values.clock = clock_;
        if (store_.loadCameraValues(camera, values)) {
            if (isColourModeIndex(values.color)) {
                colorModeIndex_ = values.color;
            }
            subSample_ = values.subSample;
            if (values.waitTime >= 0) {
                waitTime_ = values.waitTime;
            }
            clock_ = values.clock;
        }
    }
    if (before == InstanceState::Previewing || before == InstanceState::Recording) {
        (void)startPreviewLocked();
    } else if (before == InstanceState::Capturing) {
        (void)captureLocked();
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
    dialogs::ImageDialog model(currentLanguage(), colorModeIndex_, toDialog(controls_.image()),
                               [this](const std::function<void(dialogs::ImageRecords&)>& edit) {
                                   controls_.edit([&](ImageSettings& image, GainSettings&) {
                                       dialogs::ImageRecords records = toDialog(image);
                                       edit(records);
                                       fromDialog(records, image);
                                   });
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
    records.gain = controls_.gain();
    {
        platform::MutexLock hold(session_.mutex());
        records.channelGain = session_.channels().gain;
        records.channelOffset = session_.channels().offset;
        records.cooling = session_.coolingOn();
        records.shortExposure = session_.shortExposureMode();
    }
    dialogs::AnalogDialog model(
        currentLanguage(),
        [this](const std::function<void(CameraDevice&)>& use) { session_.use([&](CameraDevice& d) { use(d); }); },
        records,
        [this](const dialogs::AnalogRecords& changed) {
            // The channel and sensor flags belong to the session, the gains to the controls.
            platform::MutexLock hold(session_.mutex());
            session_.channels().gain = changed.channelGain;
            session_.channels().offset = changed.channelOffset;
            session_.coolingOn() = changed.cooling;
            session_.shortExposureMode() = changed.shortExposure;
            controls_.edit([&](ImageSettings&, GainSettings& gain) { gain = changed.gain; });
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
