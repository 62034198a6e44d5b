#include "frame_metadata.h"

namespace py = pybind11;

namespace lumvek::python {

namespace {
py::object namespaceOf(const py::dict& fields) {
    return py::module_::import("types").attr("SimpleNamespace")(**fields);
}
} // namespace

py::array makeFrame(const tool::FrameLayout& layout) {
    const py::object frameType = py::module_::import("lumvek.frame_metadata").attr("Frame");
    const py::dtype dtype = layout.bytesPerSample == 2 ? py::dtype::of<uint16_t>() : py::dtype::of<uint8_t>();
    py::tuple shape(layout.shape().size());
    for (size_t i = 0; i < layout.shape().size(); ++i) {
        shape[i] = layout.shape()[i];
    }
    return frameType(shape, dtype).cast<py::array>();
}

void setMetadata(const py::handle& frame, const LumvekFrameMetadata* m) {
    if (m == nullptr) {
        frame.attr("metadata") = py::none();
        return;
    }
    py::dict fields;
    fields["frame_number"] = m->frameNumber;
    fields["frame_number_from_camera"] = (m->flags & LUMVEK_FRAME_NUMBER_FROM_CAMERA) != 0;
    fields["header_monotonic_ns"] = m->headerMonotonicNs;
    fields["header_wall_ns"] = m->headerWallNs;
    fields["complete_monotonic_ns"] = m->completeMonotonicNs;
    fields["complete_wall_ns"] = m->completeWallNs;
    fields["delivered_monotonic_ns"] = m->deliveredMonotonicNs;
    fields["exposure"] = m->exposure;
    fields["gain"] = m->gain;
    fields["color_mode"] = m->colorMode;
    fields["window"] = py::make_tuple(m->windowLeft, m->windowTop, m->windowWidth, m->windowHeight);
    fields["frames_lost_before"] = m->framesLostBefore;
    frame.attr("metadata") = namespaceOf(fields);
}

py::object statisticsObject(const LumvekStreamStatistics& s) {
    py::dict fields;
    fields["frames_delivered"] = s.framesDelivered;
    fields["frames_lost_in_transfer"] = s.framesLostInTransfer;
    fields["frames_failed"] = s.framesFailed;
    fields["transfer_resets"] = s.transferResets;
    fields["frames_overwritten"] = s.framesOverwritten;
    fields["frames_not_delivered"] = s.framesNotDelivered;
    fields["bytes_delivered"] = s.bytesDelivered;
    fields["frame_rate"] = s.frameRate;
    fields["latency_samples"] = s.latencySamples;
    fields["latency_median_ns"] = s.latencyMedianNs;
    fields["latency_p99_ns"] = s.latencyP99Ns;
    return namespaceOf(fields);
}

} // namespace lumvek::python
