// The optimised colour chain, band by band. Each worker takes a band of rows
// and walks it in pieces small enough to stay in its L2 cache: a piece is
// interpolated, turned by hue/saturation and passed through the composed
// tone table (one pass with AVX-512) before the next piece starts, and the
// rows whose source neighbours (two above, one below) are then complete are
// sharpened in place, with brightness after; a ring of three rows per
// thread keeps the source values of the rows just overwritten, so the chain
// needs no scratch frame. The first two rows of a band and its last one
// need source rows of the neighbouring band: they are sharpened by the
// calling thread once every band is done, from copies of the three rows at
// each end of every band, taken before those rows were sharpened. Every
// step is the one the unfused chain runs, on the same rows in the same
// order for each row, so the results are the same bytes. A delivery (the
// application's callback buffer) receives each row as soon as it is final,
// while it is still in cache, instead of in a copy of the whole picture
// afterwards: a piece's rows once its steps are done, or with sharpness the
// rows it sharpens, and the band-edge rows as the calling thread finishes them.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <optional>
#include <vector>

#include "imaging/colour/hue_saturation.h"
#include "imaging/colour/interpolation.h"
#include "imaging/convert/stream_copy.h"
#include "imaging/pipeline/frame_pipeline.h"
#include "imaging/pipeline/kernel_path.h"
#include "imaging/pipeline/row_bands.h"
#include "imaging/tone/sharpness.h"
#include "imaging/tone/tone_tables.h"

