#pragma once
// How a simulated camera looks on the USB bus to the system: the device and
// configuration descriptors of a SuperSpeed camera (vendor-specific interface
// 0 with bulk-in endpoints 0x81 and 0x83), and the umockdev record text that
// puts it into a testbed (sysfs attributes, udev properties and the usbfs
// node /dev/bus/usb/BBB/DDD). Pure text and bytes: no testbed here.
#include <cstdint>
#include <string>
#include <vector>

namespace lumvek::sim::usbrun {

inline constexpr int kUsbMajor = 189;
inline constexpr int kUsbBus = 2;  // the SuperSpeed root hub's bus

struct UsbPlacement {
    int bus = kUsbBus;
    int port = 1;     // port on the root hub: sysfs name "B-P"
    int address = 2;  // device number on the bus
    int speedMbps = 5000;  // 480: a camera on a USB 2 port
};

// The 18-byte device descriptor (USB 3.0, or 2.1 on a USB 2 link) followed by the whole configuration (what
// sysfs shows as the `descriptors` attribute).
[[nodiscard]] std::vector<uint8_t> cameraDescriptors(uint16_t vendorId, uint16_t productId, bool superSpeed = true);

// The sysfs path of the device, e.g. /sys/devices/pci0000:00/0000:00:14.0/usb2/2-1.
[[nodiscard]] std::string cameraSysPath(const UsbPlacement& placement);
// The device node, e.g. /dev/bus/usb/002/002.
[[nodiscard]] std::string cameraDevNode(const UsbPlacement& placement);

// The umockdev record ("P:", "N:", "E:", "A:", "H:" lines) of the camera.
// `serial` non-empty: the device has a serial-number string (descriptor
// index 3, sysfs attribute "serial").
[[nodiscard]] std::string cameraRecord(uint16_t vendorId, uint16_t productId, const UsbPlacement& placement,
                                       const std::string& serial = {});

} // namespace lumvek::sim::usbrun
