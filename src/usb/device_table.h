#pragma once
// The open-device table: 32 entries of vendor identifier, product identifier,
// device number and device path, and its layout in the shared block
// "U3K7-MemMap" (8584 bytes, little-endian):
//   0     int32  attach count: live controllers in all processes
//   4     32 x 268-byte entries { uint16 vid; uint16 pid; int32 number; char path[260] }
//   8580  int32  entry count (0..32)
// Pure data and encoding; the attach rules live in shared_device_table.h.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace lumvek::usb {

inline constexpr int kMaxDevices = 32;
inline constexpr size_t kDevicePathBytes = 260;
inline constexpr size_t kDeviceEntryBytes = 268;
inline constexpr size_t kAttachCountOffset = 0;
inline constexpr size_t kEntriesOffset = 4;
inline constexpr size_t kEntryCountOffset = kEntriesOffset + kMaxDevices * kDeviceEntryBytes;  // 8580
inline constexpr size_t kSharedBlockBytes = kEntryCountOffset + 4;                            // 8584
inline constexpr char kDefaultSharedBlockName[] = "/U3K7-MemMap";

struct DeviceEntry {
    uint16_t vendorId = 0;
    uint16_t productId = 0;  // 0 marks a free entry
    int32_t deviceNumber = -1;
    std::array<char, kDevicePathBytes> path{};  // NUL-terminated

    [[nodiscard]] bool hasPath(const std::string& other) const;
    void setPath(const std::string& value);  // truncated to 259 characters
};

struct DeviceTable {
    std::array<DeviceEntry, kMaxDevices> entries{};
    int32_t entryCount = 0;

    void reset();  // every entry free, entry count 0
};

// The block's name: $LUMVEK_SHM_NAME when set (a leading '/' is added when
// missing), else "/U3K7-MemMap-<uid>", one block per user.
[[nodiscard]] std::string sharedBlockName();

[[nodiscard]] int32_t readAttachCount(const uint8_t* block);
void writeAttachCount(uint8_t* block, int32_t count);
// Reads the entries and entry count. The block is shared with other
// processes, so what it holds is not trusted: the count is clamped to 0..32
// and every path is cut at its last byte.
void readTable(const uint8_t* block, DeviceTable& table);
void writeTable(uint8_t* block, const DeviceTable& table);

} // namespace lumvek::usb
