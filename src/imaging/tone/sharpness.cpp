#include "imaging/tone/sharpness.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "imaging/pipeline/kernel_path.h"
#include "imaging/pipeline/row_bands.h"
#include "imaging/tone/sample_rows.h"
#include "imaging/tone/sharpness_rows.h"
#include "imaging/tone/tone_tables.h"

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

// `after` on every changed sample of rows [y0, y1).
void applyAfter(const PlaneView& image, bool wide, const AfterSharpening& after, int y0, int y1) {
    if (y0 >= y1) {
        return;
    }
    if (after.table != nullptr) {
        applyToneTableRows(image, *after.table, y0, y1);
    }
    if (!after.brightness) {
        return;
    }
    const float factor = *after.brightness;
    if (wide && !detail::brightenRows16Avx2(image, factor, y0, y1)) {
        forEachSample<uint16_t>(image, y0, y1, [factor](uint16_t& s) {
            s = static_cast<uint16_t>(brightenSample(s, factor, 65535));
        });
    } else if (!wide && !detail::brightenRows8Avx2(image, factor, y0, y1,
                                                   after.multiplier ? &*after.multiplier : nullptr)) {
        forEachSample<uint8_t>(image, y0, y1,
                               [factor](uint8_t& s) { s = static_cast<uint8_t>(brightenSample(s, factor, 255)); });
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
// `after` is applied to each row once it is sharpened (brightness alone by
// the 8-bit vector bodies themselves). sources(y) gives the source rows
// y - 2 .. y + 1; it is called once per row, before anything of row y is
// written.
template <typename Sample, typename Sources>
void optimisedRows(const PlaneView& image, const Sources& sources, const SharpnessTable& t, int y0, int y1,
                   const AfterSharpening& after) {
    constexpr int32_t kMax = sizeof(Sample) == 1 ? 255 : 65535;
    const int step = image.bytesPerPixel / static_cast<int>(sizeof(Sample));
    const int n = image.width * step;
    const bool skipFourth = step == 4;
    // Work rows kept per thread and only ever grown: the frame loop runs this
    // on every frame and must not allocate once it has started.
    thread_local std::vector<int32_t> columnSums;
    thread_local std::vector<uint16_t> narrowSums;
    columnSums.resize(static_cast<size_t>(n));
    if constexpr (sizeof(Sample) == 1) {
        narrowSums.resize(static_cast<size_t>(n));
    }
    constexpr bool kWide = sizeof(Sample) == 2;
    auto finish = [&](int y) { applyAfter(image, kWide, after, y, y + 1); };
    for (int y = y0; y < y1; ++y) {
        const std::array<const uint8_t*, 4> rows = sources(y);
        const auto* r0 = reinterpret_cast<const Sample*>(rows[0]);
        const auto* r1 = reinterpret_cast<const Sample*>(rows[1]);
        const auto* r2 = reinterpret_cast<const Sample*>(rows[2]);
        const auto* r3 = reinterpret_cast<const Sample*>(rows[3]);
        auto* out = reinterpret_cast<Sample*>(image.row(y));
#if defined(__x86_64__)
        if constexpr (sizeof(Sample) == 1) {
            if (cpuFeatures().avx2 || cpuFeatures().sse41) {
                const uint8_t* const rows[4] = {r0, r1, r2, r3};
                const auto sharpenRow = cpuFeatures().avx2 ? detail::sharpenRow8Avx2 : detail::sharpenRow8Sse41;
                // Brightness alone is done in the lanes (and the tail below)
                // where its factor has a multiplier, so only the row's
                // two-pixel ends are left for it.
                const bool fused = after.table == nullptr && after.brightness && after.multiplier;
                const float factor = after.brightness.value_or(1.0f);
                const int done = sharpenRow(rows, out, narrowSums.data(), n, step, 2 * step, t.sharpness(),
                                            fused ? &*after.multiplier : nullptr);
                for (int i = done; i < n - 2 * step; ++i) {
                    if (skipFourth && (i & 3) == 3) {
                        continue;
                    }
                    const int32_t blur = (narrowSums[static_cast<size_t>(i - 2 * step)] +
                                          narrowSums[static_cast<size_t>(i - step)] + narrowSums[static_cast<size_t>(i)] +
                                          narrowSums[static_cast<size_t>(i + step)]) >>
                                         4;
                    const int32_t v = r2[i];
                    const int32_t sharpened = std::clamp(v + t(v - blur), 0, kMax);
                    out[i] = static_cast<Sample>(fused ? brightenSample(sharpened, factor, kMax) : sharpened);
                }
                if (!fused) {
                    finish(y);
                    continue;
                }
                auto brightenSamples = [&](int from, int to) {
                    for (int i = from; i < to; ++i) {
                        if (!skipFourth || (i & 3) != 3) {
                            out[i] = static_cast<Sample>(brightenSample(out[i], factor, kMax));
                        }
                    }
                };
                brightenSamples(0, 2 * step);
                brightenSamples(n - 2 * step, n);
                continue;
            }
        }
#endif
        int firstScalar = 2;
#if defined(__x86_64__)
        if constexpr (sizeof(Sample) == 2) {
            if (cpuFeatures().avx2 || cpuFeatures().sse41) {
                const uint16_t* const rows[4] = {r0, r1, r2, r3};
                const auto sharpenRow = cpuFeatures().avx2 ? detail::sharpenRow16Avx2 : detail::sharpenRow16Sse41;
                const int done = sharpenRow(rows, out, columnSums.data(), n, step, 2 * step, t.sharpness());
                // Restart at the pixel the vector part stopped in: samples
                // it already wrote are computed again to the same value.
                firstScalar = done / step;
            }
        }
#endif
        if (firstScalar == 2) {
            for (int i = 0; i < n; ++i) {
                columnSums[static_cast<size_t>(i)] = int32_t{r0[i]} + r1[i] + r2[i] + r3[i];
            }
        }
        const int32_t* cs = columnSums.data();
        const int32_t sharpness = t.sharpness();
        const int components = step == 1 ? 1 : 3;
        for (int x = firstScalar; x < image.width - 2; ++x) {
            for (int k = 0; k < components; ++k) {
                const int i = x * step + k;
                const int32_t blur = (cs[i - 2 * step] + cs[i - step] + cs[i] + cs[i + step]) >> 4;
                const int32_t s = r2[i];
                // T(d) = trunc(s d / 10), the table's own formula, without its 512 KiB at 16 bits.
                out[i] = static_cast<Sample>(std::clamp(s + sharpness * (s - blur) / 10, 0, kMax));
            }
        }
        finish(y);
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

bool sharpnessRowsPair(const PlaneView& image, const PlaneView& scratch, const SharpnessTable& table) {
    bool wide = false;
    return shapesPair(image, scratch, wide) && wide == table.wide();
}

namespace {

// Rows [y0, y1): the interior ones sharpened from sources(y), then `after`
// on the rows the sharpening leaves as they are.
template <typename Sources>
void sharpenRows(const PlaneView& image, const Sources& sources, const SharpnessTable& table, int y0, int y1,
                 const AfterSharpening& after) {
    const int interiorEnd = (image.height < 5 || image.width < 5) ? 2 : image.height - 2;
    const int i0 = std::max(y0, 2);
    const int i1 = std::min(y1, interiorEnd);
    if (i0 < i1) {
        if (table.wide()) {
            optimisedRows<uint16_t>(image, sources, table, i0, i1, after);
        } else {
            optimisedRows<uint8_t>(image, sources, table, i0, i1, after);
        }
    }
    applyAfter(image, table.wide(), after, y0, std::min(y1, 2));
    applyAfter(image, table.wide(), after, std::max(y0, std::max(interiorEnd, 2)), y1);
}

} // namespace

void sharpnessOptimisedRows(const PlaneView& image, const PlaneView& scratch, const SharpnessTable& table, int y0,
                            int y1, const AfterSharpening& after) {
    const auto fromScratch = [&scratch](int y) {
        return std::array<const uint8_t*, 4>{scratch.row(y - 2), scratch.row(y - 1), scratch.row(y), scratch.row(y + 1)};
    };
    sharpenRows(image, fromScratch, table, y0, y1, after);
}

void sharpnessRowFrom(const PlaneView& image, const std::array<const uint8_t*, 4>& sources,
                      const SharpnessTable& table, int y, const AfterSharpening& after) {
    const int interiorEnd = (image.height < 5 || image.width < 5) ? 2 : image.height - 2;
    const bool interior = y >= 2 && y < interiorEnd;
    if (interior && (sources[0] == nullptr || sources[1] == nullptr || sources[2] == nullptr || sources[3] == nullptr)) {
        return;  // a caller's error: no row to read
    }
    sharpenRows(image, [&sources](int) { return sources; }, table, y, y + 1, after);
}

void sharpnessInPlaceRows(const PlaneView& image, SharpnessRing& ring, const SharpnessTable& table, int y0, int y1,
                          const AfterSharpening& after) {
    const size_t rowBytes = static_cast<size_t>(image.width) * static_cast<size_t>(image.bytesPerPixel);
    ring.rows_.resize(SharpnessRing::kRows * rowBytes);  // only ever grows: no allocation per frame
    auto slot = [&](int y) { return ring.rows_.data() + static_cast<size_t>(y % SharpnessRing::kRows) * rowBytes; };
    const int first = std::max(y0, 2);
    if (ring.next_ != first) {  // a new run: the two rows above still hold their source values
        for (int y = first - 2; y < first && y < image.height; ++y) {
            std::memcpy(slot(y), image.row(y), rowBytes);
        }
    }
    const auto inPlace = [&](int y) {
        std::memcpy(slot(y), image.row(y), rowBytes);  // row y's source, before it is overwritten
        return std::array<const uint8_t*, 4>{slot(y - 2), slot(y - 1), slot(y), image.row(y + 1)};
    };
    sharpenRows(image, inPlace, table, y0, y1, after);
    // The kept copies lead up to y1, or, when no row was sharpened, still to
    // `first`: they hold the source values of the rows above it, which
    // `after` may have changed in the image since.
    ring.next_ = std::max(y1, first);
}

bool sharpnessOptimised(const PlaneView& image, const PlaneView& scratch, const SharpnessTable& table,
                        RowBands& bands, const AfterSharpening& after) {
    if (!sharpnessRowsPair(image, scratch, table)) {
        return false;
    }
    bands.run(0, image.height, [&](int y0, int y1) { copyRows(image, scratch, y0, y1); });
    bands.run(0, image.height, [&](int y0, int y1) { sharpnessOptimisedRows(image, scratch, table, y0, y1, after); });
    return true;
}

} // namespace lumvek
