#include "camera/camera_device.h"
#include "camera/lumvek_usb3k7_simple_sdk.h"

#include <new>

#include "camera/product_table.h"
#include "platform/fx3/usb_id_filter.h"

namespace lumvek {

std::unique_ptr<CameraDevice> createCameraDevice() {
    // Real USB devices count as cameras only when the product table knows them.
    fx3::setUsbProductCheck(&isKnownProduct);
    return std::unique_ptr<CameraDevice>(new (std::nothrow) CLumvekUSB3K7SimpleSdk());
}

} // namespace lumvek
