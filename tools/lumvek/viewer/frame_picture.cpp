#include "frame_picture.h"

namespace lumvek::viewer {

namespace {
// 16-bit samples hold the sensor's 10 bits; 48/64-bit colour is 16 bits wide.
constexpr int kMonoSixteenShift = 2;
constexpr int kColourSixteenShift = 8;

// Rec. 601 luma weights in 1/256.
constexpr int kLumaRed = 77;
constexpr int kLumaGreen = 150;
constexpr int kLumaBlue = 29;

struct Rgb {
    uint8_t r, g, b;
};

inline uint16_t sample16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline Rgb pixelAt(const uint8_t* p, int bitsPerPixel) {
    switch (bitsPerPixel) {
    case 8: return {p[0], p[0], p[0]};
    case 16: {
        const int v = sample16(p) >> kMonoSixteenShift;
        const auto grey = static_cast<uint8_t>(v > 255 ? 255 : v);
        return {grey, grey, grey};
    }
    case 24:
    case 32: return {p[2], p[1], p[0]};
    default:  // 48, 64
        return {static_cast<uint8_t>(sample16(p + 4) >> kColourSixteenShift),
                static_cast<uint8_t>(sample16(p + 2) >> kColourSixteenShift),
                static_cast<uint8_t>(sample16(p) >> kColourSixteenShift)};
    }
}

inline int luma(Rgb c) {
    return (kLumaRed * c.r + kLumaGreen * c.g + kLumaBlue * c.b) >> 8;
}
} // namespace

double Histogram::mean() const {
    if (samples == 0) return 0;
    double sum = 0;
    for (int i = 0; i < kHistogramBins; ++i) sum += static_cast<double>(bins[static_cast<size_t>(i)]) * i;
    return sum / static_cast<double>(samples);
}

size_t sdkStride(int width, int bitsPerPixel) {
    return (static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel / 8) + 3) & ~size_t{3};
}

bool convertFrame(const uint8_t* frame, size_t size, int width, int height, int bitsPerPixel, Picture& picture) {
    const bool knownMode = bitsPerPixel == 8 || bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32 ||
                           bitsPerPixel == 48 || bitsPerPixel == 64;
    if (!knownMode || width <= 0 || height <= 0 || frame == nullptr) return false;
    const size_t stride = sdkStride(width, bitsPerPixel);
    if (size < stride * static_cast<size_t>(height)) return false;
    const int bytes = bitsPerPixel / 8;
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    picture.histogram = {};
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = frame + stride * static_cast<size_t>(y);
        uint32_t* out = picture.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
        const bool sampledRow = y % kHistogramStep == 0;
        for (int x = 0; x < width; ++x) {
            const Rgb c = pixelAt(row + static_cast<size_t>(x) * static_cast<size_t>(bytes), bitsPerPixel);
            out[x] = static_cast<uint32_t>(c.r) << 16 | static_cast<uint32_t>(c.g) << 8 | c.b;
            if (sampledRow && x % kHistogramStep == 0) {
                const int l = luma(c);
                ++picture.histogram.bins[static_cast<size_t>(l)];
                ++picture.histogram.samples;
            }
        }
    }
    return true;
}

double meanBrightness(const Picture& picture) {
    if (picture.pixels.empty()) return 0;
    uint64_t sum = 0;
    for (const uint32_t pixel : picture.pixels) {
        sum += static_cast<uint64_t>(luma({static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8),
                                           static_cast<uint8_t>(pixel)}));
    }
    return static_cast<double>(sum) / static_cast<double>(picture.pixels.size());
}

} // namespace lumvek::viewer
