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

// The serial ROM keeps channel gains 1..4 then offsets 1..4 as little-endian
// 16-bit words from this address up.
constexpr uint16_t kChannelBlockAddress = 0x1062;
constexpr int kChannelBlockBytes = 16;
constexpr int kEnumNames = 10;
constexpr int kEnumNameBytes = 256;
// "LumvekR13-USB3-K7_01": the product string, an underscore, two digits.
constexpr int kMinDeviceNameBufferRefused = 17;


} // namespace

CLumvek::CLumvek(CameraDeviceFactory deviceFactory)
    : deviceFactory_(deviceFactory),
      recorder_(std::make_unique<AviRecorder>(recorderSource_, [this](int code) { ReportError(code); })) {}

CLumvek::~CLumvek() {
    {
        // The worker may still run its automatic exposure step.
        std::lock_guard device(deviceLock_);
        saveGroups();
        writeChannelBlock();
    }
    (void)Close();
    if (device_) {
        (void)device_->Release();
        device_.reset();
    }
    std::lock_guard frame(frameLock_);
    for (auto& buffer : buffers_) {
        buffer.reset();
    }
}

void CLumvek::ReportError(int code) {
    errors_.push(code);
    if (notifyWindow_ != nullptr) {
        PostErrorOnly(code);
    }
}

void CLumvek::PostErrorOnly(int code) {
    (void)postToWindow(notifyWindow_, LUMVEK_WM_ERROR, 0, static_cast<intptr_t>(code & 0xFF));
}

int CLumvek::Initialize(HWND notifyWindow) {
    (void)Close();
    device_.reset();
    device_ = deviceFactory_ != nullptr ? deviceFactory_() : nullptr;
    for (auto& buffer : buffers_) {
        buffer.reset(new (std::nothrow) ImageBuffer());
    }
    pipeline_ = std::make_unique<FramePipeline>();

    notifyWindow_ = notifyWindow;
    if (notifyWindow_ != nullptr && !registerForDeviceChanges(notifyWindow_)) {
        return 0;
    }
    for (const auto& buffer : buffers_) {
        if (!buffer) {
            ReportError(LUMVEK_ERR_MEMORY);
            return 0;
        }
    }
    if (!allocateReferenceFrames()) {
        return 0;
    }

    CaptureWindowRecord preset = captureWindow();
    (void)store_.loadSelectedPreset(cameraNumber_, preset);
    setWindow(preset);

    if (device_) {
        (void)device_->SetProductId(kProductR13);
        (void)device_->CreateController(nullptr);
        if (device_->CountDevices(kProductR13) == 1) {
            (void)SetDeviceNumber(0);
        }
    }

    loadGroups();
    readChannelBlock();

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
    return 1;
}

bool CLumvek::allocateReferenceFrames() {
    // Dark references and masks start at 0, the white references at full scale.
    auto planes = std::make_unique<DefectPlanes>();
    if (!planes->create(kFullWidth, kFullHeight)) {
        return false;
    }
    std::lock_guard frame(frameLock_);
    planes_ = std::move(planes);
    return true;
}

GainDefaults CLumvek::gainDefaults() const {
    // Without an open sensor driver the library's own model stands in.
    if (!device_ || device_->GetGlobalGainMax() <= 0) {
        return r13GainDefaults();
    }
    GainDefaults defaults;
    defaults.globalGain = device_->GetGlobalGainDefault();
    defaults.colorGain = device_->GetColorGainDefault();
    defaults.exposure = device_->GetExposureDefault();
    (void)device_->GetBlackLevelDefault(&defaults.blackLevel);
    defaults.ranges = deviceRangesOf(*device_);
    defaults.exposureExAvailable = device_->IsExposureTimeExAvailable() != 0;
    if (defaults.exposureExAvailable) {
        (void)device_->GetExposureTimeExDefault(&defaults.exposureEx);
    }
    return defaults;
}

