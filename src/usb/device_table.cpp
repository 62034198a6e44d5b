#include "usb/device_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace lumvek::usb {

namespace {

constexpr size_t kEntryVendorOffset = 0;
constexpr size_t kEntryProductOffset = 2;
constexpr size_t kEntryNumberOffset = 4;
constexpr size_t kEntryPathOffset = 8;

uint16_t get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

} // namespace

bool DeviceEntry::hasPath(const std::string& other) const {
    return std::strncmp(path.data(), other.c_str(), kDevicePathBytes) == 0 && other.size() < kDevicePathBytes;
}

void DeviceEntry::setPath(const std::string& value) {
    path.fill('\0');
    std::memcpy(path.data(), value.data(), std::min(value.size(), kDevicePathBytes - 1));
}

void DeviceTable::reset() {
    for (auto& entry : entries) {
        entry = DeviceEntry{};
    }
    entryCount = 0;
}

std::string sharedBlockName() {
    const char* overrideName = std::getenv("LUMVEK_SHM_NAME");
    if (overrideName == nullptr || overrideName[0] == '\0') {
#ifdef _WIN32
        // A plainly named mapping lives in its login session's namespace.
        return kDefaultSharedBlockName;
#else
        // One block per user, as a plainly named block lives in its login
        // session's namespace: another user's programs neither hide this
        // user's cameras nor lock them out of the block.
        return std::string(kDefaultSharedBlockName) + "-" + std::to_string(::getuid());
#endif
    }
    std::string name = overrideName;
    return name[0] == '/' ? name : "/" + name;
}

int32_t readAttachCount(const uint8_t* block) {
    return static_cast<int32_t>(get32(block + kAttachCountOffset));
}

void writeAttachCount(uint8_t* block, int32_t count) {
    put32(block + kAttachCountOffset, static_cast<uint32_t>(count));
}

void readTable(const uint8_t* block, DeviceTable& table) {
    for (int i = 0; i < kMaxDevices; ++i) {
        const uint8_t* p = block + kEntriesOffset + static_cast<size_t>(i) * kDeviceEntryBytes;
        DeviceEntry& entry = table.entries[static_cast<size_t>(i)];
        entry.vendorId = get16(p + kEntryVendorOffset);
        entry.productId = get16(p + kEntryProductOffset);
        entry.deviceNumber = static_cast<int32_t>(get32(p + kEntryNumberOffset));
        std::memcpy(entry.path.data(), p + kEntryPathOffset, kDevicePathBytes);
        entry.path[kDevicePathBytes - 1] = '\0';
    }
    table.entryCount = std::clamp(static_cast<int32_t>(get32(block + kEntryCountOffset)), 0, kMaxDevices);
}

void writeTable(uint8_t* block, const DeviceTable& table) {
    for (int i = 0; i < kMaxDevices; ++i) {
        uint8_t* p = block + kEntriesOffset + static_cast<size_t>(i) * kDeviceEntryBytes;
        const DeviceEntry& entry = table.entries[static_cast<size_t>(i)];
        put16(p + kEntryVendorOffset, entry.vendorId);
        put16(p + kEntryProductOffset, entry.productId);
        put32(p + kEntryNumberOffset, static_cast<uint32_t>(entry.deviceNumber));
        std::memcpy(p + kEntryPathOffset, entry.path.data(), kDevicePathBytes);
    }
    put32(block + kEntryCountOffset, static_cast<uint32_t>(table.entryCount));
}

} // namespace lumvek::usb
