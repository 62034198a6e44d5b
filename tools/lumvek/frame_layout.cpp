#include "frame_layout.h"

#include <cstring>
#include <iterator>

#include "LumvekSdk.h"

namespace lumvek::tool {

namespace {
constexpr size_t kRowAlignBytes = 4;

struct ModeShape {
    int bits;
    int channels;
    int bytesPerSample;
};

// The six colour modes: 8 and 16 are mono; 24 and 48 are BGR; 32 and 64
// carry a fourth sample after blue, green and red.
constexpr ModeShape kModes[] = {
    {LUMVEK_COLOR_MODE_MONO8, 1, 1}, {LUMVEK_COLOR_MODE_MONO16, 1, 2}, {LUMVEK_COLOR_MODE_BGR24, 3, 1},
    {LUMVEK_COLOR_MODE_BGRX32, 4, 1}, {LUMVEK_COLOR_MODE_BGR48, 3, 2}, {LUMVEK_COLOR_MODE_BGRX64, 4, 2},
};
static_assert(std::size(kModes) == LUMVEK_COLOR_MODE_COUNT);
} // namespace

size_t FrameLayout::rowBytes() const {
    return static_cast<size_t>(width) * channels * bytesPerSample;
}

size_t FrameLayout::sdkStride() const {
    return (rowBytes() + kRowAlignBytes - 1) / kRowAlignBytes * kRowAlignBytes;
}

size_t FrameLayout::sdkBytes() const {
    return sdkStride() * static_cast<size_t>(height);
}

size_t FrameLayout::arrayBytes() const {
    return rowBytes() * static_cast<size_t>(height);
}

std::vector<size_t> FrameLayout::shape() const {
    std::vector<size_t> dims{static_cast<size_t>(height), static_cast<size_t>(width)};
    if (channels > 1) {
        dims.push_back(static_cast<size_t>(channels));
    }
    return dims;
}

std::optional<FrameLayout> frameLayout(int width, int height, int bitsPerPixel) {
    if (width < 0 || height < 0) {
        return std::nullopt;
    }
    for (const ModeShape& mode : kModes) {
        if (mode.bits == bitsPerPixel) {
            return FrameLayout{width, height, bitsPerPixel, mode.channels, mode.bytesPerSample};
        }
    }
    return std::nullopt;
}

void removeRowPadding(const FrameLayout& layout, const uint8_t* in, uint8_t* out) {
    const size_t row = layout.rowBytes();
    const size_t stride = layout.sdkStride();
    if (row == stride) {
        std::memcpy(out, in, layout.arrayBytes());
        return;
    }
    for (int y = 0; y < layout.height; ++y) {
        std::memcpy(out + static_cast<size_t>(y) * row, in + static_cast<size_t>(y) * stride, row);
    }
}

} // namespace lumvek::tool
