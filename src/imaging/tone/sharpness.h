#pragma once
// Sharpness: an unsharp mask. The frame is copied to a scratch buffer (the
// source); inside a two-pixel border each sample becomes
// source + T(source - blur), T(d) = trunc(s x d / 10), blur the 4 x 4 mean of
// rows -2..+1 and columns -2..+1 around it, limited to 0..max.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "imaging/pipeline/plane_view.h"
#include "imaging/tone/tone_tables.h"

namespace lumvek {

class RowBands;

// T(d) for d = -max..max+1, indexed by d + max.
class SharpnessTable {
public:
    SharpnessTable(int sharpness, bool wide);
    [[nodiscard]] int sharpness() const { return sharpness_; }
    [[nodiscard]] bool wide() const { return wide_; }
    [[nodiscard]] int32_t operator()(int32_t d) const { return table_[static_cast<size_t>(d + maxValue_)]; }

private:
    int sharpness_;
    bool wide_;
    int32_t maxValue_;
    std::vector<int32_t> table_;
};

// The pointwise step after sharpening, done on each row as soon as it is
// sharpened, while the row is in cache: a tone table of the image's sample
// width, or brightness by its factor (brightenSample on every changed
// sample). With brightness alone and a multiplier for its factor, the 8-bit
// vector bodies brighten each sharpened sample in their own lanes.
struct AfterSharpening {
    const std::vector<uint16_t>* table = nullptr;
    std::optional<float> brightness;
    std::optional<ByteBrightness> multiplier;  // byteBrightnessOf(*brightness)

    [[nodiscard]] static AfterSharpening tableOf(const std::vector<uint16_t>* entries) {
        AfterSharpening after;
        after.table = entries;
        return after;
    }
    [[nodiscard]] static AfterSharpening brightnessOf(float factor) {
        AfterSharpening after;
        after.brightness = factor;
        after.multiplier = byteBrightnessOf(factor);
        return after;
    }
};

// image is the output buffer, scratch a buffer of the same size and depth
// (its contents are replaced by a copy of image). Returns false when they do
// not pair or the depth is not one of the four layouts.
[[nodiscard]] bool sharpnessReference(const PlaneView& image, const PlaneView& scratch, int sharpness);
// `after` is applied to every changed sample once sharpened.
[[nodiscard]] bool sharpnessOptimised(const PlaneView& image, const PlaneView& scratch, const SharpnessTable& table,
                                      RowBands& bands, const AfterSharpening& after = {});

// The same on rows [y0, y1) whose source rows -2..+1 are in the scratch
// buffer. Rows outside the interior only get `after`. sharpnessRowsPair
// checks the buffers and table first.
[[nodiscard]] bool sharpnessRowsPair(const PlaneView& image, const PlaneView& scratch, const SharpnessTable& table);
void sharpnessOptimisedRows(const PlaneView& image, const PlaneView& scratch, const SharpnessTable& table, int y0,
                            int y1, const AfterSharpening& after);

// Row y alone (with `after`) from the source rows y - 2 .. y + 1 given;
// they are read only when y is an interior row, and must then all be given.
void sharpnessRowFrom(const PlaneView& image, const std::array<const uint8_t*, 4>& sources,
                      const SharpnessTable& table, int y, const AfterSharpening& after);

// Sharpening in place, without a source frame: a run of rows sharpened top
// down keeps copies of the source values of its last rows, which the rows
// below need once they are overwritten. One ring per thread; reset() before
// each new run.
class SharpnessRing {
public:
    void reset() { next_ = -1; }

private:
    friend void sharpnessInPlaceRows(const PlaneView&, SharpnessRing&, const SharpnessTable&, int, int,
                                     const AfterSharpening&);
    static constexpr int kRows = 3;
    std::vector<uint8_t> rows_;
    int next_ = -1;  // the row the kept copies lead up to
};
// Rows [y0, y1) as sharpnessOptimisedRows, the sources of rows y0 - 2 ..
// y1 (within the frame) read from the image itself: rows below y0 + 1 must
// still hold their source values, except those this ring's previous call
// (ending at y0) sharpened.
void sharpnessInPlaceRows(const PlaneView& image, SharpnessRing& ring, const SharpnessTable& table, int y0, int y1,
                          const AfterSharpening& after);

} // namespace lumvek
