#pragma once
// Writing a block of serial-ROM bytes back: only the bytes that differ from
// the ROM's known contents are written. Each ROM write costs a write cycle of
// the part (14 ms) and wears it, and a block written back unchanged is the
// common case (a camera opened and released without changing a value).
#include <cstdint>
#include <span>

namespace lumvek {

class CameraDevice;

struct SromBlockWrite {
    int written = 0;  // bytes written and verified
    int failed = 0;   // bytes whose write failed
};

// Writes after[i] to address + i wherever it differs from before[i] (the
// ROM's contents as last read or written). Only the shorter span's length
// is compared; a byte whose write fails is counted and the rest still go.
SromBlockWrite writeChangedSromBytes(CameraDevice& device, uint16_t address, std::span<const uint8_t> before,
                                     std::span<const uint8_t> after);

} // namespace lumvek
