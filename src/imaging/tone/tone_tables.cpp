#include "imaging/tone/tone_tables.h"

#include <algorithm>
#include <cmath>

#include "imaging/pipeline/kernel_path.h"
#include "imaging/pipeline/row_bands.h"
#include "imaging/tone/sample_rows.h"

namespace lumvek {

namespace {

constexpr int32_t maxFor(bool wide) { return wide ? 65535 : 255; }

bool isWideImage(const PlaneView& image, bool& wide) {
    SampleLayout layout = SampleLayout::Mono8;
    if (image.empty() || !layoutFor(image.bytesPerPixel, layout)) {
        return false;
    }
    wide = isWide(layout);
    return true;
}

template <typename Sample>
void applyRows(const PlaneView& image, const ToneTable& table, int y0, int y1) {
    const uint16_t* lut = table.data();
    forEachSample<Sample>(image, y0, y1, [lut](Sample& s) { s = static_cast<Sample>(lut[s]); });
}

// The 16-bit table by gathers where the processor can, else sample by sample.
void applyRows16(const PlaneView& image, const ToneTable& table, int y0, int y1) {
    if (!detail::lookupRows16Avx512(image, table.data(), y0, y1)) {
        applyRows<uint16_t>(image, table, y0, y1);
    }
}

// The 8-bit table narrowed to bytes: 32 samples at a time where the
// processor can (64 with AVX-512 VBMI, 16 with SSE4.1), else sample by sample.
void applyRows8(const PlaneView& image, const uint8_t* lut, int y0, int y1) {
    if (!detail::lookupRows8Avx512(image, lut, y0, y1) && !detail::lookupRows8Avx2(image, lut, y0, y1) &&
        !detail::lookupRows8Sse41(image, lut, y0, y1)) {
        forEachSample<uint8_t>(image, y0, y1, [lut](uint8_t& s) { s = lut[s]; });
    }
}

// An 8-bit table's entries all fit a byte.
void narrowTable(const ToneTable& table, uint8_t (&narrow)[256]) {
    for (size_t i = 0; i < 256; ++i) {
        narrow[i] = static_cast<uint8_t>(table[i]);
    }
}

bool applyReference(const PlaneView& image, const ToneTable& table, bool wide) {
    if (wide) {
        applyRows<uint16_t>(image, table, 0, image.height);
    } else {
        applyRows<uint8_t>(image, table, 0, image.height);
    }
    return true;
}

} // namespace

ToneTable gammaTable(int gamma, bool wide) {
    const int32_t maxValue = maxFor(wide);
    ToneTable table(static_cast<size_t>(maxValue) + 1);
    const double exponent = 1.0 / (std::clamp(gamma, 0, 200) / 100.0);
    table[0] = 0;
    for (int32_t i = 1; i <= maxValue; ++i) {
        const double v = std::pow(static_cast<double>(i) / maxValue, exponent) * maxValue;
        table[static_cast<size_t>(i)] = static_cast<uint16_t>(std::min<double>(maxValue, std::trunc(v)));
    }
    return table;
}

ToneTable contrastTable(int contrast, bool wide) {
    const int32_t maxValue = maxFor(wide);
    const int32_t c = std::clamp(contrast, -127, 127) * (wide ? 256 : 1);
    const double m = wide ? 65536.0 : 256.0;
    const double h = wide ? 32768.0 : 128.0;
    ToneTable table(static_cast<size_t>(maxValue) + 1);
    for (int32_t v = 0; v <= maxValue; ++v) {
        int32_t out;
        if (v < c) {
            out = 0;
        } else if (v > maxValue - c) {
            out = maxValue;
        } else {
            out = static_cast<int32_t>((m / ((h - c) * 2)) * (v - c));
        }
        table[static_cast<size_t>(v)] = static_cast<uint16_t>(std::clamp(out, 0, maxValue));
    }
    return table;
}

float brightnessFactor(int brightness) {
    const int b = std::clamp(brightness, -255, 255);
    const double factor = b > 0 ? 1 + b * 0.0392156862745098 : 1 - std::abs(b) * 0.00392156862745098;
    return static_cast<float>(factor);
}

ToneTable brightnessTable(int brightness, bool wide) {
    const int32_t maxValue = maxFor(wide);
    const float factor = brightnessFactor(brightness);
    ToneTable table(static_cast<size_t>(maxValue) + 1);
    for (int32_t v = 0; v <= maxValue; ++v) {
        table[static_cast<size_t>(v)] = static_cast<uint16_t>(brightenSample(v, factor, maxValue));
    }
    return table;
}

std::optional<ByteBrightness> byteBrightnessOf(float factor) {
    constexpr int64_t kOne = int64_t{1} << 16;
    // Every v bounds m: (v m) >> 16 must be the brightened value g, or at
    // least 255 where g is 255 (the lanes' unsigned pack limits it).
    int64_t lowest = 0;
    int64_t highest = int64_t{1} << 32;
    for (int32_t v = 1; v <= 255; ++v) {
        const int64_t g = brightenSample(v, factor, 255);
        lowest = std::max(lowest, (g * kOne + v - 1) / v);
        if (g < 255) {
            highest = std::min(highest, ((g + 1) * kOne + v - 1) / v - 1);
        }
    }
    if (lowest > highest || lowest >= (int64_t{1} << 20)) {
        return std::nullopt;
    }
    for (int64_t v = 0; v <= 255; ++v) {
        if (std::min<int64_t>((v * lowest) >> 16, 255) != brightenSample(static_cast<int32_t>(v), factor, 255)) {
            return std::nullopt;
        }
    }
    return ByteBrightness{static_cast<uint16_t>(lowest >> 16), static_cast<uint16_t>(lowest & 0xFFFF)};
}

ToneTable composeTables(const ToneTable& inner, const ToneTable& outer) {
    ToneTable table(inner.size());
    for (size_t v = 0; v < inner.size(); ++v) {
        table[v] = outer[inner[v]];
    }
    return table;
}

bool brightnessOptimised8(const PlaneView& image, int brightness, RowBands& bands) {
    if (image.empty() || !(cpuFeatures().avx2 || cpuFeatures().sse41) ||
        (image.bytesPerPixel != 1 && image.bytesPerPixel != 3 && image.bytesPerPixel != 4)) {
        return false;
    }
    const float factor = brightnessFactor(brightness);
    const std::optional<ByteBrightness> multiplier = byteBrightnessOf(factor);
    bands.run(0, image.height, [&](int y0, int y1) {
        (void)detail::brightenRows8Avx2(image, factor, y0, y1, multiplier ? &*multiplier : nullptr);
    });
    return true;
}

bool gammaReference(const PlaneView& image, int gamma) {
    bool wide = false;
    return isWideImage(image, wide) && applyReference(image, gammaTable(gamma, wide), wide);
}

bool contrastReference(const PlaneView& image, int contrast) {
    bool wide = false;
    return isWideImage(image, wide) && applyReference(image, contrastTable(contrast, wide), wide);
}

bool brightnessReference(const PlaneView& image, int brightness) {
    bool wide = false;
    if (!isWideImage(image, wide)) {
        return false;
    }
    const float factor = brightnessFactor(brightness);
    if (wide) {
        forEachSample<uint16_t>(image, 0, image.height, [factor](uint16_t& s) {
            s = static_cast<uint16_t>(brightenSample(s, factor, 65535));
        });
    } else {
        forEachSample<uint8_t>(image, 0, image.height, [factor](uint8_t& s) {
            s = static_cast<uint8_t>(brightenSample(s, factor, 255));
        });
    }
    return true;
}

void applyToneTableRows(const PlaneView& image, const ToneTable& table, int y0, int y1) {
    bool wide = false;
    if (!isWideImage(image, wide) || table.size() != static_cast<size_t>(maxFor(wide)) + 1) {
        return;
    }
    if (wide) {
        applyRows16(image, table, y0, y1);
        return;
    }
    uint8_t narrow[256];
    narrowTable(table, narrow);
    applyRows8(image, narrow, y0, y1);
}

bool applyToneTable(const PlaneView& image, const ToneTable& table, RowBands& bands) {
    bool wide = false;
    if (!isWideImage(image, wide) || table.size() != static_cast<size_t>(maxFor(wide)) + 1) {
        return false;
    }
    if (wide) {
        bands.run(0, image.height, [&](int y0, int y1) { applyRows16(image, table, y0, y1); });
        return true;
    }
    uint8_t narrow[256];
    narrowTable(table, narrow);
    bands.run(0, image.height, [&](int y0, int y1) { applyRows8(image, narrow, y0, y1); });
    return true;
}

} // namespace lumvek
