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
#include "imaging/pipeline/plane_view.h"

namespace lumvek {

struct SpikeFilterParams {
    int bayerMode = 2;  // the stored mode, not the mirrored one
    int redMultiplier = 128;
    int blueMultiplier = 128;
};

// The scan-order dependency keeps the filter on one thread. The optimised
// member marks each row's candidates eight at a time (SSE2) and runs the
// exact test only on them and on the two pixels after each replacement.
[[nodiscard]] bool spikeFilterReference(const PlaneView& frame, const SpikeFilterParams& params);
[[nodiscard]] bool spikeFilterOptimised(const PlaneView& frame, const SpikeFilterParams& params);

} // namespace lumvek
