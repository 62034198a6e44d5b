#pragma once
// Zero-filled memory blocks for pictures and frame buffers. A large block is
// an anonymous private mapping of its own: it reads as zeros and takes no
// resident memory until a page is first written, where malloc and memset
// would make every page resident at once (and glibc, having raised its mmap
// threshold after the first large free, may hand back a reused heap block
// that needs the memset and is not returned to the system when freed).
// Freeing a large block unmaps it at once. Small blocks come from the heap,
// and so does every block of an AddressSanitizer build, whose heap puts
// guard zones around each block to catch overruns.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace lumvek::platform {

// Blocks of at least this many bytes are mappings of their own.
inline constexpr size_t kMappedBlockBytes = size_t{64} * 1024;
// Every block starts on a boundary of this many bytes.
inline constexpr size_t kBlockAlignment = 64;

struct ZeroedBlockDeleter {
    size_t mappedBytes = 0;  // the mapping's length; 0 for a heap block
    void operator()(uint8_t* block) const;
};
using ZeroedBlock = std::unique_ptr<uint8_t[], ZeroedBlockDeleter>;

// A block of `bytes` zero bytes, aligned to kBlockAlignment; empty when
// bytes is 0 or the memory cannot be had.
[[nodiscard]] ZeroedBlock allocateZeroed(size_t bytes);

// Makes a mapped block read-only: a write to it then faults at once instead
// of changing what every reader sees. False for a heap block (left writable).
bool protectReadOnly(const ZeroedBlock& block);

} // namespace lumvek::platform
