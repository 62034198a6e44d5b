#pragma once
// Real cameras through libusb-1.0: the devices of the configured vendors and
// known products on the system's USB buses. Opening claims interface 0, so a
// camera another process holds does not open. All opens of one camera in a
// process share one libusb handle and one claim.
#include "platform/fx3/usb_device.h"

struct libusb_device;

namespace lumvek::fx3 {

class LibusbDeviceSource final : public DeviceSource {
public:
    std::vector<std::string> presentPaths() override;
    std::unique_ptr<UsbDevice> open(const std::string& path) override;

    // A camera that left the bus: its open handles fail their pending and
    // later requests at once. Called by the hot-plug observer.
    static void deviceLeft(libusb_device* device);
};

// The link speed answer for a libusb speed (SuperSpeed and faster: 4); 0 unknown.
[[nodiscard]] uint32_t linkSpeedOf(int libusbSpeed);

} // namespace lumvek::fx3
