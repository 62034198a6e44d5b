// Zero-filled blocks on Windows: a large block is a VirtualAlloc region of
// its own (zero and not resident until written; released at once when
// freed); a small one comes from the CRT's aligned heap (the C runtime has
// no aligned_alloc).
#include "platform/memory/zeroed_block.h"

#include <malloc.h>
#include <windows.h>

#include <cstring>

namespace lumvek::platform {

void ZeroedBlockDeleter::operator()(uint8_t* block) const {
    if (block == nullptr) {
        return;
    }
    if (mappedBytes != 0) {
        (void)VirtualFree(block, 0, MEM_RELEASE);
    } else {
        _aligned_free(block);
    }
}

ZeroedBlock allocateZeroed(size_t bytes) {
    if (bytes == 0) {
        return ZeroedBlock(nullptr, ZeroedBlockDeleter{});
    }
    if (bytes < kMappedBlockBytes) {
        auto* block = static_cast<uint8_t*>(_aligned_malloc(bytes, kBlockAlignment));
        if (block == nullptr) {
            return ZeroedBlock(nullptr, ZeroedBlockDeleter{});
        }
        std::memset(block, 0, bytes);
        return ZeroedBlock(block, ZeroedBlockDeleter{});
    }
    // 64 KiB-aligned (the allocation granularity), hence kBlockAlignment-aligned.
    void* block = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (block == nullptr) {
        return ZeroedBlock(nullptr, ZeroedBlockDeleter{});
    }
    return ZeroedBlock(static_cast<uint8_t*>(block), ZeroedBlockDeleter{bytes});
}

bool protectReadOnly(const ZeroedBlock& block) {
    const size_t bytes = block.get_deleter().mappedBytes;
    DWORD previous = 0;
    return block && bytes != 0 && VirtualProtect(block.get(), bytes, PAGE_READONLY, &previous) != 0;
}

} // namespace lumvek::platform
