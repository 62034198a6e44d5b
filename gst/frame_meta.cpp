#include "frame_meta.h"

#include <ctime>

namespace lumvek::gst {

namespace {
guint64 monotonicNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<guint64>(ts.tv_sec) * GST_SECOND + static_cast<guint64>(ts.tv_nsec);
}
} // namespace

GstClockTime runningTimeOfMonotonic(GstElement* element, guint64 monotonicNs) {
    GstClock* clock = gst_element_get_clock(element);
    if (clock == nullptr) {
        return GST_CLOCK_TIME_NONE;
    }
    const GstClockTime clockNow = gst_clock_get_time(clock);
    gst_object_unref(clock);
    const guint64 hostNow = monotonicNow();
    const GstClockTime baseTime = gst_element_get_base_time(element);
    const guint64 ago = hostNow > monotonicNs ? hostNow - monotonicNs : 0;
    const GstClockTime then = clockNow > ago ? clockNow - ago : 0;
    return then > baseTime ? then - baseTime : 0;
}

void stampBuffer(GstElement* element, GstBuffer* buffer, const LumvekFrameMetadata& metadata) {
    GST_BUFFER_OFFSET(buffer) = metadata.frameNumber;
    GST_BUFFER_OFFSET_END(buffer) = metadata.frameNumber + 1;
    const GstClockTime pts = runningTimeOfMonotonic(element, metadata.completeMonotonicNs);
    GST_BUFFER_PTS(buffer) = pts;
    GST_BUFFER_DTS(buffer) = pts;
    if (metadata.headerWallNs != 0) {
        GstCaps* reference = gst_caps_new_empty_simple(kWallClockReference);
        (void)gst_buffer_add_reference_timestamp_meta(buffer, reference, metadata.headerWallNs, GST_CLOCK_TIME_NONE);
        gst_caps_unref(reference);
    }
}

void postLostFrames(GstElement* element, GstBuffer* buffer, guint64 processed, guint64 dropped) {
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    GstMessage* message = gst_message_new_qos(GST_OBJECT(element), TRUE, pts, pts, pts, GST_BUFFER_DURATION(buffer));
    gst_message_set_qos_stats(message, GST_FORMAT_BUFFERS, processed, dropped);
    (void)gst_element_post_message(element, message);
}

GstStructure* statsStructure(const LumvekStreamStatistics& s) {
    return gst_structure_new(kStatsStructureName,                                          //
                             "frames-delivered", G_TYPE_UINT64, s.framesDelivered,          //
                             "frames-lost-in-transfer", G_TYPE_UINT64, s.framesLostInTransfer,
                             "frames-failed", G_TYPE_UINT64, s.framesFailed,                //
                             "transfer-resets", G_TYPE_UINT64, s.transferResets,            //
                             "frames-overwritten", G_TYPE_UINT64, s.framesOverwritten,      //
                             "frames-not-delivered", G_TYPE_UINT64, s.framesNotDelivered,   //
                             "bytes-delivered", G_TYPE_UINT64, s.bytesDelivered,            //
                             "frame-rate", G_TYPE_DOUBLE, s.frameRate,                      //
                             "latency-samples", G_TYPE_UINT64, s.latencySamples,            //
                             "latency-median-ns", G_TYPE_UINT64, s.latencyMedianNs,         //
                             "latency-p99-ns", G_TYPE_UINT64, s.latencyP99Ns, nullptr);
}

} // namespace lumvek::gst
