#include "imaging/tone/sharpness.h"

#include <algorithm>
#include <cstring>

#include "imaging/pipeline/row_bands.h"

namespace lumvek {

namespace {

bool shapesPair(const PlaneView& image, const PlaneView& scratch, bool& wide) {
    SampleLayout layout = SampleLayout::Mono8;
    if (image.empty() || scratch.empty() || !layoutFor(image.bytesPerPixel, layout) || image.width != scratch.width ||
        image.height != scratch.height || image.bytesPerPixel != scratch.bytesPerPixel) {
        return false;
    }
    wide = isWide(layout);
    return true;
}

void copyRows(const PlaneView& from, const PlaneView& to, int y0, int y1) {
    const size_t rowBytes = static_cast<size_t>(from.width) * static_cast<size_t>(from.bytesPerPixel);
    for (int y = y0; y < y1; ++y) {
        std::memcpy(to.row(y), from.row(y), rowBytes);
    }
}

template <typename Sample>
Sample& sampleAt(const PlaneView& v, int y, int x, int component) {
    return reinterpret_cast<Sample*>(v.row(y) + static_cast<std::ptrdiff_t>(x) * v.bytesPerPixel)[component];
}

template <typename Sample>
void referenceOf(const PlaneView& image, const PlaneView& source, const SharpnessTable& t) {
    constexpr int32_t kMax = sizeof(Sample) == 1 ? 255 : 65535;
    const int components = image.bytesPerPixel / static_cast<int>(sizeof(Sample)) == 1 ? 1 : 3;
    // Pass 1: the blur into the output.
    for (int y = 2; y < image.height - 2; ++y) {
        for (int x = 2; x < image.width - 2; ++x) {
            for (int k = 0; k < components; ++k) {
                int32_t sum = 0;
                for (int dy = -2; dy <= 1; ++dy) {
                    for (int dx = -2; dx <= 1; ++dx) {
                        sum += sampleAt<Sample>(source, y + dy, x + dx, k);
                    }
                }
                sampleAt<Sample>(image, y, x, k) = static_cast<Sample>(sum >> 4);
            }
        }
    }
    // Pass 2: source + T(source - blur).
    for (int y = 2; y < image.height - 2; ++y) {
        for (int x = 2; x < image.width - 2; ++x) {
            for (int k = 0; k < components; ++k) {
                const int32_t s = sampleAt<Sample>(source, y, x, k);
                const int32_t blur = sampleAt<Sample>(image, y, x, k);
                sampleAt<Sample>(image, y, x, k) = static_cast<Sample>(std::clamp(s + t(s - blur), 0, kMax));
            }
        }
    }
}

// Both passes fused per row: the blur of a sample is only read back at that
// sample. Column sums of the four rows first, then four of them per sample.
// A row of samples is treated as one run of components; a sample's
// horizontal neighbours are bytesPerPixel / sizeof(Sample) elements apart.
template <typename Sample>
void optimisedRows(const PlaneView& image, const PlaneView& source, const SharpnessTable& t, int y0, int y1) {
    constexpr int32_t kMax = sizeof(Sample) == 1 ? 255 : 65535;
    const int step = image.bytesPerPixel / static_cast<int>(sizeof(Sample));
    const int n = image.width * step;
    const bool skipFourth = step == 4;
    std::vector<int32_t> columnSums(static_cast<size_t>(n));
    for (int y = y0; y < y1; ++y) {
        const auto* r0 = reinterpret_cast<const Sample*>(source.row(y - 2));
        const auto* r1 = reinterpret_cast<const Sample*>(source.row(y - 1));
        const auto* r2 = reinterpret_cast<const Sample*>(source.row(y));
        const auto* r3 = reinterpret_cast<const Sample*>(source.row(y + 1));
        for (int i = 0; i < n; ++i) {
            columnSums[static_cast<size_t>(i)] = int32_t{r0[i]} + r1[i] + r2[i] + r3[i];
        }
        const int32_t* cs = columnSums.data();
        auto* out = reinterpret_cast<Sample*>(image.row(y));
        for (int i = 2 * step; i < n - 2 * step; ++i) {
            if (skipFourth && (i & 3) == 3) {
                continue;
            }
            const int32_t blur = (cs[i - 2 * step] + cs[i - step] + cs[i] + cs[i + step]) >> 4;
            const int32_t s = r2[i];
            out[i] = static_cast<Sample>(std::clamp(s + t(s - blur), 0, kMax));
        }
    }
}

} // namespace

SharpnessTable::SharpnessTable(int sharpness, bool wide)
    : sharpness_(std::clamp(sharpness, 0, 30)), wide_(wide), maxValue_(wide ? 65535 : 255) {
    table_.resize(static_cast<size_t>(2 * maxValue_) + 2);
    for (int32_t d = -maxValue_; d <= maxValue_ + 1; ++d) {
        table_[static_cast<size_t>(d + maxValue_)] = sharpness_ * d / 10;
    }
}

bool sharpnessReference(const PlaneView& image, const PlaneView& scratch, int sharpness) {
    bool wide = false;
    if (!shapesPair(image, scratch, wide)) {
        return false;
    }
    copyRows(image, scratch, 0, image.height);
    const SharpnessTable table(sharpness, wide);
    if (wide) {
        referenceOf<uint16_t>(image, scratch, table);
    } else {
        referenceOf<uint8_t>(image, scratch, table);
    }
    return true;
}

bool sharpnessOptimised(const PlaneView& image, const PlaneView& scratch, const SharpnessTable& table,
                        RowBands& bands) {
    bool wide = false;
    if (!shapesPair(image, scratch, wide) || wide != table.wide()) {
        return false;
    }
    bands.run(0, image.height, [&](int y0, int y1) { copyRows(image, scratch, y0, y1); });
    if (image.height < 5 || image.width < 5) {
        return true;
    }
    bands.run(2, image.height - 2, [&](int y0, int y1) {
        if (wide) {
            optimisedRows<uint16_t>(image, scratch, table, y0, y1);
        } else {
            optimisedRows<uint8_t>(image, scratch, table, y0, y1);
        }
    });
    return true;
}

} // namespace lumvek
