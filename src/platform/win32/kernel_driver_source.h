#pragma once
// Cameras behind the FX3 kernel driver on Windows: the device interfaces of
// the cameras' interface class (SetupDi enumeration), each device path
// opened as a file for overlapped I/O, its requests sent by DeviceIoControl
// (ioctl_device.h) and cancelled by CancelIoEx.
#include "platform/fx3/usb_device.h"

namespace lumvek::fx3 {

class KernelDriverSource final : public DeviceSource {
public:
    std::vector<std::string> presentPaths() override;
    // nullptr for a path that is not a camera interface's or does not open
    // (absent, or held by another process).
    std::unique_ptr<UsbDevice> open(const std::string& path) override;
};

} // namespace lumvek::fx3
