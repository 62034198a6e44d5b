// lumvek::listCameras, lumvek::errorText, and opening a lumvek::Camera.
#include <new>

#include "camera/camera_identity.h"
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
        const usb::DeviceTable table =
            device.controller() ? device.controller()->TableCopy() : usb::DeviceTable{};
        for (int i = 0; i < count; ++i) {
            CameraEntry entry;
            entry.productId = device.GetEntryProductId(i);
            entry.deviceNumber = device.GetEntryDeviceNumber(i);
            if (i < usb::kMaxDevices) entry.id = cameraIdOfEntry(table.entries[static_cast<size_t>(i)]);
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
        if (device.controller()) {
            const usb::DeviceTable table = device.controller()->TableCopy();
            for (const IdentifiedCamera& camera : identifiedCameras(table)) {
                if (camera.productId == productId && camera.deviceNumber == deviceNumber) {
                    impl->id = camera.id;
                    break;
                }
            }
        }
        error = Error::None;
        return std::unique_ptr<Camera>(new Camera(std::move(impl)));
    } catch (const std::bad_alloc&) {
        error = Error::OutOfMemory;
        return nullptr;
    }
}

std::unique_ptr<Camera> Camera::open(std::string_view id, Error& error) noexcept {
    try {
        const auto camera = findCameraByIdNow(id, 0);
        if (!camera) {
            error = Error::NotFound;
            return nullptr;
        }
        return open(camera->productId, camera->deviceNumber, error);
    } catch (const std::bad_alloc&) {
        error = Error::OutOfMemory;
        return nullptr;
    }
}

} // namespace lumvek
