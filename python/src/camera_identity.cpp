// lumvek.Camera: the camera's id, and raw frames with their Bayer order.
#include "LumvekDevice.h"
#include "camera.h"
#include "sdk_failure.h"

namespace lumvek::python {

namespace {
constexpr int kMaxDeviceNumbers = 32;
constexpr const char* kBayerNames[4] = {"gbrg", "rggb", "bggr", "grbg"};

std::string presentIds() {
    std::string ids;
    for (int n = 0; n < kMaxDeviceNumbers; ++n) {
        char id[LUMVEK_DEVICE_ID_BYTES] = {};
        if (LumvekDevice_GetId(n, id, sizeof id) == 0) continue;
        ids += (ids.empty() ? "" : ", ") + std::string(id);
    }
    return ids.empty() ? "none present" : "present: " + ids;
}
} // namespace

int Camera::numberOfId(const std::string& id) {
    const int number = LumvekDevice_FindNumber(id.c_str());
    if (number < 0) {
        throw SdkFailure(LUMVEK_ERR_NO_CAMERA, "no camera has the id '" + id + "' (" + presentIds() + ")");
    }
    return number;
}

int Camera::deviceNumber() {
    std::lock_guard lock(callLock_);
    (void)openHandle();
    if (deviceNumber_ >= 0) return deviceNumber_;
    // Opened as the only camera: the one R13 entry with an id.
    int found = -1;
    for (int n = 0; n < kMaxDeviceNumbers; ++n) {
        char id[LUMVEK_DEVICE_ID_BYTES] = {};
        if (LumvekDevice_GetId(n, id, sizeof id) == 0) continue;
        if (found >= 0) return -1;
        found = n;
    }
    return found;
}

std::string Camera::id() {
    const int number = deviceNumber();
    char id[LUMVEK_DEVICE_ID_BYTES] = {};
    if (number < 0 || LumvekDevice_GetId(number, id, sizeof id) == 0) {
        throw SdkFailure(LUMVEK_ERR_NO_CAMERA, "the camera's id is not known (it is no longer in the table)");
    }
    return id;
}

std::string Camera::bayerOrder() {
    std::lock_guard lock(callLock_);
    const int order = LumvekDevice_GetRawBayerOrder(openHandle());
    if (order < 0 || order > 3) throw SdkFailure(LUMVEK_ERR_STATE, "the camera is closed");
    return kBayerNames[order];
}

void Camera::snapRaw(tool::FrameLayout& layout, std::vector<uint8_t>& frame, std::string& bayer) {
    std::lock_guard lock(callLock_);
    const int32_t handle = openHandle();
    const int mode = Lumvek_GetColorMode(handle);
    // The modes 8 and 16 deliver the mosaic itself; the 16-bit colour modes
    // interpolate from 16-bit samples, so their mosaic is the 16-bit one.
    const int rawMode = (mode == LUMVEK_COLOR_MODE_MONO16 || mode == LUMVEK_COLOR_MODE_BGR48 ||
                         mode == LUMVEK_COLOR_MODE_BGRX64)
                            ? LUMVEK_COLOR_MODE_MONO16
                            : LUMVEK_COLOR_MODE_MONO8;
    if (rawMode != mode && Lumvek_SetColorMode(handle, rawMode) == 0) fail("raw colour mode");
    const auto restore = [&] {
        if (rawMode != mode) (void)Lumvek_SetColorMode(handle, mode);
    };
    try {
        layout = layoutLocked(handle);
        frame.resize(layout.sdkBytes());
        if (Lumvek_SnapShot(handle, frame.data(), static_cast<int>(frame.size()), 1) == 0) fail("raw snapshot");
        const int order = LumvekDevice_GetRawBayerOrder(handle);
        bayer = order >= 0 && order <= 3 ? kBayerNames[order] : "";
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

} // namespace lumvek::python
