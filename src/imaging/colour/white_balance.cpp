#include "imaging/colour/white_balance.h"

#include <algorithm>
#include <mutex>

#include "imaging/colour/bayer_pattern.h"
#include "imaging/pipeline/row_bands.h"

namespace lumvek {

namespace {

template <typename Sample>
ColourSums sumRowsReference(const PlaneView& raw, int mode, int y0, int y1) {
    ColourSums s;
    for (int y = y0; y < y1; ++y) {
        const auto* row = reinterpret_cast<const Sample*>(raw.row(y));
        for (int x = 0; x < raw.width; ++x) {
            switch (bayerColourAt(mode, y, x)) {
            case BayerColour::Red: s.red += row[x]; ++s.redCount; break;
            case BayerColour::Green: s.green += row[x]; ++s.greenCount; break;
            case BayerColour::Blue: s.blue += row[x]; ++s.blueCount; break;
            }
        }
    }
    return s;
}

// Even and odd columns of each row summed apart, then given their colours.
template <typename Sample>
ColourSums sumRowsPaired(const PlaneView& raw, int mode, int y0, int y1) {
    ColourSums s;
    const uint64_t evenCount = static_cast<uint64_t>(raw.width + 1) / 2;
    const uint64_t oddCount = static_cast<uint64_t>(raw.width) / 2;
    for (int y = y0; y < y1; ++y) {
        const auto* row = reinterpret_cast<const Sample*>(raw.row(y));
        uint32_t even = 0;
        uint32_t odd = 0;  // at most 1168 samples of 65535 per row half: fits 32 bits
        int x = 0;
        for (; x + 1 < raw.width; x += 2) {
            even += row[x];
            odd += row[x + 1];
        }
        if (x < raw.width) {
            even += row[x];
        }
        const BayerColour evenColour = bayerColourAt(mode, y, 0);
        const BayerColour oddColour = bayerColourAt(mode, y, 1);
        auto add = [&s](BayerColour colour, uint64_t sum, uint64_t count) {
            switch (colour) {
            case BayerColour::Red: s.red += sum; s.redCount += count; break;
            case BayerColour::Green: s.green += sum; s.greenCount += count; break;
            case BayerColour::Blue: s.blue += sum; s.blueCount += count; break;
            }
        };
        add(evenColour, even, evenCount);
        add(oddColour, odd, oddCount);
    }
    return s;
}

void accumulate(ColourSums& total, const ColourSums& part) {
    total.red += part.red;
    total.green += part.green;
    total.blue += part.blue;
    total.redCount += part.redCount;
    total.greenCount += part.greenCount;
    total.blueCount += part.blueCount;
}

} // namespace

ColourSums sumColoursReference(const PlaneView& raw, int bayerMode) {
    if (raw.empty()) {
        return {};
    }
    return raw.bytesPerPixel == 2 ? sumRowsReference<uint16_t>(raw, bayerMode, 0, raw.height)
                                  : sumRowsReference<uint8_t>(raw, bayerMode, 0, raw.height);
}

ColourSums sumColoursOptimised(const PlaneView& raw, int bayerMode, RowBands& bands) {
    ColourSums total;
    if (raw.empty()) {
        return total;
    }
    // Row halves of more than 65536 samples could carry past 32 bits.
    if (raw.width > 131072) {
        return sumColoursReference(raw, bayerMode);
    }
    std::mutex totalMutex;  // guards total while bands finish
    bands.run(0, raw.height, [&](int y0, int y1) {
        const ColourSums part = raw.bytesPerPixel == 2 ? sumRowsPaired<uint16_t>(raw, bayerMode, y0, y1)
                                                       : sumRowsPaired<uint8_t>(raw, bayerMode, y0, y1);
        std::lock_guard lock(totalMutex);
        accumulate(total, part);
    });
    return total;
}

bool whiteBalanceGainsFrom(const ColourSums& sums, WhiteBalanceGains& gains) {
    if (sums.redCount == 0 || sums.greenCount == 0 || sums.blueCount == 0 || sums.red == 0 || sums.green == 0 ||
        sums.blue == 0) {
        return false;
    }
    const double meanRed = static_cast<double>(sums.red) / static_cast<double>(sums.redCount);
    const double meanGreen = static_cast<double>(sums.green) / static_cast<double>(sums.greenCount);
    const double meanBlue = static_cast<double>(sums.blue) / static_cast<double>(sums.blueCount);
    const double s = meanGreen + meanRed + meanBlue;
    const double n = s / meanGreen / 3;
    // Gains above 400 are limited; the quotients are finite and positive here.
    const double red = std::min(s / meanRed / 3 * 100 / n, static_cast<double>(kMaxBayerGain));
    const double blue = std::min(s / meanBlue / 3 * 100 / n, static_cast<double>(kMaxBayerGain));
    gains.red = static_cast<int>(red);
    gains.green = 100;
    gains.blue = static_cast<int>(blue);
    return true;
}

} // namespace lumvek
