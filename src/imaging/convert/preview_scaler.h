#pragma once
// Nearest-neighbour resampling for the preview's scaling buffer, for 8-bit
// and 24-bit pictures.
#include "imaging/apply.h"
#include "imaging/image_buffer.h"

namespace lumvek {

enum class ScaleRows { Flipped, InOrder };

// Fills dstRect of dst from srcRect of src. The ratios are single precision,
// source size / destination size; destination pixel (i, j) of the rectangle
// takes source column trunc(j x ratio) and source row trunc(i x ratio), both
// limited to the source rectangle; with ScaleRows::Flipped (what the preview
// draws) that row is counted from the source rectangle's bottom.
// Returns false and writes nothing when the depths differ or are not 8 or
// 24 bits, or a rectangle is empty or not inside its buffer.
[[nodiscard]] bool scaleNearest(ImageBuffer& dst, const Rect& dstRect, const ImageBuffer& src, const Rect& srcRect,
                                ScaleRows rows = ScaleRows::Flipped);

} // namespace lumvek
