#pragma once
// lumvek-camsim usb-run [--dir DIR] --camera DESC [--camera DESC ...] -- COMMAND [ARG ...]
//
// Presents simulated cameras as USB devices (a umockdev testbed: sysfs
// entries, a usbfs node per camera, its ioctls answered by the simulator),
// runs COMMAND with umockdev's preload library and the testbed's variables,
// and exits with COMMAND's exit status. With --dir, `lumvek-camsim ctl --dir
// DIR unplug|replug|fault NAME ...` acts on the cameras meanwhile.
#include <string>
#include <vector>

namespace lumvek::sim::usbrun {

// The exit status of COMMAND (128 + signal when a signal ended it); 2 for
// argument errors, 1 when the testbed cannot be made.
[[nodiscard]] int runUsbRun(const std::vector<std::string>& args);

} // namespace lumvek::sim::usbrun
