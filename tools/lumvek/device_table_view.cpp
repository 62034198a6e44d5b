#include "device_table_view.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "usb/device_table.h"

namespace lumvek::tool {

namespace {
constexpr size_t kBlockBytes = usb::kSharedBlockBytes;
} // namespace

std::string sharedBlockName() {
    return usb::sharedBlockName();
}

std::optional<DeviceTableView> readDeviceTable(std::string& error) {
    const std::string name = sharedBlockName();
    const int fd = shm_open(name.c_str(), O_RDONLY, 0);
    if (fd < 0) {
        error = errno == ENOENT ? "not present" : std::string("cannot open: ") + std::strerror(errno);
        return std::nullopt;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || static_cast<size_t>(st.st_size) < kBlockBytes) {
        ::close(fd);
        error = "present but smaller than " + std::to_string(kBlockBytes) + " bytes";
        return std::nullopt;
    }
    void* view = mmap(nullptr, kBlockBytes, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (view == MAP_FAILED) {
        error = std::string("cannot map: ") + std::strerror(errno);
        return std::nullopt;
    }
    // Copy first: other processes may write while we look.
    uint8_t block[kBlockBytes];
    std::memcpy(block, view, kBlockBytes);
    munmap(view, kBlockBytes);

    // The library's own decoding: it clamps the count and cuts every path.
    usb::DeviceTable decoded;
    usb::readTable(block, decoded);
    DeviceTableView table;
    table.attachCount = usb::readAttachCount(block);
    for (int32_t i = 0; i < decoded.entryCount; ++i) {
        const usb::DeviceEntry& entry = decoded.entries[static_cast<size_t>(i)];
        table.entries.push_back({entry.vendorId, entry.productId, entry.deviceNumber,
                                 std::string(entry.path.data(), strnlen(entry.path.data(), entry.path.size()))});
    }
    return table;
}

std::string devicePathOf(const DeviceTableView& table, uint16_t productId, int number) {
    for (const auto& entry : table.entries) {
        if (entry.productId == productId && entry.deviceNumber == number) return entry.path;
    }
    return {};
}

} // namespace lumvek::tool
