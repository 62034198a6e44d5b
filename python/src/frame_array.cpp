#include "frame_array.h"

namespace py = pybind11;

namespace lumvek::python {

py::array makeFrameArray(const tool::FrameLayout& layout) {
    if (layout.bytesPerSample == 2) {
        return py::array_t<uint16_t, py::array::c_style>(layout.shape());
    }
    return py::array_t<uint8_t, py::array::c_style>(layout.shape());
}

} // namespace lumvek::python