void CLumvek::loadGroups() {
    const GainDefaults defaults = gainDefaults();
    std::lock_guard lock(settingsLock_);
    (void)store_.loadGain(cameraNumber_, gain_, defaults);
    if (!store_.loadFilter(cameraNumber_, image_.filter)) {
        // A missing Filter group also clears the settings that ride with it.
        image_.autoWhiteBalance = 0;
        image_.whiteBalanceOneShot[0] = image_.whiteBalanceOneShot[1] = 0;
        image_.grayMeasureRequest = 0;
    }
    (void)store_.loadGray(cameraNumber_, image_.gray);
}

void CLumvek::saveGroups() {
    (void)store_.saveGain(cameraNumber_, gainSettings());
    ImageSettings snapshot = imageSettings();
    (void)store_.saveFilter(cameraNumber_, snapshot.filter);
    (void)store_.saveGray(cameraNumber_, snapshot.gray);
}

ImageSettings CLumvek::imageSettings() const {
    std::lock_guard lock(settingsLock_);
    return image_;
}

GainSettings CLumvek::gainSettings() const {
    std::lock_guard lock(settingsLock_);
    return gain_;
}

void CLumvek::readChannelBlock() {
    uint8_t bytes[kChannelBlockBytes] = {};
    bool whole = device_ != nullptr;
    if (device_) {
        for (int i = 0; i < kChannelBlockBytes; ++i) {
            // A byte that cannot be read stays 0.
            if (!device_->ReadSromByte(static_cast<uint16_t>(kChannelBlockAddress + i), &bytes[i])) {
                bytes[i] = 0;
                whole = false;
            }
        }
    }
    // Only a block read whole may be written back: zeros standing in for
    // unreadable bytes must never reach the camera's ROM.
    channelBlockReadWhole_ = whole;
    for (int c = 0; c < 4; ++c) {
        channelGain_[c] = bytes[2 * c] | (bytes[2 * c + 1] << 8);
        channelOffset_[c] = bytes[8 + 2 * c] | (bytes[8 + 2 * c + 1] << 8);
    }
}

void CLumvek::writeChannelBlock() {
    if (!device_ || !channelBlockReadWhole_) {
        return;
    }
    for (int i = 0; i < kChannelBlockBytes; ++i) {
        const int word = i / 2;
        const int32_t value = word < 4 ? channelGain_[word] : channelOffset_[word - 4];
        const auto byte = static_cast<uint8_t>(i % 2 == 0 ? value : value >> 8);
        (void)device_->WriteSromByte(static_cast<uint16_t>(kChannelBlockAddress + i), byte);
    }
}

void CLumvek::applyChannelValues() {
    for (int c = 1; c <= 4; ++c) {
        (void)device_->SetChannelGain(c, channelGain_[c - 1]);
    }
    for (int c = 1; c <= 4; ++c) {
        (void)device_->SetChannelOffset(c, channelOffset_[c - 1]);
    }
}

void CLumvek::restoreGainsAndExposure(const GainSettings& gain) {
    (void)device_->SetGlobalGain(gain.global);
    (void)device_->SetColorGainGreen1(gain.colorG1);
    (void)device_->SetColorGainRed(gain.colorR);
    (void)device_->SetColorGainBlue(gain.colorB);
    (void)device_->SetColorGainGreen2(gain.colorG2);
    if (device_->IsExposureTimeExAvailable()) {
        (void)device_->SetExposureSeconds(gain.exposureEx);
    } else {
        (void)device_->SetExposure(gain.exposure);
    }
}

void CLumvek::restoreDeviceSettings() {
    const GainSettings gain = gainSettings();
    restoreGainsAndExposure(gain);
    (void)device_->SetMirrorV(gain.vMirror);
    (void)device_->SetMirrorH(gain.hMirror);
    if (device_->IsBlackLevelAvailable()) {
        (void)device_->SetBlackLevel(gain.blackLevel);
    }
    if (device_->IsCoolingSupported()) {
        (void)device_->SetCooling(1);
        coolingOn_ = 1;
    }
    if (device_->IsShortExposureModeAvailable()) {
        (void)device_->SetShortExposureMode(0);
        shortExposureMode_ = 0;
    }
    if (device_->IsGainModeAvailable()) {
        (void)device_->SetGainMode(gain.gainMode);
    }
}

