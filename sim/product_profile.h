#pragma once
// What the simulated camera needs to know of each product: full sensor size,
// pixel clock, which FPGA registers carry the capture window, and whether it
// sends whole frames on endpoint 0x83 instead of headered frames on 0x81.
#include <cstdint>

namespace lumvek::sim {

struct ProductProfile {
    uint16_t productId = 0;
    uint32_t fullWidth = 0;
    uint32_t fullHeight = 0;
    uint32_t clockKHz = 0;
    // Width 0x9C/0x9D, height 0x9A/0x9B, sample depth 0xA3.
    bool alternateWindowRegisters = false;
    bool wholeFrameEndpoint = false;        // endpoint 0x83
    uint32_t samplesPerPixel = 1;           // 3: the converter sends three samples per pixel
};

// The product's row; an unknown product gets a generic 1280 x 1024 camera.
[[nodiscard]] ProductProfile productProfile(uint16_t productId);

} // namespace lumvek::sim
