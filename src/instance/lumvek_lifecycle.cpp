// CLumvek: construction, initialisation, camera selection, naming and
// teardown.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "instance/lumvek.h"
#include "instance/notifier.h"
#include "platform/log/log.h"
#include "platform/text/text_conversion.h"

namespace lumvek {

namespace {

constexpr int kEnumNames = 10;
constexpr int kEnumNameBytes = 256;
// "LumvekR13-USB3-K7_01": the product string, an underscore, two digits.
constexpr int kMinDeviceNameBufferRefused = 17;
// The camera description: the first part up to the exposure range, then
// the two doubles of the range in seconds.
constexpr int32_t kCameraInfoShortBytes = 36;
constexpr int32_t kCameraInfoFullBytes = 56;
constexpr size_t kCameraInfoSecondsMinOffset = 40;
constexpr size_t kCameraInfoSecondsMaxOffset = 48;

} // namespace

CLumvek::CLumvek(CameraDeviceFactory deviceFactory)
    : deviceFactory_(deviceFactory),
      recorder_(std::make_unique<AviRecorder>(recorderSource_, [this](int code) { ReportError(code); })),
      state_([this] { return recorder_->isRecording(); }) {}

CLumvek::~CLumvek() {
    platform::logf(platform::LogCategory::Instance, "release: saving the settings");
    {
        platform::MutexLock control(controlLock_);
        {
            // The worker may still run its automatic exposure step.
            platform::MutexLock hold(session_.mutex());
            saveGroups();
            session_.writeChannelBlock();
        }
        closeLocked();
        platform::logf(platform::LogCategory::Instance, "release: closing the camera");
        platform::MutexLock hold(session_.mutex());
        session_.release();
    }
    engine_.freeBuffers();
    platform::logf(platform::LogCategory::Instance, "release: done");
}

bool CLumvek::admit(InstanceOperation op) {
    const int code = state_.refusal(op);
    if (code != 0) {
        ReportError(code);
    }
    return code == 0;
}

bool CLumvek::admitPostOnly(InstanceOperation op) {
    const int code = state_.refusal(op);
    if (code != 0) {
        PostErrorOnly(code);
    }
    return code == 0;
}

int CLumvek::Initialize(HWND notifyWindow) {
    platform::logf(platform::LogCategory::Instance, "initialize: making buffers");
    platform::MutexLock control(controlLock_);
    closeLocked();
    std::unique_ptr<CameraDevice> device = deviceFactory_ != nullptr ? deviceFactory_() : nullptr;
    const bool made = device != nullptr;
    {
        platform::MutexLock hold(session_.mutex());
        session_.install(std::move(device));
    }
    state_.deviceMade(made);
    const bool buffersMade = engine_.makeBuffers();

    errors_.setWindow(notifyWindow);
    if (notifyWindow != nullptr && !registerForDeviceChanges(notifyWindow)) {
        return 0;
    }
    if (!buffersMade) {
        ReportError(LUMVEK_ERR_MEMORY);
        return 0;
    }
    if (!engine_.makePlanes(kFullWidth, kFullHeight)) {
        return 0;
    }

    CaptureWindowRecord preset = captureWindow();
    (void)store_.loadSelectedPreset(cameraNumber_, preset);
    engine_.setWindow(preset);

    platform::logf(platform::LogCategory::Instance, "initialize: counting cameras");
    bool exactlyOne = false;
    {
        platform::MutexLock hold(session_.mutex());
        if (CameraDevice* d = session_.device()) {
            (void)d->SetProductId(kProductR13);
            (void)d->CreateController(nullptr);
            exactlyOne = d->CountDevices(kProductR13) == 1;
        }
    }
    platform::logf(platform::LogCategory::Instance, "initialize: %s", exactlyOne ? "one camera, opening it" : "no camera opened");
    bool opened = false;
    if (exactlyOne) {
        opened = selectCamera(0) != 0;
    }

    {
        platform::MutexLock hold(session_.mutex());
        loadGroups();
        if (!opened) {
            session_.readChannelBlock();  // an opened camera's block was read as it opened (16 ROM reads, 10 ms each)
        }
    }

    CameraValues values;
    values.color = colorModeIndex_;
    values.subSample = subSample_;
    values.waitTime = waitTime_;
    values.clock = clock_;
    if (store_.loadCameraValues(cameraNumber_, values)) {
        colorModeIndex_ = values.color;
        subSample_ = values.subSample;
        waitTime_ = values.waitTime;
        clock_ = values.clock;
    }
    platform::logf(platform::LogCategory::Instance, "initialize: done");
    return 1;
}

GainDefaults CLumvek::gainDefaults() {
    // Without an open camera the library's own model stands in.
    CameraDevice* d = session_.device();
    if (d == nullptr || !state_.cameraOpen()) {
        return r13GainDefaults();
    }
    GainDefaults defaults;
    defaults.globalGain = d->GetGlobalGainDefault();
    defaults.colorGain = d->GetColorGainDefault();
    defaults.exposure = d->GetExposureDefault();
    (void)d->GetBlackLevelDefault(&defaults.blackLevel);
    defaults.ranges = deviceRangesOf(*d);
    defaults.exposureExAvailable = d->IsExposureTimeExAvailable() != 0;
    if (defaults.exposureExAvailable) {
        (void)d->GetExposureTimeExDefault(&defaults.exposureEx);
    }
    return defaults;
}

void CLumvek::loadGroups() {
    const GainDefaults defaults = gainDefaults();
    const int camera = cameraNumber_;
    controls_.edit([&](ImageSettings& image, GainSettings& gain) {
        (void)store_.loadGain(camera, gain, defaults);
        if (!store_.loadFilter(camera, image.filter)) {
            // A missing Filter group also clears the settings that ride with it.
            image.autoWhiteBalance = 0;
            image.whiteBalanceOneShot[0] = image.whiteBalanceOneShot[1] = 0;
            image.grayMeasureRequest = 0;
        }
        (void)store_.loadGray(camera, image.gray);
    });
}

void CLumvek::saveGroups() {
    const ControlsSnapshot snapshot = controls_.snapshot();
    (void)store_.saveGain(cameraNumber_, snapshot.gain);
    (void)store_.saveFilter(cameraNumber_, snapshot.image.filter);
    (void)store_.saveGray(cameraNumber_, snapshot.image.gray);
}

void CLumvek::restoreGainsAndExposure(CameraDevice& d, const GainSettings& gain) {
    (void)d.SetGlobalGain(gain.global);
    (void)d.SetColorGainGreen1(gain.colorG1);
    (void)d.SetColorGainRed(gain.colorR);
    (void)d.SetColorGainBlue(gain.colorB);
    (void)d.SetColorGainGreen2(gain.colorG2);
    if (d.IsExposureTimeExAvailable()) {
        (void)d.SetExposureSeconds(gain.exposureEx);
    } else {
        (void)d.SetExposure(gain.exposure);
    }
}

void CLumvek::restoreDeviceSettings() {
    CameraDevice& d = *session_.device();
    const GainSettings gain = controls_.gain();
    restoreGainsAndExposure(d, gain);
    (void)d.SetMirrorV(gain.vMirror);
    (void)d.SetMirrorH(gain.hMirror);
    if (d.IsBlackLevelAvailable()) {
        (void)d.SetBlackLevel(gain.blackLevel);
    }
    if (d.IsCoolingSupported()) {
        (void)d.SetCooling(1);
        session_.coolingOn() = 1;
    }
    if (d.IsShortExposureModeAvailable()) {
        (void)d.SetShortExposureMode(0);
        session_.shortExposureMode() = 0;
    }
    if (d.IsGainModeAvailable()) {
        (void)d.SetGainMode(gain.gainMode);
    }
}

int CLumvek::SetDeviceNumber(int index) {
    platform::MutexLock control(controlLock_);
    return selectCamera(index);
}

int CLumvek::selectCamera(int index) {
    if (!admit(InstanceOperation::SelectCamera)) {
        return 0;
    }
    // The whole switch holds the session lock: a reader sees the old camera
    // or the new one with its settings restored, never the sensor driver
    // being replaced.
    platform::MutexLock hold(session_.mutex());
    // A capture prepared for the old camera is prepared again for the new one.
    state_.stopped();
    if (openedBefore_) {
        saveGroups();
        session_.writeChannelBlock();
    }
    openedBefore_ = true;
    CameraDevice* d = session_.device();
    platform::logf(platform::LogCategory::Instance, "open: camera %d", index);
    if (d == nullptr || !d->IsDeviceNumberPresent(index)) {
        ReportError(LUMVEK_ERR_NO_CAMERA);
        return 0;
    }
    if (!d->CreateSensor(index)) {
        state_.cameraSelected(false);
        ReportError(LUMVEK_ERR_NO_CAMERA);
        return 0;
    }
    state_.cameraSelected(true);
    cameraNumber_ = d->GetOpenDeviceNumber();
    platform::logf(platform::LogCategory::Instance, "open: restoring the settings of camera %d", cameraNumber_.load());
    loadGroups();
    restoreDeviceSettings();
    platform::logf(platform::LogCategory::Instance, "open: reading the channel block");
    session_.readChannelBlock();
    session_.applyChannelValues();
    cameraNumber_ = index;
    platform::logf(platform::LogCategory::Instance, "opened camera %d", index);
    return 1;
}

int CLumvek::EnumDevice(char names[10][256]) {
    if (!admit(InstanceOperation::UseDevice)) {
        return 0;
    }
    if (names == nullptr) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    // Device numbers can have gaps (an unplugged camera keeps its number):
    // walk the numbers until every present camera is named.
    const int written = session_.use([names](CameraDevice& d) {
        const int n = d.CountDevices(kProductR13);
        const int numbers = d.GetMaxDevices();
        int count = 0;
        for (int j = 0; j < numbers && count < n && count < kEnumNames; ++j) {
            if (d.IsDeviceNumberPresent(j)) {
                std::snprintf(names[count], kEnumNameBytes, "%s_%02d", kProductString, count + 1);
                ++count;
            }
        }
        return count;
    });
    for (int i = written; i < kEnumNames; ++i) {
        names[i][0] = '\0';
    }
    return written;
}

int CLumvek::EnumDeviceW(LUMVEK_WCHAR names[10][256]) {
    if (names == nullptr) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    char narrow[kEnumNames][kEnumNameBytes] = {};
    const int count = EnumDevice(narrow);  // reports a missing device object itself
    for (int i = 0; i < kEnumNames; ++i) {
        if (i >= count || !platform::utf8ToUtf16(narrow[i], names[i], kEnumNameBytes)) {
            names[i][0] = 0;
        }
    }
    return count;
}

bool CLumvek::formatDeviceName(int index, char* buffer, size_t size) {
    const int needed = std::snprintf(nullptr, 0, "%s_%02d", kProductString, index + 1);
    if (needed < 0 || static_cast<size_t>(needed) + 1 > size) {
        return false;
    }
    std::snprintf(buffer, size, "%s_%02d", kProductString, index + 1);
    return true;
}

int CLumvek::GetDeviceName(int index, char* buffer, int size) {
    if (!admit(InstanceOperation::UseDevice)) {
        return 0;
    }
    if (buffer == nullptr || size <= kMinDeviceNameBufferRefused) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    const bool present = session_.use([index](CameraDevice& d) {
        return index >= 0 && index < d.GetMaxDevices() && d.IsDeviceNumberPresent(index) != 0;
    });
    if (!present) {
        ReportError(LUMVEK_ERR_NO_CAMERA);
        return 0;
    }
    // The name and its terminator must fit: a short buffer is refused, not overrun.
    if (!formatDeviceName(index, buffer, static_cast<size_t>(size))) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    return 1;
}

int CLumvek::GetDeviceNameW(int index, LUMVEK_WCHAR* buffer, int size) {
    char narrow[kEnumNameBytes];
    if (!GetDeviceName(index, narrow, sizeof narrow)) {
        return 0;
    }
    if (buffer == nullptr || size <= 0 || !platform::utf8ToUtf16(narrow, buffer, static_cast<size_t>(size))) {
        ReportError(LUMVEK_ERR_CONVERSION);
        return 0;
    }
    return 1;
}

int CLumvek::GetCameraInfo(LumvekCameraInfo* record) {
    if (!admit(InstanceOperation::UseDevice)) {
        return 0;
    }
    if (record == nullptr) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    if (record->size < kCameraInfoShortBytes) {
        ReportError(LUMVEK_ERR_MEMORY);
        return 0;
    }
    // One hold of the session lock: every field describes the same camera.
    session_.use([record](CameraDevice& d) {
        record->fullWidth = kFullWidth;
        record->fullHeight = kFullHeight;
        record->globalGainMin = d.GetGlobalGainMin();
        record->globalGainMax = d.GetGlobalGainMax();
        record->colorGainMin = d.GetColorGainMin();
        record->colorGainMax = d.GetColorGainMax();
        record->exposureMin = d.GetExposureMin();
        record->exposureMax = d.GetExposureMax();
        if (record->size >= kCameraInfoFullBytes) {
            // Only the first `size` bytes are the caller's: the doubles are
            // written only when the record says it holds them.
            double seconds = 0.0;
            (void)d.GetExposureTimeExMin(&seconds);
            std::memcpy(reinterpret_cast<uint8_t*>(record) + kCameraInfoSecondsMinOffset, &seconds, sizeof seconds);
            seconds = 0.0;
            (void)d.GetExposureTimeExMax(&seconds);
            std::memcpy(reinterpret_cast<uint8_t*>(record) + kCameraInfoSecondsMaxOffset, &seconds, sizeof seconds);
        }
    });
    return 1;
}

} // namespace lumvek
