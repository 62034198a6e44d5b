#pragma once
// The spike filter: suppresses isolated bright pixels of a raw frame. Inside
// a two-pixel border, in scan order and in place (a replaced pixel is what
// later pixels see), a pixel v is compared with the mean M of the four
// same-colour neighbours two pixels away:
// - 8-bit: when v - M >= 30 and the colour interpolation would give there
//   (stored Bayer mode, current gains, each component's low 8 bits) has at
//   least two of |R-G|, |R-B|, |G-B| above 30, v becomes M;
// - 16-bit: when |v - M| >= 7680 and all eight immediate neighbours differ
//   from v by at least 7680, v becomes M.
#include <cstdint>
#include <vector>

#include "imaging/pipeline/pipeline_settings.h"
#include "imaging/pipeline/plane_view.h"

namespace lumvek {

class RowBands;

struct SpikeFilterParams {
    int bayerMode = 2;  // the stored mode, not the mirrored one
    int redMultiplier = 128;
    int blueMultiplier = 128;
};

// A pixel the optimised filter replaced, with its value before.
struct SpikeReplacement {
    int32_t y;
    int32_t x;
    uint16_t before;
};

// The optimised filter's working memory, kept by its owner from frame to
// frame: it only grows, so the filter does not allocate once it has run at
// a frame size.
struct SpikeFilterScratch {
    std::vector<std::vector<SpikeReplacement>> replaced;  // per band, in scan order
    std::vector<std::vector<uint8_t>> marks;              // per band: one row's candidate marks
    std::vector<uint8_t> edgeRows;                        // the four rows around each band edge, as they came
    std::vector<uint8_t> redoRows;                        // rows of a band start filtered again
};

[[nodiscard]] bool spikeFilterReference(const PlaneView& frame, const SpikeFilterParams& params);

// The optimised filter runs the bands of rows on every thread of bands at
// once. Each band filters its first rows against the rows above it as they
// came from the camera; once every band is done, a band whose upper
// neighbour changed those rows filters its first rows again from their
// recorded values before replacement, until two rows in a row come out as
// they stand (the rows after them then saw exactly what the scan order
// shows them). The result is the reference's, byte for byte.
// With a source, each band first copies its own rows from it into the
// frame, a few rows ahead of the scan, so that a row comes in once and is
// filtered while it is still in cache; every row of the frame is copied,
// filtered or not.
[[nodiscard]] bool spikeFilterOptimised(const PlaneView& frame, const SpikeFilterParams& params, RowBands& bands,
                                        SpikeFilterScratch& scratch, const RawRowSource* source = nullptr);

} // namespace lumvek
