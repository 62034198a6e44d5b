#pragma once
// The mask filter: a flat-field correction of a raw frame against a dark and
// a white reference frame of the full sensor. Frame pixel (x, y) pairs with
// reference pixel (EHS + x, EVS + y). 8-bit: v = (v - d) x 256 / (w - d)
// truncated, limited to 0..255, unchanged where w = d. 16-bit: v = (v - d) x
// 65536 / (w - d), limited to 0..65535, unchanged where w <= d.
#include "imaging/correction/capture_window.h"
#include "imaging/pipeline/plane_view.h"

namespace lumvek {

class RowBands;

// dark and white: the references of the frame's depth. Pixels whose
// reference pixel lies outside the references are left unchanged. Returns
// false when the depths do not pair.
[[nodiscard]] bool maskFilterReference(const PlaneView& frame, const PlaneView& dark, const PlaneView& white,
                                       const CaptureWindow& window);
[[nodiscard]] bool maskFilterOptimised(const PlaneView& frame, const PlaneView& dark, const PlaneView& white,
                                       const CaptureWindow& window, RowBands& bands);

} // namespace lumvek
