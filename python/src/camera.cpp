#include "camera.h"

#include <chrono>

#include "LumvekDevice.h"
#include "avi_progress.h"
#include "camera_count.h"
#include "dialog_kinds.h"
#include "picture_format.h"
#include "sdk_errors.h"
#include "sdk_failure.h"

namespace lumvek::python {

namespace {
constexpr int kRecordPollMs = 100;
// The recorder's clock starts with the first frame and it finishes on the
// first frame after the time is up: allow for the frame waits on both ends.
constexpr int kRecordGraceMs = 7000;

using Clock = std::chrono::steady_clock;

[[noreturn]] void refuse(int code, const std::string& message) {
    throw SdkFailure(code, message);
}

} // namespace

Camera::Camera(std::optional<int> index, std::optional<std::string> id) {
    notifyWindow_ = LumvekWnd_CreateMessageWindow();
    handle_ = Lumvek_Initialize(notifyWindow_);
    if (handle_ == 0) {
        LumvekWnd_DestroyWindow(notifyWindow_);
        refuse(LUMVEK_ERR_STATE, "the SDK could not create an instance");
    }
    try {
        std::lock_guard lock(callLock_);
        if (id) {
            if (index) refuse(LUMVEK_ERR_ARGUMENT, "give index or id, not both");
            index = numberOfId(*id);
        }
        selectCamera(index);
        deviceNumber_ = index.value_or(-1);
    } catch (...) {
        close();
        throw;
    }
}

Camera::~Camera() {
    close();
}

void Camera::close() {
    std::lock_guard lock(callLock_);
    if (handle_ != 0) {
        (void)Lumvek_Release(handle_);
        handle_ = 0;
    }
    if (notifyWindow_ != nullptr) {
        (void)LumvekWnd_DestroyWindow(notifyWindow_);
        notifyWindow_ = nullptr;
    }
}

bool Camera::isOpen() {
    std::lock_guard lock(callLock_);
    return handle_ != 0;
}

int32_t Camera::openHandle() const {
    if (handle_ == 0) {
        refuse(LUMVEK_ERR_STATE, "the camera is closed");
    }
    return handle_;
}

void Camera::selectCamera(std::optional<int> index) {
    char names[LUMVEK_MAX_DEVICE_NAMES][LUMVEK_DEVICE_NAME_BYTES] = {};
    const int count = Lumvek_EnumDevice(handle_, names);
    clearErrors();
    if (index) {
        if (Lumvek_SetDeviceNumber(handle_, *index) == 0) {
            fail("camera " + std::to_string(*index) + " cannot be opened (" +
                 (count > 0 ? std::to_string(count) + " found" : tool::noCameraProblem()) + ")");
        }
        return;
    }
    if (const auto problem = tool::cameraCountProblem(count, "lumvek.Camera(index=N) or lumvek.Camera(id=ID)")) {
        refuse(LUMVEK_ERR_NO_CAMERA, *problem);
    }
}

int Camera::lastErrorCode() {
    const int pushed = handle_ != 0 ? Lumvek_GetLastError(handle_) : 0;
    int posted = 0;
    LumvekMsg message{};
    while (notifyWindow_ != nullptr && LumvekWnd_GetMessage(notifyWindow_, &message, 0) == 1) {
        if (message.message == LUMVEK_WM_ERROR && message.lParam != 0) {
            posted = static_cast<int>(message.lParam);
        }
    }
    return pushed != 0 ? pushed : posted;
}

void Camera::clearErrors() {
    for (int i = 0; i < LUMVEK_ERROR_HISTORY_DEPTH && Lumvek_GetLastError(handle_) != 0; ++i) {
    }
    LumvekMsg message{};
    while (notifyWindow_ != nullptr && LumvekWnd_GetMessage(notifyWindow_, &message, 0) == 1) {
    }
}

void Camera::fail(const std::string& what) {
    const int code = lastErrorCode();
    clearErrors();
    throw SdkFailure(code, what + ": " + tool::describeSdkError(code));
}

int Camera::colorMode() {
    std::lock_guard lock(callLock_);
    return Lumvek_GetColorMode(openHandle());
}

void Camera::setColorMode(int bits) {
    std::lock_guard lock(callLock_);
    if (Lumvek_SetColorMode(openHandle(), bits) == 0) {
        fail("colour mode " + std::to_string(bits) + " (8, 16, 24, 32, 48 or 64)");
    }
}

int Camera::setting(const tool::SettingInfo& setting) {
    std::lock_guard lock(callLock_);
    const int32_t handle = openHandle();
    if (setting.access == tool::SettingAccess::WriteOnly) {
        refuse(LUMVEK_ERR_ARGUMENT, std::string(setting.name) + " can only be set");
    }
    int value = 0;
    if (!tool::readSetting(handle, setting, value)) {
        fail("reading " + std::string(setting.name));
    }
    return value;
}

void Camera::setSetting(const tool::SettingInfo& setting, int value) {
    std::lock_guard lock(callLock_);
    const int32_t handle = openHandle();
    if (setting.access == tool::SettingAccess::ReadOnly) {
        refuse(LUMVEK_ERR_ARGUMENT, std::string(setting.name) + " is read only");
    }
    if (!tool::writeSetting(handle, setting, value)) {
        fail("setting " + std::string(setting.name) + " to " + std::to_string(value) + " (accepts " + tool::rangeText(setting) +
             ")");
    }
}

int Camera::dialog(const std::string& kind) {
    const tool::DialogKind* dialog = tool::findDialog(kind);
    if (dialog == nullptr) {
        refuse(LUMVEK_ERR_ARGUMENT, "'" + kind + "' is not a dialog; say " + tool::dialogNames());
    }
    std::lock_guard lock(callLock_);
    const int32_t handle = openHandle();
    clearErrors();
    const int result = dialog->open(handle, nullptr);
    if (result != 1) {
        fail("the " + kind + " dialog could not be opened (it needs a display)");
    }
    return result;
}

CaptureWindow Camera::window() {
    std::lock_guard lock(callLock_);
    int th = 0, ehs = 0, eh = 0, tv = 0, evs = 0, ev = 0;
    if (Lumvek_GetCaptureWindowEx(openHandle(), &th, &ehs, &eh, &tv, &evs, &ev) == 0) {
        fail("reading the capture window");
    }
    return {ehs, evs, eh, ev};
}

void Camera::setWindow(const CaptureWindow& window) {
    std::lock_guard lock(callLock_);
    const int32_t handle = openHandle();
    char reason[512] = {};
    if (LumvekDevice_CheckCaptureWindow(handle, window.x, window.y, window.width, window.height, reason,
                                        sizeof reason) == 0) {
        clearErrors();
        refuse(LUMVEK_ERR_ARGUMENT, reason);
    }
    int th = 0, ehs = 0, eh = 0, tv = 0, evs = 0, ev = 0;
    if (Lumvek_GetCaptureWindowEx(handle, &th, &ehs, &eh, &tv, &evs, &ev) == 0 ||
        Lumvek_SetCaptureWindowEx(handle, th, window.x, window.width, tv, window.y, window.height) == 0) {
        fail("capture window " + std::to_string(window.width) + " x " + std::to_string(window.height) + " at (" +
             std::to_string(window.x) + ", " + std::to_string(window.y) + ")");
    }
}

tool::FrameLayout Camera::layoutLocked(int32_t handle) {
    const auto layout = tool::frameLayout(Lumvek_Width(handle), Lumvek_Height(handle), Lumvek_GetColorMode(handle));
    if (!layout) {
        refuse(LUMVEK_ERR_STATE, "the camera reports no valid frame size or colour mode");
    }
    return *layout;
}

tool::FrameLayout Camera::layout() {
    std::lock_guard lock(callLock_);
    return layoutLocked(openHandle());
}

void Camera::snap(tool::FrameLayout& layout, std::vector<uint8_t>& frame) {
    std::lock_guard lock(callLock_);
    const int32_t handle = openHandle();
    layout = layoutLocked(handle);
    frame.resize(layout.sdkBytes());
    if (Lumvek_SnapShot(handle, frame.data(), static_cast<int>(frame.size()), 1) == 0) {
        fail("snapshot");
    }
}

void Camera::save(const std::string& path, const std::string& format) {
    std::lock_guard lock(callLock_);
    const int32_t handle = openHandle();
    const auto picture = format.empty() ? tool::formatByExtension(path) : tool::formatByName(format);
    if (!picture) {
        refuse(LUMVEK_ERR_ARGUMENT, format.empty() ? "cannot tell the picture format from " + path +
                                                         " (.bmp .raw .jpg .png .tif); pass format="
                                                   : "unknown picture format " + format +
                                                         " (bmp, raw, jpeg100 or jpg, jpeg70, jpeg20, png, tiff or tif)");
    }
    if (Lumvek_SaveImage(handle, path.c_str(), picture->fileType) == 0) {
        fail("saving " + path + " (take a picture first with snap())");
    }
}

Camera::RecordOutcome Camera::record(const std::string& path, int milliseconds) {
    if (!tool::isAviPath(path)) {
        refuse(LUMVEK_ERR_ARGUMENT, "cannot record " + path +
                                        ": the SDK records uncompressed AVI only; for compressed video use the "
                                        "GStreamer element: " + tool::compressedVideoPipeline(path));
    }
    if (milliseconds <= 0) {
        refuse(LUMVEK_ERR_ARGUMENT, "the recording time must be at least 1 ms");
    }
    std::lock_guard lock(callLock_);
    const int32_t handle = openHandle();
    clearErrors();
    if (Lumvek_Record(handle, path.c_str(), milliseconds, 0) == 0) {
        fail("recording to " + path);
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds + kRecordGraceMs);
    bool lost = false;
    bool writeFailed = false;  // the recorder's code 12
    tool::AviProgress progress;
    const auto readMessages = [&](int timeoutMs) {
        LumvekMsg message{};
        while (LumvekWnd_GetMessage(notifyWindow_, &message, timeoutMs) == 1) {
            lost = lost || (message.message == LUMVEK_WM_ERROR && message.lParam == LUMVEK_ERR_DEVICE_LOST);
            writeFailed = writeFailed || (message.message == LUMVEK_WM_ERROR && message.lParam == LUMVEK_ERR_CONVERSION);
            timeoutMs = 0;
        }
    };
    while (!lost && Clock::now() < deadline) {
        readMessages(kRecordPollMs);
        progress = tool::readAviProgress(path);
        if (progress.finalised || (writeFailed && !progress.exists)) {
            break;
        }
    }
    readMessages(0);
    // Stops the capture; a recording still running is finalised with what it has.
    (void)Lumvek_Close(handle);
    progress = tool::readAviProgress(path);
    clearErrors();
    if (lost) {
        refuse(LUMVEK_ERR_DEVICE_LOST, "the camera was lost after " + std::to_string(progress.framesWritten) +
                                           " frames; " + path + " keeps what was recorded");
    }
    const std::string skipped = tool::skippedFramesText(progress);
    const std::string alsoSkipped = skipped.empty() ? "" : "; " + skipped;
    const uint64_t frameChunk = 8 + static_cast<uint64_t>(progress.height) *
                                        ((3 * static_cast<uint64_t>(progress.width) + 3) & ~uint64_t{3});
    const bool diskFull = progress.end == "disk-full" ||
                          (writeFailed && progress.end.empty() && tool::lacksRoomFor(path, frameChunk));
    if (diskFull && !progress.exists) {
        refuse(LUMVEK_ERR_CONVERSION, "the disk is full: not one frame could be written to " + path + ", so no file is left");
    }
    if (!progress.finalised || progress.framesWritten == 0) {
        refuse(LUMVEK_ERR_FRAME, "no frame reached " + path);
    }
    if (diskFull) {
        refuse(LUMVEK_ERR_CONVERSION, "disk full after " + std::to_string(progress.framesWritten) + " frames, file kept: " +
                                          path + alsoSkipped);
    }
    if (writeFailed || progress.end == "write-failed") {
        refuse(LUMVEK_ERR_CONVERSION, "a write failed after " + std::to_string(progress.framesWritten) +
                                          " frames, file kept: " + path + alsoSkipped);
    }
    return {progress.framesWritten, progress.framesSkipped};
}

void Camera::startStream(HWND window) {
    std::lock_guard lock(callLock_);
    const int32_t handle = openHandle();
    clearErrors();
    // No preview window: frames go only to the message window.
    (void)Lumvek_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);
    if (Lumvek_CallBackPreview(handle, window, nullptr, 0, 1) == 0) {
        fail("starting the stream");
    }
}

