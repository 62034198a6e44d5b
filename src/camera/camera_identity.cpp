#include "camera/camera_identity.h"

#include <cstring>

#include "camera/lumvek_usb3k7_simple_sdk.h"
#include "platform/fx3/usb_device.h"
#include "usb/quelro_cy3_cam.h"

namespace lumvek {

std::string cameraIdOfEntry(const usb::DeviceEntry& entry) {
    if (entry.productId == 0) {
        return {};
    }
    const std::string path(entry.path.data(), strnlen(entry.path.data(), entry.path.size()));
    fx3::DevicePathParts parts;
    if (!fx3::parseDevicePath(path, parts)) {
        return {};
    }
    return parts.instance;
}

std::vector<IdentifiedCamera> identifiedCameras(const usb::DeviceTable& table) {
    std::vector<IdentifiedCamera> cameras;
    const int count = std::clamp(table.entryCount, 0, usb::kMaxDevices);
    for (int i = 0; i < count; ++i) {
        const usb::DeviceEntry& entry = table.entries[static_cast<size_t>(i)];
        if (entry.productId == 0) continue;
        cameras.push_back({i, entry.productId, entry.deviceNumber, cameraIdOfEntry(entry)});
    }
    return cameras;
}

std::optional<IdentifiedCamera> findCameraById(const usb::DeviceTable& table, std::string_view id, int productId) {
    if (id.empty()) return std::nullopt;
    for (IdentifiedCamera& camera : identifiedCameras(table)) {
        if (camera.id == id && (productId == 0 || camera.productId == productId)) {
            return std::move(camera);
        }
    }
    return std::nullopt;
}

namespace {
std::optional<usb::DeviceTable> enumeratedTable() {
    CLumvekUSB3K7SimpleSdk device;
    device.CreateController(nullptr);
    if (device.controller() == nullptr) return std::nullopt;
    (void)device.CountDevices(0);  // enumerates
    return device.controller()->TableCopy();
}
} // namespace

std::vector<IdentifiedCamera> identifiedCamerasNow() {
    const auto table = enumeratedTable();
    return table ? identifiedCameras(*table) : std::vector<IdentifiedCamera>{};
}

std::optional<IdentifiedCamera> findCameraByIdNow(std::string_view id, int productId) {
    const auto table = enumeratedTable();
    return table ? findCameraById(*table, id, productId) : std::nullopt;
}

} // namespace lumvek
