#include <algorithm>
#include <array>
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

// The chart: a ramp band, a band of colour patches, a band of grey steps,
// and a white square that steps right each frame. The patches carry the
// R13's colour filter as the picture shows it (the SDK's default Bayer
// mode): blue at the top-left sample, then green; the next row green, red.
struct ChartLayout {
    uint32_t band, side, squareX, squareY;
    ChartLayout(uint32_t w, uint32_t h, uint32_t frame)
        : band(std::max<uint32_t>(1, h / 3)),
          side(std::max<uint32_t>(1, std::min(band / 2, w / 8))),
          squareX((frame * kMovingStepPixels) % std::max<uint32_t>(1, w)),
          squareY(band + band / 4) {}
    // Rows of one kind are equal outside the square: 0 ramp, 1 and 2 the
    // patches on even and odd rows, 3 grey steps.
    [[nodiscard]] int rowKind(uint32_t y) const {
        if (y < band) return 0;
        if (y < 2 * band) return 1 + static_cast<int>(y % 2);
        return 3;
    }
};

// Level of one sample of the chart outside the moving square.
double chartLevel(uint32_t x, uint32_t y, uint32_t w, const ChartLayout& layout) {
    switch (layout.rowKind(y)) {
    case 0:
        return w > 1 ? static_cast<double>(x) / (w - 1) : 0.0;
    case 1:
    case 2: {
        const Rgb& patch = kPatches[std::min<size_t>(x * std::size(kPatches) / std::max<uint32_t>(1, w), 5)];
        const bool evenRow = (y % 2) == 0;
        const bool evenColumn = (x % 2) == 0;
        if (evenRow && evenColumn) return patch.b;
        if (!evenRow && !evenColumn) return patch.r;
        return patch.g;
    }
    default: {
        const uint32_t step = std::min(kGreySteps - 1, x * kGreySteps / std::max<uint32_t>(1, w));
        return static_cast<double>(step) / (kGreySteps - 1);
    }
    }
}

// The first row of each kind is computed sample by sample, the others are
// copies of it; the square goes on top.
void renderChart(uint32_t frame, const FrameGeometry& g, std::span<uint8_t> out) {
    const ChartLayout layout(g.width, g.height, frame);
    const size_t rowBytes = size_t{g.width} * g.bytesPerSample;
    std::array<int64_t, 4> firstRowOfKind{-1, -1, -1, -1};
    for (uint32_t y = 0; y < g.height; ++y) {
        int64_t& first = firstRowOfKind[static_cast<size_t>(layout.rowKind(y))];
        if (first >= 0) {
            std::memcpy(out.data() + y * rowBytes, out.data() + static_cast<size_t>(first) * rowBytes, rowBytes);
            continue;
        }
        first = y;
        for (uint32_t x = 0; x < g.width; ++x) {
            putSample(out, size_t{y} * g.width + x, g.bytesPerSample, chartLevel(x, y, g.width, layout));
        }
    }
    const uint32_t squareEndY = std::min<uint32_t>(g.height, layout.squareY + layout.side);
    const uint32_t squareEndX = std::min<uint32_t>(g.width, layout.squareX + layout.side);
    for (uint32_t y = layout.squareY; y < squareEndY; ++y) {
        for (uint32_t x = layout.squareX; x < squareEndX; ++x) {
            putSample(out, size_t{y} * g.width + x, g.bytesPerSample, 1.0);
        }
    }
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
            renderChart(frame, g, out);
            return;
        case Pattern::Still:
            renderChart(0, g, out);
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
    else if (name == "still") pattern = Pattern::Still;
    else if (name == "ramp") pattern = Pattern::Ramp;
    else if (name == "black") pattern = Pattern::Black;
    else if (name == "white") pattern = Pattern::White;
    else return false;
    return true;
}

} // namespace lumvek::sim
