#pragma once
// A C-contiguous NumPy array for one frame: uint8 or uint16 samples,
// (H, W) for mono, (H, W, 3) for BGR, (H, W, 4) for four samples.
#include <pybind11/numpy.h>

#include "frame_layout.h"

namespace lumvek::python {

[[nodiscard]] pybind11::array makeFrameArray(const tool::FrameLayout& layout);

} // namespace lumvek::python
