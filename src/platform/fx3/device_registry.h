#pragma once
// The driver stand-in's view of the devices of all backends: which device
// paths are present (in the order each was first seen) and opening one.
// Internal to src/platform/fx3.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/fx3/usb_device.h"

namespace lumvek::fx3 {

class DeviceRegistry {
public:
    static DeviceRegistry& instance();

    [[nodiscard]] std::vector<std::string> presentPaths();
    [[nodiscard]] std::unique_ptr<UsbDevice> open(const std::string& path);

private:
    DeviceRegistry();
    std::vector<std::unique_ptr<DeviceSource>> ownedSources_;
    std::vector<DeviceSource*> sources_;
    std::mutex mutex_;  // guards firstSeen_
    std::vector<std::string> firstSeen_;
};

} // namespace lumvek::fx3
