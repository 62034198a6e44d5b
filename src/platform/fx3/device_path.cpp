#include <cstdio>
#include <cstdlib>

#include "platform/fx3/fx3_driver.h"
#include "platform/fx3/usb_device.h"

namespace lumvek::fx3 {

namespace {
constexpr const char* kPathPrefix = "\\\\?\\usb#vid_";
constexpr const char* kInterfaceSuffix = "#{328184c5-93e6-49b7-94b8-2ada13aabb39}";

bool parseHex4(const std::string& text, size_t at, uint16_t& out) {
    if (text.size() < at + 4) {
        return false;
    }
    unsigned value = 0;
    for (size_t i = at; i < at + 4; ++i) {
        const char c = text[i];
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return false;
        }
        value = value * 16 + digit;
    }
    out = static_cast<uint16_t>(value);
    return true;
}
} // namespace

std::string formatDevicePath(uint16_t vendorId, uint16_t productId, const std::string& instance) {
    char ids[32];
    std::snprintf(ids, sizeof ids, "%04x&pid_%04x#", vendorId, productId);
    return std::string(kPathPrefix) + ids + instance + kInterfaceSuffix;
}

bool parseDevicePath(const std::string& path, DevicePathParts& parts) {
    const std::string prefix = kPathPrefix;
    const std::string suffix = kInterfaceSuffix;
    // Offsets 12..15 and 21..24 carry the identifiers.
    if (path.size() < 26 + suffix.size() || path.compare(0, prefix.size(), prefix) != 0 ||
        path.compare(16, 5, "&pid_") != 0 || path[25] != '#' ||
        path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return false;
    }
    if (!parseHex4(path, 12, parts.vendorId) || !parseHex4(path, 21, parts.productId)) {
        return false;
    }
    parts.instance = path.substr(26, path.size() - 26 - suffix.size());
    return !parts.instance.empty();
}

} // namespace lumvek::fx3
