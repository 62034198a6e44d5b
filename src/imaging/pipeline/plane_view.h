#pragma once
// A borrowed view of pixel rows: what every pipeline kernel works on. Rows
// are `stride` bytes apart, pixels `bytesPerPixel` bytes apart; 16-bit
// samples are little-endian words (the buffers are 4-byte aligned per row).
#include <cstdint>

#include "imaging/image_buffer.h"

namespace lumvek {

struct PlaneView {
    uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    int bytesPerPixel = 0;

    [[nodiscard]] bool empty() const { return data == nullptr || width <= 0 || height <= 0; }
    [[nodiscard]] uint8_t* row(int y) const { return data + static_cast<std::ptrdiff_t>(y) * stride; }
    [[nodiscard]] uint16_t* row16(int y) const { return reinterpret_cast<uint16_t*>(row(y)); }
};

[[nodiscard]] inline PlaneView viewOf(ImageBuffer& buffer) {
    return PlaneView{buffer.pixels(), buffer.width(), buffer.height(), buffer.stride(), buffer.bytesPerPixel()};
}
[[nodiscard]] inline PlaneView viewOf(const ImageBuffer& buffer) {
    return PlaneView{const_cast<uint8_t*>(buffer.pixels()), buffer.width(), buffer.height(), buffer.stride(),
                     buffer.bytesPerPixel()};
}

// The four sample layouts every tone operation has a member for.
enum class SampleLayout { Mono8, Mono16, Colour8, Colour16 };

// Layout of a buffer of the given bytes per pixel: 1 -> Mono8, 2 -> Mono16,
// 3 or 4 -> Colour8, 6 or 8 -> Colour16. Returns false for any other depth.
[[nodiscard]] inline bool layoutFor(int bytesPerPixel, SampleLayout& layout) {
    switch (bytesPerPixel) {
    case 1: layout = SampleLayout::Mono8; return true;
    case 2: layout = SampleLayout::Mono16; return true;
    case 3:
    case 4: layout = SampleLayout::Colour8; return true;
    case 6:
    case 8: layout = SampleLayout::Colour16; return true;
    default: return false;
    }
}

[[nodiscard]] inline bool isWide(SampleLayout layout) {
    return layout == SampleLayout::Mono16 || layout == SampleLayout::Colour16;
}

} // namespace lumvek
