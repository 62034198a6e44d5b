#pragma once
// A camera's stable identity: the instance part of its device path. For a
// USB camera that is its serial-number string where the device has one,
// else its bus and port path ("usb2-1.4"); for a simulated camera its name.
// Unlike the device number (the order in which the open-device table met
// the cameras of one product), the id stays with the camera whatever was
// plugged in or started first.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "usb/device_table.h"

namespace lumvek {

struct IdentifiedCamera {
    int entry = -1;        // index in the open-device table
    int productId = 0;
    int deviceNumber = -1;  // among the cameras of its product
    std::string id;
};

// The id of a table entry: the instance part of its path; empty for a free
// entry or a path not of the device-path form.
[[nodiscard]] std::string cameraIdOfEntry(const usb::DeviceEntry& entry);

// Every entry of `table` with its id, in table order.
[[nodiscard]] std::vector<IdentifiedCamera> identifiedCameras(const usb::DeviceTable& table);

// The entry whose id is `id` (exact, case-sensitive), of product
// `productId` or of any product when it is 0. nullopt when none.
[[nodiscard]] std::optional<IdentifiedCamera> findCameraById(const usb::DeviceTable& table, std::string_view id,
                                                             int productId);

// The same on the table as enumeration finds it now (a controller of its own
// attaches for the call). Empty / nullopt when the table cannot be attached.
[[nodiscard]] std::vector<IdentifiedCamera> identifiedCamerasNow();
[[nodiscard]] std::optional<IdentifiedCamera> findCameraByIdNow(std::string_view id, int productId);

} // namespace lumvek
