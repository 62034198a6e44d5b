#pragma once
// Deterministic pixel patterns for the conversion tests.
#include <cstdint>

#include "imaging/image_buffer.h"

namespace lumvek::test {

// Fills every byte of the buffer (row padding included) from a xorshift
// sequence, so that no two neighbouring samples are alike.
inline void fillPattern(ImageBuffer& b, uint32_t seed) {
    uint32_t s = seed * 2654435761u + 1;
    for (size_t i = 0; i < b.sizeBytes(); ++i) {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        b.pixels()[i] = static_cast<uint8_t>(s >> 11);
    }
}

} // namespace lumvek::test
