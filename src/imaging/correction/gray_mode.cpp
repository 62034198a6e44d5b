#include "imaging/correction/gray_mode.h"

#include <algorithm>

#include "imaging/pipeline/row_bands.h"

namespace lumvek {

namespace {

constexpr int kUnity = 128;

bool isRaw(const PlaneView& raw) {
    return !raw.empty() && (raw.bytesPerPixel == 1 || raw.bytesPerPixel == 2);
}

int32_t levelled(int32_t v, int gain, int offset, int32_t maxValue) {
    return std::clamp(v * gain / kUnity + offset, 0, maxValue);
}

template <typename Sample>
void gainOffsetRowsReference(const PlaneView& raw, int mode, const GrayLevels& levels, int y0, int y1) {
    constexpr int32_t kMax = sizeof(Sample) == 1 ? 255 : 65535;
    for (int y = y0; y < y1; ++y) {
        auto* row = reinterpret_cast<Sample*>(raw.row(y));
        for (int x = 0; x < raw.width; ++x) {
            const GrayCell cell = grayCellAt(mode, y, x);
            row[x] = static_cast<Sample>(levelled(row[x], levels.gain[cell], levels.offset[cell], kMax));
        }
    }
}

// 8-bit: one 256-entry table per cell, made from the same formula.
void gainOffsetRows8(const PlaneView& raw, int mode, const uint8_t (*tables)[256], int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
        uint8_t* row = raw.row(y);
        const uint8_t* even = tables[grayCellAt(mode, y, 0)];
        const uint8_t* odd = tables[grayCellAt(mode, y, 1)];
        int x = 0;
        for (; x + 1 < raw.width; x += 2) {
            row[x] = even[row[x]];
            row[x + 1] = odd[row[x + 1]];
        }
        if (x < raw.width) {
            row[x] = even[row[x]];
        }
    }
}

void gainOffsetRows16(const PlaneView& raw, int mode, const GrayLevels& levels, int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
        uint16_t* row = raw.row16(y);
        const GrayCell even = grayCellAt(mode, y, 0);
        const GrayCell odd = grayCellAt(mode, y, 1);
        const int gains[2] = {levels.gain[even], levels.gain[odd]};
        const int offsets[2] = {levels.offset[even], levels.offset[odd]};
        for (int x = 0; x < raw.width; ++x) {
            row[x] = static_cast<uint16_t>(levelled(row[x], gains[x & 1], offsets[x & 1], 65535));
        }
    }
}

// Gains and offsets come from the settings record: keep them in the ranges
// their setters accept, so no product can overflow.
GrayLevels sanitised(const GrayLevels& levels) {
    GrayLevels s;
    for (size_t i = 0; i < 4; ++i) {
        s.gain[i] = std::clamp(levels.gain[i], 0, 255);
        s.offset[i] = std::clamp(levels.offset[i], -255, 255);
    }
    return s;
}

template <typename Sample>
void luminanceRows(const PlaneView& raw, const PlaneView& colour, int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
        auto* row = reinterpret_cast<Sample*>(raw.row(y));
        const uint8_t* px = colour.row(y);
        for (int x = 0; x < raw.width; ++x, px += colour.bytesPerPixel) {
            const uint32_t luminance = (59u * px[1] + 30u * px[2] + 11u * px[0]) / 100u;
            row[x] = static_cast<Sample>(std::min(luminance, 255u));
        }
    }
}

bool luminancePairs(const PlaneView& raw, const PlaneView& colour) {
    return !raw.empty() && !colour.empty() && raw.bytesPerPixel == 1 &&
           (colour.bytesPerPixel == 3 || colour.bytesPerPixel == 4) && raw.width == colour.width &&
           raw.height == colour.height;
}

} // namespace

bool GrayLevels::allUnity() const {
    return std::all_of(gain.begin(), gain.end(), [](int g) { return g == kUnity; }) &&
           std::all_of(offset.begin(), offset.end(), [](int o) { return o == kUnity; });
}

void measureGrayGains(const PlaneView& raw, int bayerMode, std::array<int, 4>& gains) {
    if (!isRaw(raw)) {
        return;
    }
    const uint32_t maxValue = raw.bytesPerPixel == 1 ? 255 : 65535;
    std::array<uint64_t, 4> sums{};
    std::array<uint64_t, 4> counts{};
    for (int y = 0; y < raw.height; ++y) {
        for (int x = 0; x < raw.width; ++x) {
            const uint32_t v = raw.bytesPerPixel == 1 ? raw.row(y)[x] : raw.row16(y)[x];
            if (v == 0 || v == maxValue) {
                continue;
            }
            const GrayCell cell = grayCellAt(bayerMode, y, x);
            sums[cell] += v;
            ++counts[cell];
        }
    }
    std::array<float, 4> means{};
    for (size_t i = 0; i < 4; ++i) {
        means[i] = counts[i] == 0 ? 0.0f : static_cast<float>(sums[i]) / static_cast<float>(counts[i]);
    }
    if (means[kGrayG1] == 0.0f) {
        return;  // no reference level: every gain stays
    }
    auto gainFor = [&](GrayCell cell) {
        if (means[cell] == 0.0f) {
            return;
        }
        const float g = means[kGrayG1] / means[cell] * 128.0f;
        gains[cell] = static_cast<int>(std::min(g, 255.0f));
    };
    gainFor(kGrayR);
    gains[kGrayG1] = kUnity;
    gainFor(kGrayG2);
    gainFor(kGrayB);
}

bool grayGainOffsetReference(const PlaneView& raw, int bayerMode, const GrayLevels& levels) {
    if (!isRaw(raw)) {
        return false;
    }
    const GrayLevels s = sanitised(levels);
    if (raw.bytesPerPixel == 1) {
        gainOffsetRowsReference<uint8_t>(raw, bayerMode, s, 0, raw.height);
    } else {
        gainOffsetRowsReference<uint16_t>(raw, bayerMode, s, 0, raw.height);
    }
    return true;
}

bool grayGainOffsetOptimised(const PlaneView& raw, int bayerMode, const GrayLevels& levels, RowBands& bands) {
    if (!isRaw(raw)) {
        return false;
    }
    const GrayLevels s = sanitised(levels);
    if (raw.bytesPerPixel == 2) {
        bands.run(0, raw.height, [&](int y0, int y1) { gainOffsetRows16(raw, bayerMode, s, y0, y1); });
        return true;
    }
    uint8_t tables[4][256];
    for (int cell = 0; cell < 4; ++cell) {
        for (int v = 0; v < 256; ++v) {
            tables[cell][v] = static_cast<uint8_t>(levelled(v, s.gain[static_cast<size_t>(cell)],
                                                            s.offset[static_cast<size_t>(cell)], 255));
        }
    }
    bands.run(0, raw.height, [&](int y0, int y1) { gainOffsetRows8(raw, bayerMode, tables, y0, y1); });
    return true;
}

bool grayLuminanceReference(const PlaneView& raw, const PlaneView& colour) {
    if (!luminancePairs(raw, colour)) {
        return false;
    }
    luminanceRows<uint8_t>(raw, colour, 0, raw.height);
    return true;
}

bool grayLuminanceOptimised(const PlaneView& raw, const PlaneView& colour, RowBands& bands) {
    if (!luminancePairs(raw, colour)) {
        return false;
    }
    bands.run(0, raw.height, [&](int y0, int y1) { luminanceRows<uint8_t>(raw, colour, y0, y1); });
    return true;
}

} // namespace lumvek
