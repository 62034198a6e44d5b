// lumvek::listCameras, lumvek::errorText, and opening a lumvek::Camera.
#include <new>

#include "camera/product_table.h"
#include "cxxapi/camera_impl.h"
#include "usb/quelro_cy3_cam.h"

namespace lumvek {
namespace {

constexpr size_t kNameBytes = 64;

} // namespace

const char* errorText(Error error) noexcept {
    switch (error) {
    case Error::None: return "no error";
    case Error::NotFound: return "no camera of that product and number";
    case Error::OpenFailed: return "the camera did not start";
    case Error::Unsupported: return "the camera does not have this feature";
    case Error::Failed: return "the camera refused or did not answer";
    case Error::InvalidArgument: return "value out of range";
    case Error::Timeout: return "no frame in time";
    case Error::BufferTooSmall: return "buffer too small for a frame";
    case Error::OutOfMemory: return "out of memory";
    }
    return "unknown error";
}

std::vector<CameraEntry> listCameras(Error* error) noexcept {
    std::vector<CameraEntry> cameras;
    try {
        CLumvekUSB3K7SimpleSdk device;
        device.CreateController(nullptr);
        const int count = device.CountDevices(0);
        for (int i = 0; i < count; ++i) {
            CameraEntry entry;
            entry.productId = device.GetEntryProductId(i);
            entry.deviceNumber = device.GetEntryDeviceNumber(i);
            char name[kNameBytes] = {};
            entry.openable = device.controller() && device.controller()->IsDeviceOpenable(i);
            if (device.GetDeviceName(i, name, sizeof name)) {
                entry.name = name;
            } else {
                entry.name = productRow(entry.productId).driverName;
            }
            cameras.push_back(std::move(entry));
        }
        if (error) *error = Error::None;
    } catch (const std::bad_alloc&) {
        cameras.clear();
        if (error) *error = Error::OutOfMemory;
    }
    return cameras;
}

Camera::Camera(std::unique_ptr<Impl> impl) noexcept : impl_(std::move(impl)) {}

Camera::~Camera() {
    if (impl_ && impl_->device) impl_->device->StopAcquisition();
}

std::unique_ptr<Camera> Camera::open(int productId, int deviceNumber, Error& error) noexcept {
    try {
        auto impl = std::make_unique<Impl>();
        impl->device = std::make_unique<CLumvekUSB3K7SimpleSdk>();
        impl->productId = productId;
        impl->deviceNumber = deviceNumber;
        CLumvekUSB3K7SimpleSdk& device = *impl->device;
        device.SetProductId(productId);
        device.CreateController(nullptr);
        if (device.CountDevices(productId) <= 0 || !device.IsDeviceNumberPresent(deviceNumber)) {
            error = Error::NotFound;
            return nullptr;
        }
        // The frame-direct product has no window registers: its geometry
        // update reports 0 with the buffers made.
        if (!device.CreateSensor(deviceNumber) || ((void)device.UpdateFrameGeometry(), device.frameByteCount() <= 0)) {
            error = Error::OpenFailed;
            return nullptr;
        }
        error = Error::None;
        return std::unique_ptr<Camera>(new Camera(std::move(impl)));
    } catch (const std::bad_alloc&) {
        error = Error::OutOfMemory;
        return nullptr;
    }
}

} // namespace lumvek
