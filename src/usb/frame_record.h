#pragma once
// What the frame transfer thread hands to the controller's frame reads: the
// caller fills destination, capacity and (for whole-frame reads) expected
// size; the header read fills the header copy and the frame tag.
#include <array>
#include <cstdint>

#include "usb/controller_protocol.h"

namespace lumvek {

struct FrameRecord {
    std::array<uint8_t, kFrameHeaderBytes> header{};
    uint32_t headerWord = 0;        // copy of the frame tag
    uint8_t* destination = nullptr;  // where the pixel data goes
    uint32_t capacity = 0;           // bytes at destination
    // Bytes of a whole frame (the window and depth give it): what endpoint
    // 0x83 must deliver, and the least a frame header may announce (0: unchecked).
    uint32_t expectedSize = 0;

    [[nodiscard]] uint32_t pixelDataBytes() const;
};

} // namespace lumvek
