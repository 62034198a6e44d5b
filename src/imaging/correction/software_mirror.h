#pragma once
// Software mirror of an 8- or 16-bit raw frame: reverse the pixel order of
// every row (horizontal) and/or the row order (vertical).
#include <cstdint>
#include <vector>

#include "imaging/pipeline/plane_view.h"

namespace lumvek {

class RowBands;

// The reference builds the result aside and copies it back whole.
[[nodiscard]] bool mirrorReference(const PlaneView& raw, bool horizontal, bool vertical);
// In place: rows swapped pairwise from both ends, each reversed on the way.
[[nodiscard]] bool mirrorOptimised(const PlaneView& raw, bool horizontal, bool vertical, RowBands& bands);

} // namespace lumvek
