#pragma once
// The dot filter: flags pixels that the defect masks mark or that stand out
// from the mean of their four immediate neighbours (by 30 at 8 bits, 480 at
// 16 bits), then replaces each flagged pixel by the mean of the nearest
// unflagged pixels to its left, right, top and bottom. The outermost rows
// and columns are never flagged nor repaired.
#include <cstdint>
#include <vector>

#include "imaging/correction/capture_window.h"
#include "imaging/pipeline/plane_view.h"

namespace lumvek {

class RowBands;

struct DotFilterPlanes {
    PlaneView darkMask;   // defect masks of the frame's depth (full sensor)
    PlaneView whiteMask;
};

// The masks are read at the frame pixel's place on the sensor (capture-
// window offsets), as the mask filter pairs frame and references; a pixel
// whose place lies outside the masks counts as unmarked. flags is work space
// the call resizes to the frame. Returns false when the depths do not pair.
[[nodiscard]] bool dotFilterReference(const PlaneView& frame, const DotFilterPlanes& masks,
                                      const CaptureWindow& window, std::vector<uint8_t>& flags);
[[nodiscard]] bool dotFilterOptimised(const PlaneView& frame, const DotFilterPlanes& masks,
                                      const CaptureWindow& window, std::vector<uint8_t>& flags, RowBands& bands);

} // namespace lumvek
