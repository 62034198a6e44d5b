#pragma once
// Copying one row of pixels with their order reversed (the last pixel
// first), for cameras that send each row right to left. Pixels are 1 or 2
// bytes; the bytes of a 2-byte pixel keep their order.
#include <cstddef>
#include <cstdint>

namespace lumvek {

// The plain reference: pixel x of `to` is pixel width - 1 - x of `from`.
// The two rows must not overlap.
void reverseRowReference(uint8_t* to, const uint8_t* from, size_t width, size_t bytesPerPixel);

// The same result, 32 bytes at a time where the processor has AVX2, 16
// where it has SSSE3.
void reverseRow(uint8_t* to, const uint8_t* from, size_t width, size_t bytesPerPixel);

} // namespace lumvek
