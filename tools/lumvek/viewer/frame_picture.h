#pragma once
// A processed frame of any colour mode as the viewer shows it: 32-bit
// pixels in the layout of a cairo RGB24 surface (blue, green, red, unused
// byte in memory on little-endian machines), and the histogram of its
// brightness. Plain C++: no toolkit here.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumvek::viewer {

inline constexpr int kHistogramBins = 256;

struct Histogram {
    std::array<uint32_t, kHistogramBins> bins{};
    uint64_t samples = 0;
    // The mean brightness (0..255) the bins describe; 0 when empty.
    [[nodiscard]] double mean() const;
};

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // width x height, rows top-down, 0x00RRGGBB
    Histogram histogram;            // of every kHistogramStep-th pixel of every kHistogramStep-th row
};

// The mean brightness of every pixel of `picture` (0..255), as the histogram
// would give it with all pixels counted.
[[nodiscard]] double meanBrightness(const Picture& picture);

// Pixels taken for the histogram: every 4th of every 4th row is plenty to
// see exposure and is cheap enough at the camera's rate.
inline constexpr int kHistogramStep = 4;

// Bytes of one row of an SDK frame: width x bytes per pixel rounded up to 4.
[[nodiscard]] size_t sdkStride(int width, int bitsPerPixel);

// Converts an SDK frame (rows top-down, `bitsPerPixel` 8, 16, 24, 32, 48 or
// 64; 16-bit samples carry the sensor's 10 bits) into `picture`. False when
// the sizes or the mode make no sense or `size` is too small.
[[nodiscard]] bool convertFrame(const uint8_t* frame, size_t size, int width, int height, int bitsPerPixel,
                                Picture& picture);

} // namespace lumvek::viewer
