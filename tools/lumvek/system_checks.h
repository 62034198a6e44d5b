#pragma once
// What `lumvek doctor` looks at outside the SDK: the simulator's device
// folder and sockets, USB cameras in sysfs with their link speed and device
// node permissions.
#include <string>
#include <vector>

namespace lumvek::tool {

// $LUMVEK_DEVICE_DIR, else ${XDG_RUNTIME_DIR:-/tmp}/lumvek-devices.
[[nodiscard]] std::string deviceFolder();

struct SocketState {
    std::string name;  // file name, <vid>_<pid>_<instance>.sock
    bool answers = false;
};

struct DeviceFolderState {
    bool exists = false;
    std::vector<SocketState> sockets;
};

[[nodiscard]] DeviceFolderState inspectDeviceFolder(const std::string& folder);

struct UsbCamera {
    std::string sysfsName;   // e.g. 2-1
    unsigned vendorId = 0;
    unsigned productId = 0;
    int speedMbps = 0;       // 5000 and up: SuperSpeed
    std::string deviceNode;  // /dev/bus/usb/BBB/DDD
    bool accessible = false; // read and write allowed
};

// Devices in /sys/bus/usb/devices with the given product identifier.
[[nodiscard]] std::vector<UsbCamera> findUsbCameras(unsigned productId);

} // namespace lumvek::tool