namespace lumvek {

namespace {

constexpr int kNeutralGamma = 100;
// Output bytes of one piece: with the sharpness source and the raw rows it
// stays well inside a 2 MB L2 cache.
constexpr int kPieceBytes = 256 * 1024;
constexpr int kMinPieceRows = 4;
constexpr int kMinBandRows = 16;
constexpr uint8_t kSharpened = 1;
// Rows at each end of a band whose source values the band-edge rows read
// after the bands: the edge rows are a band's first two and its last, and
// each reads two rows above and one below.
constexpr int kEdgeRows = 3;
constexpr int kEdgeSlotsPerBand = 2 * kEdgeRows;

} // namespace

bool FramePipeline::bandChain(const PlaneView* raw, const PlaneView& output, const PipelineSettings& settings,
                              const HueSaturationTables* hue, int hueOffset, const RowDelivery* delivery) {
    SampleLayout layout = SampleLayout::Mono8;
    (void)layoutFor(output.bytesPerPixel, layout);
    const bool wide = isWide(layout);
    if (raw != nullptr && !detail::interpolationShapesPair(*raw, output)) {
        raw = nullptr;  // as the unfused member: nothing written
    }
    const InterpolationParams params = interpolationParamsOf(settings);

    // Gamma, contrast and brightness are functions of the sample alone: the
    // ones that follow each other are one composed table. With sharpness on,
    // brightness comes after it.
    const bool sharpen = settings.sharpness != 0;
    const ToneKey firstKey{wide, settings.gamma, settings.contrast, sharpen ? 0 : settings.brightness};
    const bool firstTable = firstKey.gamma != kNeutralGamma || firstKey.contrast != 0 || firstKey.brightness != 0;
    const std::vector<uint16_t>* first = firstTable ? &toneTable(firstKey) : nullptr;
    // Brightness alone: on 8-bit samples arithmetic beats the AVX2 table
    // walk (not the AVX-512 one); on 16-bit samples it beats the scalar walk
    // of a 128 KiB table.
    const bool brightnessArithmetic = first != nullptr && firstKey.gamma == kNeutralGamma && firstKey.contrast == 0 &&
                                      (wide || !cpuFeatures().avx512vbmi);
    const float brightness = brightnessFactor(firstKey.brightness);
    const std::optional<ByteBrightness> multiplier =
        brightnessArithmetic && !wide ? byteBrightnessOf(brightness) : std::nullopt;
    auto brighten = [&](int y0, int y1) {
        return wide ? detail::brightenRows16Avx2(output, brightness, y0, y1)
                    : detail::brightenRows8Avx2(output, brightness, y0, y1, multiplier ? &*multiplier : nullptr);
    };

    const SharpnessTable* sharpness = nullptr;
    const std::vector<uint16_t>* after = nullptr;
    bool afterArithmetic = false;  // brightness after sharpness by its factor instead of the table
    const float afterFactor = brightnessFactor(settings.brightness);
    if (sharpen) {
        const int s = std::clamp(settings.sharpness, 0, 30);
        if (!sharpnessTable_ || sharpnessTable_->sharpness() != s || sharpnessTable_->wide() != wide) {
            sharpnessTable_ = std::make_unique<SharpnessTable>(s, wide);
        }
        if (settings.brightness != 0) {
            const ToneKey key{wide, kNeutralGamma, 0, settings.brightness};
            if (brightnessKey_ != key) {
                brightnessTable_ = brightnessTable(settings.brightness, wide);
                brightnessKey_ = key;
            }
            after = &brightnessTable_;
            // As for brightness alone: arithmetic beats every table walk but AVX-512's on 8-bit samples.
            afterArithmetic = (cpuFeatures().avx2 || cpuFeatures().sse41) && (wide || !cpuFeatures().avx512vbmi);
        }
        sharpness = sharpnessTable_.get();
        rowsSharpened_.assign(static_cast<size_t>(output.height), 0);  // capacity kept: no allocation per frame
    }
    if (raw == nullptr && hue == nullptr && first == nullptr && sharpness == nullptr) {
        return false;
    }
    const size_t stride = static_cast<size_t>(output.stride);
    auto deliver = [&](int y0, int y1) {
        if (!delivery->bottomUp) {
            streamCopy(delivery->rows + static_cast<size_t>(y0) * stride, output.row(y0),
                       static_cast<size_t>(y1 - y0) * stride);
            return;
        }
        for (int y = y0; y < y1; ++y) {
            streamCopy(delivery->rows + static_cast<size_t>(output.height - 1 - y) * stride, output.row(y), stride);
        }
    };

    // Brightness after sharpness, on each row as it is sharpened.
    const AfterSharpening afterSharpening =
        afterArithmetic ? AfterSharpening::brightnessOf(afterFactor) : AfterSharpening::tableOf(after);
    const int height = output.height;
    // Copies of the source values of the rows at each end of every band,
    // which the band-edge rows read after the bands; kept by the calling
    // thread from frame to frame, so that only a larger frame or more bands
    // allocate. A band takes its slots with one atomic step.
    const size_t rowBytes = static_cast<size_t>(output.width) * static_cast<size_t>(output.bytesPerPixel);
    const size_t edgeSlots = static_cast<size_t>(bands_->bandsFor(output.height, kMinBandRows)) * kEdgeSlotsPerBand;
    thread_local std::vector<uint8_t> edgeRows;
    thread_local std::vector<int> edgeRowNumbers;
    std::atomic<int> nextEdgeSlot{0};
    if (sharpness != nullptr) {
        edgeRows.resize(edgeSlots * rowBytes);
        edgeRowNumbers.assign(edgeSlots, -1);
    }
    uint8_t* const edgeData = edgeRows.data();
    int* const edgeNumbers = edgeRowNumbers.data();
    auto keepEdgeRows = [&](int base, int from, int to, int y0, int y1) {
        for (int y = from; y < to; ++y) {
            // The band's first rows take slots base + 0..2, its last ones base + 3..5.
            const int slot = y < y0 + kEdgeRows ? base + (y - y0) : base + kEdgeRows + (y - (y1 - kEdgeRows));
            std::memcpy(edgeData + static_cast<size_t>(slot) * rowBytes, output.row(y), rowBytes);
            edgeNumbers[slot] = y;
        }
    };
    const int pieceRows = std::max(kMinPieceRows, kPieceBytes / std::max(output.stride, 1));
    bands_->run(0, height, [&](int y0, int y1) {
        // Rows below this have been sharpened (or are left for after the bands).
        int sharpenedUntil = y0 == 0 ? 0 : std::min(y0 + 2, y1);
        thread_local SharpnessRing ring;  // work rows of this thread, kept from frame to frame
        ring.reset();
        const int edgeBase = sharpness != nullptr ? nextEdgeSlot.fetch_add(kEdgeSlotsPerBand) : 0;
        for (int p0 = y0; p0 < y1;) {
            const int p1 = std::min(p0 + pieceRows, y1);
            if (raw != nullptr) {
                interpolateOptimisedRows(*raw, output, params, p0, p1);
            }
            if (hue != nullptr && first != nullptr) {
                hueSaturationToneRows(output, hueOffset, *hue, first, p0, p1);
            } else if (hue != nullptr) {
                hueSaturationOptimisedRows(output, hueOffset, *hue, p0, p1);
            } else if (first != nullptr && !(brightnessArithmetic && brighten(p0, p1))) {
                applyToneTableRows(output, *first, p0, p1);
            }
            if (delivery != nullptr && sharpness == nullptr) {
                deliver(p0, p1);
            }
            if (sharpness != nullptr) {
                // The source rows the band-edge rows need, before they are sharpened.
                keepEdgeRows(edgeBase, std::max(p0, y0), std::min(p1, y0 + kEdgeRows), y0, y1);
                keepEdgeRows(edgeBase, std::max({p0, y1 - kEdgeRows, y0 + kEdgeRows}), p1, y0, y1);
                const int ready = p1 == height ? height : (p1 == y1 ? y1 - 1 : p1 - 1);
                if (sharpenedUntil < ready) {
                    sharpnessInPlaceRows(output, ring, *sharpness, sharpenedUntil, ready, afterSharpening);
                    if (delivery != nullptr) {
                        deliver(sharpenedUntil, ready);
                    }
                    std::fill(rowsSharpened_.begin() + sharpenedUntil, rowsSharpened_.begin() + ready, kSharpened);
                    sharpenedUntil = ready;
                }
            }
            p0 = p1;
        }
    }, kMinBandRows);
    if (sharpness == nullptr) {
        return delivery != nullptr;
    }
    // The rows at the band edges, now that every source row is kept.
    const int usedSlots = std::min(nextEdgeSlot.load(), static_cast<int>(edgeSlots));
    auto keptRow = [&](int y) -> const uint8_t* {
        for (int slot = 0; slot < usedSlots; ++slot) {
            if (edgeNumbers[slot] == y) {
                return edgeData + static_cast<size_t>(slot) * rowBytes;
            }
        }
        return nullptr;
    };
    for (int y = 0; y < height; ++y) {
        if (rowsSharpened_[static_cast<size_t>(y)] != kSharpened) {
            const std::array<const uint8_t*, 4> sources{keptRow(y - 2), keptRow(y - 1), keptRow(y), keptRow(y + 1)};
            sharpnessRowFrom(output, sources, *sharpness, y, afterSharpening);
            if (delivery != nullptr) {
                deliver(y, y + 1);
            }
        }
    }
    return delivery != nullptr;
}

} // namespace lumvek
