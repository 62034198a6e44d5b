#pragma once
// Frames as lumvek.Frame (a NumPy array subclass whose .metadata tells the
// frame number, host times, settings in force and frames lost before it)
// and the stream statistics as an object with named fields.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "LumvekStream.h"
#include "frame_layout.h"

namespace lumvek::python {

// A new lumvek.Frame of the layout's shape and sample type, owning its memory.
[[nodiscard]] pybind11::array makeFrame(const tool::FrameLayout& layout);
// Sets frame.metadata; metadata null: None.
void setMetadata(const pybind11::handle& frame, const LumvekFrameMetadata* metadata);
[[nodiscard]] pybind11::object statisticsObject(const LumvekStreamStatistics& statistics);

} // namespace lumvek::python
