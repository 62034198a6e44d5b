#include "platform/memory/zeroed_block.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>

namespace lumvek::platform {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kHeapOnly = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kHeapOnly = true;
#else
constexpr bool kHeapOnly = false;
#endif
#else
constexpr bool kHeapOnly = false;
#endif

ZeroedBlock heapBlock(size_t bytes) {
    // aligned_alloc wants a size that is a multiple of the alignment.
    const size_t rounded = (bytes + kBlockAlignment - 1) & ~(kBlockAlignment - 1);
    auto* block = static_cast<uint8_t*>(std::aligned_alloc(kBlockAlignment, rounded));
    if (block == nullptr) {
        return ZeroedBlock(nullptr, ZeroedBlockDeleter{});
    }
    std::memset(block, 0, rounded);
    return ZeroedBlock(block, ZeroedBlockDeleter{});
}

} // namespace

void ZeroedBlockDeleter::operator()(uint8_t* block) const {
    if (block == nullptr) {
        return;
    }
    if (mappedBytes != 0) {
        (void)munmap(block, mappedBytes);
    } else {
        std::free(block);
    }
}

ZeroedBlock allocateZeroed(size_t bytes) {
    if (bytes == 0) {
        return ZeroedBlock(nullptr, ZeroedBlockDeleter{});
    }
    if (kHeapOnly || bytes < kMappedBlockBytes) {
        return heapBlock(bytes);
    }
    // Page-aligned, hence kBlockAlignment-aligned; zero until written.
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) {
        return ZeroedBlock(nullptr, ZeroedBlockDeleter{});
    }
    return ZeroedBlock(static_cast<uint8_t*>(block), ZeroedBlockDeleter{bytes});
}

bool protectReadOnly(const ZeroedBlock& block) {
    const size_t bytes = block.get_deleter().mappedBytes;
    return block && bytes != 0 && mprotect(block.get(), bytes, PROT_READ) == 0;
}

} // namespace lumvek::platform
