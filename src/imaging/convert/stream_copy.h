#pragma once
// Copying rows that were just written (and so sit in this core's cache) into
// memory that this process will not read again, such as an application's
// callback buffer: the stores bypass the cache, so the destination lines are
// neither read from memory first nor pushed out of it later in the way of
// the next rows. Returns once the stores are visible to other threads.
#include <cstddef>
#include <cstdint>

namespace lumvek {

void streamCopy(uint8_t* dst, const uint8_t* src, size_t bytes);

} // namespace lumvek
