#pragma once
// How a frame of each colour mode lies in the SDK's buffers (rows padded to
// a multiple of 4 bytes, which is also GStreamer's raw video layout) and
// without padding (NumPy arrays, first row on top).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace lumvek::tool {

struct FrameLayout {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;      // 8, 16, 24, 32, 48, 64
    int channels = 1;          // 1 (mono), 3 (BGR), 4 (BGR + fourth sample)
    int bytesPerSample = 1;    // 1 or 2 (16-bit samples, little-endian)

    [[nodiscard]] size_t rowBytes() const;     // without padding
    [[nodiscard]] size_t sdkStride() const;    // rounded up to 4 bytes
    [[nodiscard]] size_t sdkBytes() const;     // what the SDK's copy needs
    [[nodiscard]] size_t arrayBytes() const;   // height x rowBytes
    // (height, width) for one channel, (height, width, channels) otherwise.
    [[nodiscard]] std::vector<size_t> shape() const;
};

// nullopt for a colour mode the SDK does not have or a negative size.
[[nodiscard]] std::optional<FrameLayout> frameLayout(int width, int height, int bitsPerPixel);

// Copies the rows of an SDK buffer (sdkStride apart) into `out` without
// padding. `in` must hold sdkBytes(), `out` arrayBytes().
void removeRowPadding(const FrameLayout& layout, const uint8_t* in, uint8_t* out);

} // namespace lumvek::tool
