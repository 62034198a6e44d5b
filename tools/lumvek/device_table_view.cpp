#include "device_table_view.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumvek::tool {

namespace {
constexpr size_t kBlockBytes = 8584;
constexpr size_t kEntriesOffset = 4;
constexpr size_t kEntryBytes = 268;
constexpr size_t kPathOffset = 8;
constexpr size_t kPathBytes = 260;
constexpr size_t kEntryCountOffset = 8580;
constexpr int32_t kMaxEntries = 32;

uint32_t read32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

uint16_t read16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
} // namespace

std::string sharedBlockName() {
    const char* name = std::getenv("LUMVEK_SHM_NAME");
    if (name == nullptr || *name == '\0') return "/U3K7-MemMap-" + std::to_string(::getuid());
    return name[0] == '/' ? std::string(name) : "/" + std::string(name);
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

    DeviceTableView table;
    table.attachCount = static_cast<int32_t>(read32(block));
    const int32_t count = std::clamp(static_cast<int32_t>(read32(block + kEntryCountOffset)), 0, kMaxEntries);
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t* p = block + kEntriesOffset + static_cast<size_t>(i) * kEntryBytes;
        DeviceTableEntry entry;
        entry.vendorId = read16(p);
        entry.productId = read16(p + 2);
        entry.deviceNumber = static_cast<int32_t>(read32(p + 4));
        const char* path = reinterpret_cast<const char*>(p + kPathOffset);
        entry.path.assign(path, strnlen(path, kPathBytes - 1));
        table.entries.push_back(entry);
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
