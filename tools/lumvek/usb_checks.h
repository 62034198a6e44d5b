#pragma once
// What `lumvek doctor` checks for real USB cameras beyond finding them: the
// usbfs memory limit, who holds a camera's device node open, and how to
// grant access to a node the user cannot open.
#include <optional>
#include <string>
#include <vector>

namespace lumvek::tool {

// Below this the usbfs memory limit (shared by every USB program on the
// machine) can starve a camera streaming full frames.
inline constexpr int kWantedUsbfsMemoryMb = 256;

// /sys/module/usbcore/parameters/usbfs_memory_mb; nullopt when not readable.
[[nodiscard]] std::optional<int> usbfsMemoryLimitMb();

// The fix for a limit that is too small.
[[nodiscard]] std::string usbfsMemoryFix();

struct NodeHolder {
    int pid = 0;
    std::string command;  // its command line, arguments separated by spaces
};

// Other processes that have `node` open (found in /proc/PID/fd).
[[nodiscard]] std::vector<NodeHolder> processesHolding(const std::string& node);

// The fix for a node the user cannot open: the installed udev rule, or the
// node's group.
[[nodiscard]] std::string accessFix(const std::string& node);

} // namespace lumvek::tool
