#pragma once
// What lumveksrc puts on each buffer from the frame's metadata (offset =
// frame number, PTS/DTS = the frame's completion on the pipeline's running
// time, a reference timestamp with the host's wall-clock time of the frame
// header), the QoS message for frames lost before it, and the `stats`
// property's structure.
#include <gst/gst.h>

#include "LumvekStream.h"

namespace lumvek::gst {

// The caps of the reference timestamp lumveksrc adds: UNIX epoch, local clock.
inline constexpr const char* kWallClockReference = "timestamp/x-unix";
// The name of the `stats` structure.
inline constexpr const char* kStatsStructureName = "application/x-lumvek-stats";

// Running time of a host monotonic instant: the element's clock read now,
// less how long ago the instant was. GST_CLOCK_TIME_NONE without a clock.
[[nodiscard]] GstClockTime runningTimeOfMonotonic(GstElement* element, guint64 monotonicNs);

// Offset, offset end, PTS, DTS and the reference timestamp of `buffer`.
void stampBuffer(GstElement* element, GstBuffer* buffer, const LumvekFrameMetadata& metadata);

// Posts a QoS message (format buffers) telling of metadata.framesLostBefore
// frames lost before this buffer; `processed` and `dropped` are the totals.
void postLostFrames(GstElement* element, GstBuffer* buffer, guint64 processed, guint64 dropped);

// The statistics as a new structure (the caller owns it).
[[nodiscard]] GstStructure* statsStructure(const LumvekStreamStatistics& statistics);

} // namespace lumvek::gst
