#pragma once
// Copying a finished picture into a caller's memory (GetImage, SnapShot and
// the callback capture).
#include <cstddef>

#include "imaging/image_buffer.h"

namespace lumvek {

// Bytes a caller must offer: height x stride (row padding included).
[[nodiscard]] size_t callerBytesFor(const ImageBuffer& picture);

// Copies every row of stride bytes: with topDown the rows in stored order
// (row 0, the picture's top line, first), otherwise from the last row to row
// 0. Returns false and copies nothing when the picture is empty, dst is null
// or size is below callerBytesFor(picture) (the caller reports code 5).
[[nodiscard]] bool copyToCaller(const ImageBuffer& picture, void* dst, size_t size, bool topDown);

} // namespace lumvek
