#include "camera_link.h"

#include "frame_messages.h"
#include "frame_picture.h"

namespace lumvek::viewer {

namespace {
constexpr int kMaxDeviceNumbers = 32;  // entries of the open-device table
constexpr int kDeviceNameBytes = 256;
constexpr int kEnumNames = 10;
constexpr int kErrorHistoryDepth = 20;
// Frame message lParam when no frame came: 5 buffer too small, 8 frame not
// read, 13 camera lost (the preview ended).
constexpr intptr_t kFrameNotRead = 8;
constexpr intptr_t kCameraLost = 13;
} // namespace

CameraLink::CameraLink(int32_t handle, HWND notifyWindow, int deviceNumber)
    : handle_(handle), notifyWindow_(notifyWindow), frameWindow_(LumvekWnd_CreateMessageWindow()),
      deviceNumber_(deviceNumber) {
    if (deviceNumber_ >= 0) {
        char name[kDeviceNameBytes] = {};
        if (Lumvek_GetDeviceName(handle_, deviceNumber_, name, sizeof name) == 1) deviceName_ = name;
    }
    clearErrors();
}

CameraLink::~CameraLink() {
    stopPreview();
    if (frameWindow_ != nullptr) (void)LumvekWnd_DestroyWindow(frameWindow_);
}

std::vector<CameraEntry> CameraLink::cameras() {
    std::vector<CameraEntry> found;
    char names[kEnumNames][256];
    if (Lumvek_EnumDevice(handle_, names) > 0) {
        for (int number = 0; number < kMaxDeviceNumbers; ++number) {
            char name[kDeviceNameBytes] = {};
            if (Lumvek_GetDeviceName(handle_, number, name, sizeof name) == 1) found.push_back({number, name});
        }
    }
    // Numbers that are not present leave code 2 behind.
    clearErrors();
    return found;
}

bool CameraLink::open(int number) {
    stopPreview();
    if (number == deviceNumber_) return true;
    if (Lumvek_SetDeviceNumber(handle_, number) != 1) {
        clearErrors();
        return false;
    }
    deviceNumber_ = number;
    char name[kDeviceNameBytes] = {};
    deviceName_ = Lumvek_GetDeviceName(handle_, number, name, sizeof name) == 1 ? name : "";
    clearErrors();
    return true;
}

void CameraLink::forget() {
    // A preview the loss ended is still the instance's state until stopped:
    // until then no other camera can be opened.
    (void)Lumvek_StopPreview(handle_);
    previewing_ = false;
    deviceNumber_ = -1;
    clearErrors();
}

bool CameraLink::startPreview() {
    if (previewing_) return true;
    if (!isOpen()) return false;
    // Frames come to our window only: the library draws no window of its own.
    (void)Lumvek_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
    LumvekMsg stale{};
    while (LumvekWnd_GetMessage(frameWindow_, &stale, 0) == 1) {
    }
    previewing_ = Lumvek_CallBackPreview(handle_, frameWindow_, nullptr, 0, 1) == 1;
    if (!previewing_) clearErrors();
    return previewing_;
}

void CameraLink::stopPreview() {
    if (previewing_) {
        (void)Lumvek_StopPreview(handle_);
        previewing_ = false;
    }
}

void CameraLink::drainNotifications(LinkEvents& events) {
    LumvekMsg message{};
    while (notifyWindow_ != nullptr && LumvekWnd_GetMessage(notifyWindow_, &message, 0) == 1) {
        if (message.message == LUMVEK_WM_DEVICECHANGE) events.devicesChanged = true;
    }
}

LinkEvents CameraLink::poll() {
    LinkEvents events;
    events.devicesChanged = devicesChangedPending_;
    devicesChangedPending_ = false;
    LumvekMsg message{};
    while (LumvekWnd_GetMessage(frameWindow_, &message, 0) == 1) {
        if (message.message != LUMVEK_WM_FRAME) continue;
        if (message.wParam != 0) {
            ++events.frames;
            events.newFrame = true;
        } else if (message.lParam == kFrameNotRead) {
            ++events.lost;
        } else if (message.lParam == kCameraLost) {
            events.cameraLost = true;
        }
    }
    drainNotifications(events);
    if (events.cameraLost) previewing_ = false;
    return events;
}

bool CameraLink::copyLatest(std::vector<uint8_t>& frame, int& width, int& height, int& bitsPerPixel) {
    width = Lumvek_Width(handle_);
    height = Lumvek_Height(handle_);
    bitsPerPixel = Lumvek_GetColorMode(handle_);
    const size_t bytes = sdkStride(width, bitsPerPixel) * static_cast<size_t>(height > 0 ? height : 0);
    if (bytes == 0) return false;
    frame.resize(bytes);
    if (Lumvek_GetImage(handle_, frame.data(), static_cast<int>(bytes), 1) != 1) {
        clearErrors();
        return false;
    }
    tool::markFramesTaken(frameWindow_);
    return true;
}

void CameraLink::clearErrors() {
    for (int i = 0; i < kErrorHistoryDepth && Lumvek_GetLastError(handle_) != 0; ++i) {
    }
    LinkEvents events;
    drainNotifications(events);
    devicesChangedPending_ = devicesChangedPending_ || events.devicesChanged;
}

} // namespace lumvek::viewer
