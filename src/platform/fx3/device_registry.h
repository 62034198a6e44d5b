#pragma once
// The driver stand-in's view of the devices of all backends: which device
// paths are present (in the order each was first seen), opening one, and
// which holder of this process has each path open (the claims).
// Internal to src/platform/fx3.
#include <map>
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

    // Counts one more open handle of `holder` on `path`; false (nothing
    // counted) while another holder has handles open on it.
    [[nodiscard]] bool claim(const std::string& path, const void* holder);
    // Counts one handle less; the path is free when the holder's last goes.
    // Returns the idle connections kept for the holder when its last handle
    // went: the caller ends them, outside the registry's lock.
    [[nodiscard]] std::vector<std::unique_ptr<UsbDevice>> unclaim(const std::string& path, const void* holder);

    // The connection of a handle being closed, kept for the holder's next
    // open of the same path while it still has another handle open there
    // (the camera stays claimed all the same): true when it was taken.
    // Opening a connection to the simulator daemon is a connect, a claim
    // exchange and a thread of the daemon's; a camera's opening issues
    // hundreds of control requests, each on a handle of its own.
    [[nodiscard]] bool keepIdle(const std::string& path, const void* holder, std::unique_ptr<UsbDevice>& device);
    // A kept connection of the holder on the path that is still usable, or null.
    [[nodiscard]] std::unique_ptr<UsbDevice> takeIdle(const std::string& path, const void* holder);

private:
    DeviceRegistry();
    std::vector<std::unique_ptr<DeviceSource>> ownedSources_;
    std::vector<DeviceSource*> sources_;
    std::mutex mutex_;  // guards firstSeen_
    std::vector<std::string> firstSeen_;

    struct Claim {
        const void* holder = nullptr;
        int handles = 0;
        std::vector<std::unique_ptr<UsbDevice>> idle;  // connections of closed handles, newest last
    };
    std::mutex claimMutex_;  // guards claims_ and their idle connections
    std::map<std::string, Claim> claims_;  // paths with open handles
};

} // namespace lumvek::fx3
