#pragma once
// What stands behind a lumvek::Camera: one camera device object with its
// camera open, and the helpers the interface's files share.
#include <memory>
#include <string>

#include "camera/lumvek_usb3k7_simple_sdk.h"
#include "instance/stream_statistics.h"
#include "lumvek/camera.hpp"

namespace lumvek {

struct Camera::Impl {
    std::unique_ptr<CLumvekUSB3K7SimpleSdk> device;
    int productId = 0;
    int deviceNumber = 0;
    std::string id;  // the camera's stable id (camera/camera_identity.h)
    bool sixteenBit = false;
    // Frames copied out: counters, and the number of the last one (one
    // Camera is used from one thread at a time).
    DeliveryStatistics stream;
    uint64_t lastCopiedNumber = 0;

    [[nodiscard]] CSensorBase* sensor() const { return device->sensor(); }
};

// 1 from the device layer is None, 0 is `failure`.
inline Error resultOf(int result, Error failure = Error::Failed) { return result ? Error::None : failure; }

} // namespace lumvek
