#pragma once
// A read-only look at the open-device table that the library shares between
// processes: the named shared block ($LUMVEK_SHM_NAME, default
// "/U3K7-MemMap-<uid>", one per user) of 8584 bytes:
//   0     int32  attach count (live controllers in all processes)
//   4     32 entries of 268 bytes { uint16 vid; uint16 pid; int32 number; char path[260] }
//   8580  int32  entry count
// The block belongs to other processes, so nothing read is trusted: counts
// are clamped and paths cut at their last byte.
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
