// Named shared memory as the system offers it: a file mapping backed by the
// paging file. The object lives while any process holds a handle to it, so
// it needs no unlinking and a crashed process leaves nothing behind.
#include "platform/shm/shared_memory_block.h"

#include <windows.h>

#include "platform/log/log.h"
#include "platform/win32/kernel_object_name.h"

namespace lumvek::platform {

std::unique_ptr<SharedMemoryBlock> SharedMemoryBlock::open(const std::string& name, size_t bytes, Mode mode) {
    if (name.empty() || bytes == 0) {
        return nullptr;
    }
    const std::string objectName = win32::kernelObjectName(name);
    HANDLE mapping = nullptr;
    bool created = false;
    if (mode == Mode::OpenExisting) {
        mapping = OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, objectName.c_str());
    } else {
        const auto size = static_cast<unsigned long long>(bytes);
        mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, static_cast<DWORD>(size >> 32),
                                     static_cast<DWORD>(size & 0xFFFFFFFFu), objectName.c_str());
        created = mapping != nullptr && GetLastError() != ERROR_ALREADY_EXISTS;
    }
    if (mapping == nullptr) {
        return nullptr;
    }
    // A mapping cannot grow: an existing one must already be large enough.
    void* view = MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0);
    MEMORY_BASIC_INFORMATION info{};
    if (view == nullptr || VirtualQuery(view, &info, sizeof info) == 0 || info.RegionSize < bytes) {
        logf(LogCategory::Platform, "shared memory %s: cannot map %zu bytes (error %lu)", objectName.c_str(), bytes,
             static_cast<unsigned long>(GetLastError()));
        if (view != nullptr) {
            UnmapViewOfFile(view);
        }
        CloseHandle(mapping);
        return nullptr;
    }
    return std::unique_ptr<SharedMemoryBlock>(
        new SharedMemoryBlock(mapping, static_cast<uint8_t*>(view), bytes, created));
}

bool SharedMemoryBlock::unlink(const std::string&) {
    // A named mapping goes when its last handle closes; there is no name to
    // remove before then.
    return false;
}

bool SharedMemoryBlock::stillNamed(const std::string&) const {
    // The name cannot be taken away while this handle keeps the object.
    return true;
}

SharedMemoryBlock::SharedMemoryBlock(void* mapping, uint8_t* data, size_t size, bool created)
    : mapping_(mapping), data_(data), size_(size), created_(created) {}

SharedMemoryBlock::~SharedMemoryBlock() {
    UnmapViewOfFile(data_);
    CloseHandle(mapping_);
}

} // namespace lumvek::platform
