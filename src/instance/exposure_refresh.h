#pragma once
// After the exposure changed in device units, the cached exposure in seconds
// follows what the camera reports (on cameras that work in seconds).
// Called with the camera session's lock held.
#include "camera/camera_device.h"
#include "instance/image_controls.h"

namespace lumvek {

inline void refreshExposureSeconds(CameraDevice& device, ImageControls& controls) {
    double seconds = 0.0;
    if (device.IsExposureTimeExAvailable() && device.GetExposureTimeEx(&seconds)) {
        controls.edit([seconds](ImageSettings&, GainSettings& gain) { gain.exposureEx = seconds; });
    }
}

} // namespace lumvek