void Camera::stopStream() {
    std::lock_guard lock(callLock_);
    if (handle_ != 0) {
        (void)Lumvek_StopPreview(handle_);
    }
}

void Camera::copyLatest(const tool::FrameLayout& layout, uint8_t* out) {
    std::lock_guard lock(callLock_);
    if (Lumvek_GetImage(openHandle(), out, static_cast<int>(layout.sdkBytes()), 1) == 0) {
        fail("reading the frame");
    }
}

void Camera::copyLatest(const tool::FrameLayout& layout, uint8_t* out, LumvekFrameMetadata& metadata) {
    std::lock_guard lock(callLock_);
    metadata = {};
    metadata.size = sizeof metadata;
    if (LumvekStream_GetImage(openHandle(), out, static_cast<int>(layout.sdkBytes()), 1, &metadata) == 0) {
        fail("reading the frame");
    }
}

bool Camera::lastFrameMetadata(LumvekFrameMetadata& metadata) {
    std::lock_guard lock(callLock_);
    metadata = {};
    metadata.size = sizeof metadata;
    if (LumvekStream_GetFrameMetadata(openHandle(), &metadata) == 1) {
        return true;
    }
    clearErrors();  // "no frame yet" is an answer here, not a failure
    return false;
}

LumvekStreamStatistics Camera::statistics() {
    std::lock_guard lock(callLock_);
    LumvekStreamStatistics statistics{};
    statistics.size = sizeof statistics;
    if (LumvekStream_GetStatistics(openHandle(), &statistics) != 1) {
        fail("reading the stream statistics");
    }
    return statistics;
}

} // namespace lumvek::python
