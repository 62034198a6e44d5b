#include "camera/camera_device.h"
#include "camera/lumvek_usb3k7_simple_sdk.h"

#include <new>

namespace lumvek {

std::unique_ptr<CameraDevice> createCameraDevice() {
    return std::unique_ptr<CameraDevice>(new (std::nothrow) CLumvekUSB3K7SimpleSdk());
}

} // namespace lumvek
