#include "imaging/colour/hue_saturation.h"

#include "imaging/colour/hue_saturation_lanes.h"

#include <algorithm>

#include "imaging/pipeline/kernel_path.h"
#include "imaging/pipeline/row_bands.h"
#include "imaging/tone/tone_tables.h"

namespace lumvek {

namespace detail {
const int32_t kSextantMasks[12] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF,
                                   0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF};
const int32_t kSextantSteps[12] = {-1, +0x100, -0x10000, +1, -0x100, +0x10000,
                                   -1, +0x100, -0x10000, +1, -0x100, +0x10000};
const SextantBytes& sextantBytes() {
    static const SextantBytes bytes = [] {
        SextantBytes t;
        for (size_t c = 0; c < 3; ++c) {
            const int32_t unit = 1 << (8 * c);
            for (size_t index = 0; index < 12; ++index) {
                t.mask[c][index] = static_cast<int8_t>((kSextantMasks[index] & (0xFF * unit)) != 0 ? -1 : 0);
                const int32_t step = kSextantSteps[index];
                t.sign[c][index] = static_cast<int8_t>(step == unit ? 1 : step == -unit ? -1 : 0);
            }
        }
        return t;
    }();
    return bytes;
}
} // namespace detail

namespace {

constexpr int32_t kHueUnitsPerTurn = 1530;
constexpr int kWideBytesPerPixel = 6;  // 16-bit samples from here up
constexpr size_t kToneEntries = 256;
constexpr size_t kWideToneEntries = 65536;


constexpr int32_t grey(int32_t n) { return n * 0x010101; }

template <typename Sample, int kComponents>
void transformRow(const PlaneView& image, int hueOffset, const HueSaturationTables& tables, int y, int x0) {
    constexpr int kShift = sizeof(Sample) == 2 ? 8 : 0;
    auto* px = reinterpret_cast<Sample*>(image.row(y)) + static_cast<std::ptrdiff_t>(x0) * kComponents;
    for (int x = x0; x < image.width; ++x, px += kComponents) {
        const uint32_t u = hueSaturationPixel(px[0] >> kShift, px[1] >> kShift, px[2] >> kShift, hueOffset, tables);
        px[0] = static_cast<Sample>((u & 0xFF) << kShift);
        px[1] = static_cast<Sample>(((u >> 8) & 0xFF) << kShift);
        px[2] = static_cast<Sample>(((u >> 16) & 0xFF) << kShift);
        if constexpr (kComponents == 4) {
            px[3] = 0;
        }
    }
}

// The tone table on the first three samples of the pixels of row y from x0 on.
void toneTail(const PlaneView& image, const std::vector<uint16_t>& tone, int y, int x0) {
    const int components = image.bytesPerPixel / 2;
    auto* px = reinterpret_cast<uint16_t*>(image.row(y)) + static_cast<std::ptrdiff_t>(x0) * components;
    for (int x = x0; x < image.width; ++x, px += components) {
        for (int k = 0; k < 3; ++k) {
            px[k] = tone[px[k]];
        }
    }
}

template <typename Sample, int kComponents>
void transformRows(const PlaneView& image, int hueOffset, const HueSaturationTables& tables, int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
        transformRow<Sample, kComponents>(image, hueOffset, tables, y, 0);
    }
}

// The widest 8-pixel body the processor has: pixels [0, returned) of the row.
int vectorRow(uint8_t* row, int width, int bytesPerPixel, int hueOffset, const HueSaturationTables& tables,
              const HueToneBytes* tone) {
    return cpuFeatures().avx2 ? detail::hueSaturationRowAvx2(row, width, bytesPerPixel, hueOffset, tables, tone)
                              : detail::hueSaturationRowSse41(row, width, bytesPerPixel, hueOffset, tables, tone);
}

bool hasVectorRows() { return cpuFeatures().avx2 || cpuFeatures().sse41; }

template <typename Sample, int kComponents>
void transformRowsVector(const PlaneView& image, int hueOffset, const HueSaturationTables& tables, int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
        if (detail::hueSaturationRowAvx512(image.row(y), image.width, image.bytesPerPixel, hueOffset, tables,
                                           nullptr)) {
            continue;
        }
        const int done = vectorRow(image.row(y), image.width, image.bytesPerPixel, hueOffset, tables, nullptr);
        transformRow<Sample, kComponents>(image, hueOffset, tables, y, done);
    }
}

using RowsFn = void (*)(const PlaneView&, int, const HueSaturationTables&, int, int);

RowsFn vectorRowsFor(int bytesPerPixel) {
    switch (bytesPerPixel) {
    case 3: return transformRowsVector<uint8_t, 3>;
    case 4: return transformRowsVector<uint8_t, 4>;
    case 6: return transformRowsVector<uint16_t, 3>;
    case 8: return transformRowsVector<uint16_t, 4>;
    default: return nullptr;
    }
}

RowsFn rowsFor(int bytesPerPixel) {
    switch (bytesPerPixel) {
    case 3: return transformRows<uint8_t, 3>;
    case 4: return transformRows<uint8_t, 4>;
    case 6: return transformRows<uint16_t, 3>;
    case 8: return transformRows<uint16_t, 4>;
    default: return nullptr;
    }
}

} // namespace

