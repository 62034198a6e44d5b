#pragma once
// A read-only look at the open-device table that the library shares between
// processes. Its name and layout are the library's own (usb/device_table.h):
// the tool maps the block, copies it and decodes it with the library's
// code, which trusts nothing in it (counts clamped, paths cut).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumvek::tool {

struct DeviceTableEntry {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    int32_t deviceNumber = -1;
    std::string path;
};

struct DeviceTableView {
    int32_t attachCount = 0;
    std::vector<DeviceTableEntry> entries;  // the first `entry count` entries
};

[[nodiscard]] std::string sharedBlockName();

// nullopt when the block does not exist (no process has the library's
// device table open) or cannot be read; `error` says which.
[[nodiscard]] std::optional<DeviceTableView> readDeviceTable(std::string& error);

// The device path of camera `number` of `productId`, or "".
[[nodiscard]] std::string devicePathOf(const DeviceTableView& table, uint16_t productId, int number);

} // namespace lumvek::tool
