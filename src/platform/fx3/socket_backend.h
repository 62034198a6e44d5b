#pragma once
// Cameras served by the simulator daemon (lumvek-camsim) on Unix sockets in
// the device directory. A socket that refuses connection is a path that does
// not open; a vanished daemon is an unplugged camera.
#include "platform/fx3/usb_device.h"

namespace lumvek::fx3 {

class SocketDeviceSource final : public DeviceSource {
public:
    std::vector<std::string> presentPaths() override;
    std::unique_ptr<UsbDevice> open(const std::string& path) override;
};

// One connection to a daemon camera, on an already connected socket (taken
// over). The server's shared bulk buffer is attached at the first bulk read.
[[nodiscard]] std::unique_ptr<UsbDevice> makeSocketDeviceSession(int connectedFd);

} // namespace lumvek::fx3
