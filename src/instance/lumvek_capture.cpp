// CLumvek: the capture engine's controls. configure() prepares buffers and
// camera; Capture, StartPreview, Preview and CallBackPreview start
// acquisition; StopPreview and Close end it; SnapShot and GetImage deliver
// single frames; the capture-window operations change what is cut out.
//
// Every public operation takes the control lock once and runs the locked
// helpers (named ...Locked, or REQUIRES(controlLock_)); none re-enters a
// public one. Changing the colour mode or the capture window while acquiring
// stops the acquisition, reconfigures buffers and camera and resumes it, so
// the buffers a frame uses always exist and fit the frames the device
// delivers; the state stays what it was meanwhile.
#include <system_error>

#include "instance/colour_modes.h"
#include "instance/lumvek.h"
#include "instance/notifier.h"
#include "platform/diag/thread_start.h"
#include "platform/log/log.h"
#include "platform/sync/clock.h"

namespace lumvek {

namespace {

constexpr int kSnapshotTimeoutMs = 3000;
constexpr int kAcquirePreview = 0;
constexpr int kAcquireOneFrame = 1;
constexpr int kWaitFrameReady = 3;

constexpr bool isSubSampleRefused(int mode) {
    return (mode >= 1 && mode <= 3) || (mode >= 17 && mode <= 19);
}

} // namespace

bool CLumvek::validWindow(const CaptureWindowRecord& w) const {
    return static_cast<int32_t>(w.EH) >= 0 && static_cast<int32_t>(w.EV) >= 0 && static_cast<int32_t>(w.EHS) >= 0 &&
           static_cast<int32_t>(w.EVS) >= 0 && w.EH <= kFullWidth && w.EHS <= kFullWidth && w.EV <= kFullHeight &&
           w.EVS <= kFullHeight && w.EH + w.EHS <= kFullWidth && w.EV + w.EVS <= kFullHeight &&
           !isSubSampleRefused(subSample_.load());
}

void CLumvek::restoreForCapture(CameraDevice& d) {
    const GainSettings gain = controls_.gain();
    (void)d.SetMirrorV(gain.vMirror);
    (void)d.SetMirrorH(gain.hMirror);
    (void)d.SetTriggerMode(0, 1);
    restoreGainsAndExposure(d, gain);
    refreshExposureSeconds();
    if (d.IsExtUnitAvailable()) {
        (void)d.SetExtUnitMode(0);
    }
    (void)d.SetGainMode(0);
    if (d.IsGainModeAvailable()) {
        (void)d.SetGainMode(gain.gainMode);
    }
    if (d.IsBlackLevelAvailable()) {
        (void)d.SetBlackLevel(gain.blackLevel);
    }
    (void)d.RestartSensorStream();
}

int CLumvek::configure() {
    const CaptureWindowRecord window = captureWindow();
    const int subSample = subSample_.load();
    const int mode = colorModeIndex_.load();
    platform::MutexLock hold(session_.mutex());
    CameraDevice* device = session_.device();
    if (device == nullptr || !device->IsDeviceNumberPresent(device->GetOpenDeviceNumber())) {
        ReportError(LUMVEK_ERR_NO_CAMERA);
        return 0;
    }
    CameraDevice& d = *device;
    if (!validWindow(window)) {
        ReportError(LUMVEK_ERR_WINDOW_SIZE);
        return 0;
    }
    if (!isColourModeIndex(mode)) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    if (!d.SetColorMode(isSixteenBitMode(mode) ? 1 : 0) ||
        !d.SetCaptureWindow(static_cast<int>(window.EHS), static_cast<int>(window.EVS), static_cast<int>(window.EH),
                            static_cast<int>(window.EV), subSample)) {
        ReportError(LUMVEK_ERR_WINDOW_SIZE);
        return 0;
    }
    int x = 0, y = 0, w = 0, h = 0, m = 0;
    if (!d.GetCaptureWindow(&x, &y, &w, &h, &m)) {
        x = static_cast<int>(window.EHS);
        y = static_cast<int>(window.EVS);
        w = static_cast<int>(window.EH);
        h = static_cast<int>(window.EV);
    }
    // The window must lie inside what the device delivers.
    CaptureWindow frame;
    frame.width = static_cast<int>(window.EH);
    frame.height = static_cast<int>(window.EV);
    frame.left = static_cast<int>(window.EHS) - x;
    frame.top = static_cast<int>(window.EVS) - y;
    frame.subSampleMode = subSample;
    if (frame.width <= 0 || frame.height <= 0 || frame.left < 0 || frame.top < 0 || frame.left + frame.width > w ||
        frame.top + frame.height > h) {
        ReportError(LUMVEK_ERR_WINDOW_SIZE);
        return 0;
    }
    FrameGeometry geometry;
    geometry.mode = mode;
    geometry.window = frame;
    geometry.deliveredWidth = w;
    geometry.deliveredHeight = h;
    geometry.deviceMirrorsV = d.IsMirrorVInSensor() != 0;
    geometry.deviceMirrorsH = d.IsMirrorHInSensor() != 0;
    if (!engine_.configure(geometry)) {
        ReportError(LUMVEK_ERR_MEMORY);
        return 0;
    }
    restoreForCapture(d);
    platform::logf(platform::LogCategory::Instance, "configured mode %d, window %dx%d at %d,%d of %dx%d", mode,
                   frame.width, frame.height, frame.left, frame.top, w, h);
    return 1;
}

int CLumvek::Capture() {
    platform::MutexLock control(controlLock_);
    return captureLocked();
}

int CLumvek::captureLocked() {
    if (!admit(InstanceOperation::Capture)) {
        return 0;
    }
    if (state_.capturing()) {
        return 1;
    }
    if (!configure()) {
        return 0;
    }
    state_.captureStarted();
    return 1;
}

int CLumvek::startPreviewFromIdle() {
    if (!configure()) {
        return 0;
    }
    FramePort port;
    if (!startAcquisition(kAcquirePreview, &port)) {
        (void)stopPreviewLocked();
        ReportError(LUMVEK_ERR_TRANSFER);
        return 0;
    }
    engine_.restartFrameRate();
    state_.previewStarted();
    runFlag_ = 1;
    workerWake_.reset();
    try {
        worker_ = platform::startThread([this, port] { frameLoop(port); });
    } catch (const std::system_error&) {
        (void)stopPreviewLocked();
        ReportError(LUMVEK_ERR_THREAD);
        return 0;
    }
    return 1;
}

int CLumvek::StartPreview() {
    platform::MutexLock control(controlLock_);
    return startPreviewLocked();
}

int CLumvek::startPreviewLocked() {
    if (!admit(InstanceOperation::StartPreview)) {
        return 0;
    }
    if (state_.previewing()) {
        return 1;
    }
    return startPreviewFromIdle();
}

int CLumvek::startAcquisition(int mode, FramePort* port) {
    platform::MutexLock hold(session_.mutex());
    CameraDevice* d = session_.device();
    if (d == nullptr) {
        return 0;
    }
    *port = session_.framePort();
    return d->StartAcquisition(mode);
}

void CLumvek::stopAcquisition() {
    session_.use([](CameraDevice& d) { (void)d.StopAcquisition(); });
}

int CLumvek::Width() const {
    return static_cast<int>(captureWindow().EH);
}

int CLumvek::Height() const {
    return static_cast<int>(captureWindow().EV);
}

void CLumvek::stopWorker() {
    runFlag_ = 0;
    workerWake_.set();
    // No application code runs on the worker (messages are posted), so this
    // is never the worker joining itself.
    if (worker_.joinable()) {
        worker_.join();
    }
}

int CLumvek::StopPreview() {
    platform::MutexLock control(controlLock_);
    return stopPreviewLocked();
}

int CLumvek::stopPreviewLocked() {
    if (!admit(InstanceOperation::Stop)) {
        return 0;
    }
    runFlag_ = 0;
    if (state_.capturing() || state_.previewing()) {
        state_.stopped();
        stopAcquisition();
    }
    stopWorker();
    // A recording ends with its capture; the file is finalised with what it has.
    recorder_->stop();
    return 1;
}

PreviewPlacement CLumvek::previewPlacement() const {
    PreviewPlacement placement;
    placement.parent = previewParent_;
    placement.left = previewRect_[0];
    placement.top = previewRect_[1];
    placement.right = previewRect_[2];
    placement.bottom = previewRect_[3];
    const CaptureWindowRecord window = captureWindow();
    const int divisor = subSampleDivisor(subSample_.load());
    placement.clientWidth = static_cast<int>(window.EH) / divisor;
    placement.clientHeight = static_cast<int>(window.EV) / divisor;
    return placement;
}

bool CLumvek::createPreviewWindowIfWanted() {
    const PreviewPlacement placement = previewPlacement();
    if (!placement.wantsWindow()) {
        return true;
    }
    if (!preview_.create(this, placement)) {
        ReportError(LUMVEK_ERR_WINDOW);
        return false;
    }
    return true;
}

int CLumvek::startWindowAndPreview() {
    if (!createPreviewWindowIfWanted()) {
        return 0;
    }
    if (!startPreviewLocked()) {
        closeLocked();
        ReportError(LUMVEK_ERR_FRAME);
        return 0;
    }
    return 1;
}

int CLumvek::Preview() {
    platform::MutexLock control(controlLock_);
    if (!admit(InstanceOperation::Preview)) {
        return 0;
    }
    engine_.setCallback(nullptr, nullptr, 0, 0);
    return startWindowAndPreview();
}

int CLumvek::CallBackPreview(HWND window, void* buffer, int size, int topDown) {
    platform::MutexLock control(controlLock_);
    if (!admit(InstanceOperation::Preview)) {
        return 0;
    }
    engine_.setCallback(window, buffer, size, topDown);
    return startWindowAndPreview();
}

int CLumvek::Close() {
    platform::MutexLock control(controlLock_);
    closeLocked();
    return 1;
}

void CLumvek::closeLocked() {
    if (state_.refusal(InstanceOperation::Stop) == 0) {
        (void)stopPreviewLocked();
    }
    preview_.destroy();
    state_.setPictureReady(false);
    finished_.clear();
    stopAcquisition();
}

int CLumvek::SnapShot(void* buffer, int size, int topDown) {
    platform::MutexLock control(controlLock_);
    if (!admit(InstanceOperation::SnapShot)) {
        return 0;
    }
    const bool capturing = state_.capturing();
    if (!capturing && !configure()) {
        return 0;
    }
    const auto stopUnlessCapturing = [&] {
        if (!capturing) {
            stopAcquisition();
        }
    };
    // Wait first, then lock: a reader of the last picture (GetImage, the
    // recorder) never waits for the camera behind the frame lock.
    FramePort port;
    if (!startAcquisition(kAcquireOneFrame, &port) || port.waitFrame(kSnapshotTimeoutMs) != kWaitFrameReady) {
        stopUnlessCapturing();
        ReportError(LUMVEK_ERR_FRAME);
        return 0;
    }
    platform::logf(platform::LogCategory::Instance, "snapshot: frame arrived");
    // The failure is reported once the frame lock is released: stopping takes the session lock.
    const CaptureEngine::SnapFrame frame = engine_.snapFrame(port, buffer, size, topDown);
    platform::logf(platform::LogCategory::Instance, "snapshot: picture made");
    if (frame.failure != 0) {
        stopUnlessCapturing();
        ReportError(frame.failure);
        return 0;
    }
    engine_.handedOver(nullptr, frame.metadata, frame.bytes);
    recorder_->notifyNewFrame();
    applyAutoIris(frame.irisFactor);
    stopUnlessCapturing();
    state_.setPictureReady(true);
    return 1;
}

// The last finished picture, never the one being processed: once pictures
// are read, GetImage does not wait for the frame loop.
int CLumvek::GetImage(void* buffer, int size, int topDown) {
    return GetImageWithMetadata(buffer, size, topDown, nullptr);
}

int CLumvek::GetImageWithMetadata(void* buffer, int size, int topDown, LumvekFrameMetadata* record) {
    if (record != nullptr && record->size < 2 * sizeof(uint32_t)) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    if (!admit(InstanceOperation::ReadPicture)) {
        return 0;
    }
    bool copied = false;
    DeliveryMetadata metadata;
    const bool kept = buffer != nullptr && engine_.readLatest(
                                               [&](const ImageBuffer& picture, int) {
                                                   copied = engine_.copyPicture(picture, buffer, size, topDown, nullptr);
                                               },
                                               &metadata);
    if (!kept || !copied) {
        ReportError(LUMVEK_ERR_MEMORY);
        return 0;
    }
    metadata.deliveredMonotonicNs = platform::monotonicNs();  // handed over now
    engine_.pictureTaken(metadata);
    if (record != nullptr) {
        fillPublicRecord(metadata, record);
    }
    return 1;
}

void CLumvek::postFrameMessage(HWND window, uintptr_t wParam, intptr_t lParam) {
    if (window != nullptr) {
        (void)postToWindow(window, LUMVEK_WM_FRAME, wParam, lParam);
    }
}

int CLumvek::SetPreviewWindow(HWND parent, int left, int top, int right, int bottom) {
    platform::MutexLock control(controlLock_);
    if (!admit(InstanceOperation::PlacePreview)) {
        return 0;
    }
    previewParent_ = parent;
    previewRect_[0] = left;
    previewRect_[1] = top;
    previewRect_[2] = right;
    previewRect_[3] = bottom;
    return 1;
}

void CLumvek::reconfigureWhileAcquiring() {
    if (state_.previewing()) {
        // The state stays Previewing while the loop stops, the buffers are
        // remade and the loop starts again: no other thread sees Idle.
        runFlag_ = 0;
        stopAcquisition();
        stopWorker();
        recorder_->stop();  // its frames would change size under it
        if (!startPreviewFromIdle()) {
            state_.stopped();
        }
    } else if (state_.capturing()) {
        if (!configure()) {
            state_.stopped();
        }
    }
}

// Idle: the camera takes the window at once. Acquiring: the frame loop reads
// the device's window for every frame, so the window reaches the device only
// through a stop, reconfiguration and restart.
void CLumvek::programWindowOrReconfigure() {
    if (state_.previewing() || state_.capturing()) {
        reconfigureWhileAcquiring();
        return;
    }
    const CaptureWindowRecord window = captureWindow();
    const int subSample = subSample_.load();
    session_.use([&](CameraDevice& d) {
        (void)d.SetCaptureWindow(static_cast<int>(window.EHS), static_cast<int>(window.EVS),
                                 static_cast<int>(window.EH), static_cast<int>(window.EV), subSample);
    });
}

int CLumvek::SetCaptureWindow(int width, int height) {
    platform::MutexLock control(controlLock_);
    if (!admit(InstanceOperation::ChangeWindow)) {
        return 0;
    }
    CaptureWindowRecord preset = captureWindow();
    if (store_.findPresetBySize(width, height, preset) != SettingsStore::PresetSearch::Found) {
        ReportError(LUMVEK_ERR_WINDOW);
        return 0;
    }
    engine_.setWindow(preset);
    if (!validWindow(preset)) {
        ReportError(LUMVEK_ERR_WINDOW_SIZE);
        CaptureWindowRecord cleared;
        cleared.Buf = preset.Buf;
        engine_.setWindow(cleared);
    }
    programWindowOrReconfigure();
    return 1;
}

int CLumvek::SetCaptureWindowEx(int th, int ehs, int eh, int tv, int evs, int ev) {
    platform::MutexLock control(controlLock_);
    if (!admit(InstanceOperation::ChangeWindow)) {
        return 0;
    }
    const auto freeSize = session_.use([](CameraDevice& d) {
        return std::pair<bool, bool>(d.GetFreeWidthFlag() != 0, d.GetFreeHeightFlag() != 0);
    });
    if ((!freeSize.first && eh != kFullWidth) || (!freeSize.second && ev != kFullHeight)) {
        ReportError(LUMVEK_ERR_ARGUMENT);
        return 0;
    }
    CaptureWindowRecord window = captureWindow();
    window.TH = static_cast<uint32_t>(th);
    window.EHS = static_cast<uint32_t>(ehs);
    window.EH = static_cast<uint32_t>(eh);
    window.TV = static_cast<uint32_t>(tv);
    window.EVS = static_cast<uint32_t>(evs);
    window.EV = static_cast<uint32_t>(ev);
    engine_.setWindow(window);
    if (!validWindow(window)) {
        ReportError(LUMVEK_ERR_WINDOW_SIZE);
        return 0;
    }
    programWindowOrReconfigure();
    return 1;
}

int CLumvek::GetCaptureWindowEx(int* th, int* ehs, int* eh, int* tv, int* evs, int* ev) const {
    const auto put = [](int* out, uint32_t value) {
        if (out != nullptr) {
            *out = static_cast<int>(value);
        }
    };
    const CaptureWindowRecord window = captureWindow();
    put(th, window.TH);
    put(ehs, window.EHS);
    put(eh, window.EH);
    put(tv, window.TV);
    put(evs, window.EVS);
    put(ev, window.EV);
    return 1;
}

} // namespace lumvek