int CLumvek::SetDeviceNumber(int index) {
    std::lock_guard control(controlLock_);
    if (!admit(InstanceOperation::SelectCamera)) {
        return 0;
    }
    std::lock_guard device(deviceLock_);
    // A capture prepared for the old camera is prepared again for the new one.
    captureState_ = kIdle;
    if (openedBefore_) {
        saveGroups();
        writeChannelBlock();
    }
    openedBefore_ = true;
    if (!device_->IsDeviceNumberPresent(index) || !device_->CreateSensor(index)) {
        ReportError(LUMVEK_ERR_NO_CAMERA);
        return 0;
    }
    cameraNumber_ = device_->GetOpenDeviceNumber();
    loadGroups();
    restoreDeviceSettings();
    readChannelBlock();
    applyChannelValues();
    cameraNumber_ = index;
    platform::logf(platform::LogCategory::Instance, "opened camera %d", index);
    return 1;
}

int CLumvek::EnumDevice(char names[10][256]) {
    if (!device_) {
        ReportError(LUMVEK_ERR_STATE);
        return 0;
    }
    if (names == nullptr) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    // Device numbers can have gaps (an unplugged camera keeps its number):
    // walk the numbers until every present camera is named.
    const int n = device_->CountDevices(kProductR13);
    const int numbers = device_->GetMaxDevices();
    int written = 0;
    for (int j = 0; j < numbers && written < n && written < kEnumNames; ++j) {
        if (device_->IsDeviceNumberPresent(j)) {
            std::snprintf(names[written], kEnumNameBytes, "%s_%02d", kProductString, written + 1);
            ++written;
        }
    }
    for (int i = written; i < kEnumNames; ++i) {
        names[i][0] = '\0';
    }
    return written;
}

int CLumvek::EnumDeviceW(char16_t names[10][256]) {
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
    if (!device_) {
        ReportError(LUMVEK_ERR_STATE);
        return 0;
    }
    if (buffer == nullptr || size <= kMinDeviceNameBufferRefused) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    if (index < 0 || index >= device_->GetMaxDevices() || !device_->IsDeviceNumberPresent(index)) {
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

int CLumvek::GetDeviceNameW(int index, char16_t* buffer, int size) {
    char narrow[kEnumNameBytes];
    if (!GetDeviceName(index, narrow, sizeof narrow)) {
        return 0;
    }
    if (buffer == nullptr || size <= 0 ||
        !platform::utf8ToUtf16(narrow, buffer, static_cast<size_t>(size))) {
        ReportError(LUMVEK_ERR_CONVERSION);
        return 0;
    }
    return 1;
}

int CLumvek::GetCameraInfo(LumvekCameraInfo* record) {
    if (!device_) {
        ReportError(LUMVEK_ERR_STATE);
        return 0;
    }
    if (record == nullptr) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    if (record->size < 36) {
        ReportError(LUMVEK_ERR_MEMORY);
        return 0;
    }
    record->fullWidth = kFullWidth;
    record->fullHeight = kFullHeight;
    record->globalGainMin = device_->GetGlobalGainMin();
    record->globalGainMax = device_->GetGlobalGainMax();
    record->colorGainMin = device_->GetColorGainMin();
    record->colorGainMax = device_->GetColorGainMax();
    record->exposureMin = device_->GetExposureMin();
    record->exposureMax = device_->GetExposureMax();
    if (record->size >= 56) {
        // Only the first `size` bytes are the caller's: the doubles are
        // written only when the record says it holds them.
        double seconds = 0.0;
        (void)device_->GetExposureTimeExMin(&seconds);
        std::memcpy(reinterpret_cast<uint8_t*>(record) + 40, &seconds, sizeof seconds);
        seconds = 0.0;
        (void)device_->GetExposureTimeExMax(&seconds);
        std::memcpy(reinterpret_cast<uint8_t*>(record) + 48, &seconds, sizeof seconds);
    }
    return 1;
}

} // namespace lumvek
