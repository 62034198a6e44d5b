#pragma once
// A row of 8-bit samples through two 256-level tables, one for the samples
// at even and one for those at odd places of the row, written forwards or
// back to front: the wide path of the R13 model's per-channel transform.
#include <cstddef>
#include <cstdint>

namespace lumvek::sim {

// Transforms the leading samples of the row, a multiple of 64, with AVX-512
// (VBMI) and returns how many; the caller does the rest (from that even
// place on). 0 when the processor lacks the instructions. With `reversed`,
// sample x lands at to[width - 1 - x].
[[nodiscard]] size_t transformRow8Wide(const uint8_t* from, uint8_t* to, size_t width, const uint8_t* even,
                                       const uint8_t* odd, bool reversed);

} // namespace lumvek::sim
