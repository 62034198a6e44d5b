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
    void unclaim(const std::string& path, const void* holder);

private:
    DeviceRegistry();
    std::vector<std::unique_ptr<DeviceSource>> ownedSources_;
    std::vector<DeviceSource*> sources_;
    std::mutex mutex_;  // guards firstSeen_
    std::vector<std::string> firstSeen_;

    struct Claim {
        const void* holder = nullptr;
        int handles = 0;
    };
    std::mutex claimMutex_;  // guards claims_
    std::map<std::string, Claim> claims_;  // paths with open handles
};

} // namespace lumvek::fx3