int hueOffsetFor(int hueDegrees) {
    const int32_t l = (hueDegrees * 65536 / 360) & 0xFFFF;
    const int32_t t = (6 * l) >> 8;
    int32_t m = t % 512;
    if (m >= 256) {
        m -= 512;
    }
    const int32_t q = ((t + 256) >> 9) % 3;
    int32_t a = m + 510 * q;
    if (a < 0) {
        a += kHueUnitsPerTurn;
    } else if (a > kHueUnitsPerTurn - 1) {
        a -= kHueUnitsPerTurn;
    }
    return a;
}

HueSaturationTables::HueSaturationTables(int saturation) : saturation_(std::clamp(saturation, -255, 255)) {
    reciprocal_[0] = 0;  // never read: d = 0 takes no hue step
    for (int32_t d = 1; d < 256; ++d) {
        reciprocal_[static_cast<size_t>(d)] = 0xFF0000 / d;
    }
    for (int32_t d = 0; d < 256; ++d) {
        chroma_[static_cast<size_t>(d)] = ((saturation_ + 256) * 256 * d + 0x8000) >> 16;
    }
}

uint32_t hueSaturationPixel(int b, int g, int r, int a, const HueSaturationTables& tables) {
    const int32_t maxC = std::max({r, g, b});
    const int32_t minC = std::min({r, g, b});
    const int32_t d = maxC - minC;
    const int32_t lightness = maxC + minC;
    int32_t base;
    int32_t n;
    if (b > std::max(r, g)) {
        base = 5;
        n = r - g;
    } else if (r >= g) {
        base = 1;
        n = g - b;
    } else {
        base = 3;
        n = b - r;
    }
    if (n < 0) {
        base -= 1;
        n += d;
    }
    const int32_t k = std::min(std::min(lightness, 511 - lightness), tables.chroma(d));
    int32_t u = grey((lightness - k) >> 1);
    if (d != 0) {
        const int32_t v = ((n * tables.reciprocal(d) + 0x8000) >> 16) + a % 255;
        const int index = base + a / 255 + (v > 254 ? 1 : 0);
        const int32_t f = v < 255 ? v : v - 255;
        const int32_t w = ((lightness + k) >> 1) - ((lightness - k) >> 1);
        u = u + (grey(w) & detail::kSextantMasks[index]) + ((w * f + 128) >> 8) * detail::kSextantSteps[index];
    }
    return static_cast<uint32_t>(u) & 0xFFFFFF;
}

bool hueSaturationReference(const PlaneView& image, int hueOffset, const HueSaturationTables& tables) {
    const RowsFn rows = rowsFor(image.bytesPerPixel);
    if (rows == nullptr || image.empty()) {
        return false;
    }
    rows(image, hueOffset, tables, 0, image.height);
    return true;
}

void hueSaturationOptimisedRows(const PlaneView& image, int hueOffset, const HueSaturationTables& tables, int y0,
                                int y1) {
    const RowsFn rows = hasVectorRows() ? vectorRowsFor(image.bytesPerPixel) : rowsFor(image.bytesPerPixel);
    if (rows != nullptr && !image.empty()) {
        rows(image, hueOffset, tables, y0, y1);
    }
}

void hueSaturationToneRows(const PlaneView& image, int hueOffset, const HueSaturationTables& tables,
                           const std::vector<uint16_t>* tone, int y0, int y1) {
    if (tone == nullptr) {
        hueSaturationOptimisedRows(image, hueOffset, tables, y0, y1);
        return;
    }
    const bool wide = image.bytesPerPixel >= kWideBytesPerPixel;
    if (cpuFeatures().avx512vbmi && rowsFor(image.bytesPerPixel) != nullptr &&
        tone->size() == (wide ? kWideToneEntries : kToneEntries)) {
        const HueToneBytes bytes(*tone, wide);
        for (int y = y0; y < y1; ++y) {
            (void)detail::hueSaturationRowAvx512(image.row(y), image.width, image.bytesPerPixel, hueOffset, tables,
                                                 &bytes);
        }
        return;
    }
    if (hasVectorRows() && wide && rowsFor(image.bytesPerPixel) != nullptr && tone->size() == kWideToneEntries) {
        // 16-bit samples: the table pass would walk a 128 KiB table sample by
        // sample; the transform's results have 256 values, so the vector body
        // looks them up in its own lanes instead.
        const HueToneBytes bytes(*tone, wide);
        const bool quad = image.bytesPerPixel == 8;
        for (int y = y0; y < y1; ++y) {
            const int done = vectorRow(image.row(y), image.width, image.bytesPerPixel, hueOffset, tables, &bytes);
            if (quad) {
                transformRow<uint16_t, 4>(image, hueOffset, tables, y, done);
            } else {
                transformRow<uint16_t, 3>(image, hueOffset, tables, y, done);
            }
            toneTail(image, *tone, y, done);
        }
        return;
    }
    // The rows are still in cache when the table pass reads them again.
    hueSaturationOptimisedRows(image, hueOffset, tables, y0, y1);
    applyToneTableRows(image, *tone, y0, y1);
}

bool hueSaturationOptimised(const PlaneView& image, int hueOffset, const HueSaturationTables& tables,
                            RowBands& bands) {
    const RowsFn rows = hasVectorRows() ? vectorRowsFor(image.bytesPerPixel) : rowsFor(image.bytesPerPixel);
    if (rows == nullptr || image.empty()) {
        return false;
    }
    bands.run(0, image.height, [&](int y0, int y1) { rows(image, hueOffset, tables, y0, y1); });
    return true;
}

} // namespace lumvek
