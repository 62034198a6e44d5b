#pragma once
// Who holds the cameras of this model that the SDK cannot open, where the
// system tells: a simulated camera's daemon names the process that claimed
// it; a USB camera's holder is the process with its usbfs node open (found
// in /proc when that process is the user's). The program name comes from
// /proc/PID/comm.
#include <string>
#include <vector>

namespace lumvek::tool {

struct CameraHolder {
    std::string camera;   // "cam0 (simulated)" or "04b4:3090 at 2-1"
    int pid = 0;
    std::string program;  // "" when unknown
};

// The cameras of product `productId` that another process (or, for a
// simulated camera, another SDK instance of this one) holds now.
[[nodiscard]] std::vector<CameraHolder> camerasInUse(unsigned productId);

// "cam0 (simulated) is in use by process 1234 (lumvek)", one clause per
// camera joined by "; ", or "" when none is held.
[[nodiscard]] std::string describeCamerasInUse(const std::vector<CameraHolder>& holders);

} // namespace lumvek::tool
