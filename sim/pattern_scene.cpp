#include <algorithm>
#include <cstring>

#include "sim/scene.h"

namespace lumvek::sim {

namespace {
struct Rgb {
    double r, g, b;
};
constexpr Rgb kPatches[] = {{0.8, 0.1, 0.1}, {0.1, 0.8, 0.1}, {0.1, 0.1, 0.8},
                            {0.1, 0.7, 0.7}, {0.7, 0.1, 0.7}, {0.8, 0.8, 0.1}};
constexpr uint32_t kGreySteps = 8;
constexpr uint32_t kMovingStepPixels = 16;

void putSample(std::span<uint8_t> out, size_t index, uint32_t bytesPerSample, double level) {
    level = std::clamp(level, 0.0, 1.0);
    if (bytesPerSample == 1) {
        out[index] = static_cast<uint8_t>(level * 255.0 + 0.5);
    } else {
        const auto v = static_cast<uint16_t>(level * 65535.0 + 0.5);
        out[2 * index] = static_cast<uint8_t>(v);
        out[2 * index + 1] = static_cast<uint8_t>(v >> 8);
    }
}

// Level of one sample of the chart: RGGB mosaic for the colour patches.
double chartLevel(uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint32_t frame) {
    const uint32_t band = std::max<uint32_t>(1, h / 3);
    // The moving square: one band high, band wide, stepping right each frame.
    const uint32_t side = std::max<uint32_t>(1, std::min(band / 2, w / 8));
    const uint32_t squareX = (frame * kMovingStepPixels) % std::max<uint32_t>(1, w);
    const uint32_t squareY = band + band / 4;
    if (y >= squareY && y < squareY + side && x >= squareX && x < squareX + side) {
        return 1.0;
    }
    if (y < band) {
        return w > 1 ? static_cast<double>(x) / (w - 1) : 0.0;
    }
    if (y < 2 * band) {
        const Rgb& patch = kPatches[std::min<size_t>(x * std::size(kPatches) / std::max<uint32_t>(1, w), 5)];
        const bool evenRow = (y % 2) == 0;
        const bool evenColumn = (x % 2) == 0;
        if (evenRow && evenColumn) return patch.r;
        if (!evenRow && !evenColumn) return patch.b;
        return patch.g;
    }
    const uint32_t step = std::min(kGreySteps - 1, x * kGreySteps / std::max<uint32_t>(1, w));
    return static_cast<double>(step) / (kGreySteps - 1);
}

class PatternScene final : public Scene {
public:
    explicit PatternScene(Pattern pattern) : pattern_(pattern) {}

    void render(uint32_t frame, const FrameGeometry& g, std::span<uint8_t> out) const override {
        const size_t bytes = g.frameBytes();
        if (out.size() < bytes || bytes == 0) {
            return;
        }
        switch (pattern_) {
        case Pattern::Black:
            std::memset(out.data(), 0, bytes);
            return;
        case Pattern::White:
            std::memset(out.data(), 0xFF, bytes);
            return;
        case Pattern::Ramp:
            for (uint32_t x = 0; x < g.width; ++x) {
                putSample(out, x, g.bytesPerSample, g.width > 1 ? static_cast<double>(x) / (g.width - 1) : 0.0);
            }
            for (uint32_t y = 1; y < g.height; ++y) {
                const size_t row = size_t{g.width} * g.bytesPerSample;
                std::memcpy(out.data() + y * row, out.data(), row);
            }
            return;
        case Pattern::Chart:
            for (uint32_t y = 0; y < g.height; ++y) {
                for (uint32_t x = 0; x < g.width; ++x) {
                    putSample(out, size_t{y} * g.width + x, g.bytesPerSample,
                              chartLevel(x, y, g.width, g.height, frame));
                }
            }
            return;
        }
    }

    bool animated() const override { return pattern_ == Pattern::Chart; }

private:
    const Pattern pattern_;
};
} // namespace

std::unique_ptr<Scene> makePatternScene(Pattern pattern) {
    return std::make_unique<PatternScene>(pattern);
}

bool parsePattern(const std::string& name, Pattern& pattern) {
    if (name == "chart") pattern = Pattern::Chart;
    else if (name == "ramp") pattern = Pattern::Ramp;
    else if (name == "black") pattern = Pattern::Black;
    else if (name == "white") pattern = Pattern::White;
    else return false;
    return true;
}

} // namespace lumvek::sim
