#pragma once
// Cameras served by the simulator daemon (lumvek-camsim) on Unix sockets in
// the device directory. A socket that refuses connection is a path that does
// not open; a vanished daemon is an unplugged camera, and so is one that stops
// answering (a stopped process): every wait on the daemon is bounded, and a
// camera whose daemon let one run out is left alone (not listed, not opened)
// until it answers again, checked at most every kSilentRetryMs.
#include <cstdint>
#include <string>

#include "platform/fx3/usb_device.h"

namespace lumvek::fx3 {

class SocketDeviceSource final : public DeviceSource {
public:
    std::vector<std::string> presentPaths() override;
    std::unique_ptr<UsbDevice> open(const std::string& path) override;
};

// One connection to a daemon camera, on an already connected socket (taken
// over). The server's shared bulk buffer is attached at the first bulk read.
// socketPath, when given, is marked silent when the daemon stops answering.
[[nodiscard]] std::unique_ptr<UsbDevice> makeSocketDeviceSession(int connectedFd, const std::string& socketPath = {});

// How long past a request's own time-out the client waits for the daemon
// before it counts the camera as gone (also the bound on a claim or query reply).
inline constexpr uint32_t kReplyGraceMs = 2000;
// How long a daemon that let a wait run out is taken as gone before it is asked again.
inline constexpr uint32_t kSilentRetryMs = 2000;

// The daemon's answer to "who holds this camera": answered false when it did
// not answer within sockio::kConnectTimeoutMs + kReplyGraceMs (or was left
// alone as silent); holderPid 0 when nobody holds the camera.
struct SocketCameraAnswer {
    bool answered = false;
    uint32_t holderPid = 0;
};
[[nodiscard]] SocketCameraAnswer querySocketCamera(const std::string& socketPath);

// The socket file of a camera's device path ("" for a path that is no socket camera's).
[[nodiscard]] std::string socketPathOf(const std::string& devicePath);

} // namespace lumvek::fx3
