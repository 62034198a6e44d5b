#include "lumvek_src.h"

#include <atomic>
#include <memory>
#include <mutex>

#include <gst/video/video.h>

#include "camera_feed.h"
#include "frame_meta.h"
#include "sdk_errors.h"
#include "window_text.h"

GST_DEBUG_CATEGORY_STATIC(lumvek_src_debug);
#define GST_CAT_DEFAULT lumvek_src_debug

namespace {

using lumvek::gst::CameraFeed;
using lumvek::gst::FrameRate;

constexpr int kNoValue = -1;
constexpr int kMaxProperty = G_MAXINT;
// The streaming thread waits for a frame in slices, so that unlock() (a
// flush or a state change) is seen within one slice.
constexpr int kWaitSliceMs = 100;
// A camera that sends nothing for this long is reported as failed.
constexpr int kFrameTimeoutMs = 10000;
constexpr int kFullWidth = 2336;
constexpr int kFullHeight = 1752;

enum Property {
    PropertyDevice = 1,
    PropertyExposure,
    PropertyGain,
    PropertyPersist,
    PropertyCameraId,
    PropertyWindow,
    PropertyStats,
};

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-raw, format = (string) { GRAY8, GRAY16_LE, BGR, BGRx }, "
                    "width = (int) [ 1, 2336 ], height = (int) [ 1, 1752 ], framerate = (fraction) [ 0/1, MAX ]; "
                    // The mosaic itself (colour mode 8), in the camera's Bayer order, for bayer2rgb and
                    // machine-vision code of its own. GStreamer 1.22 has 8-bit Bayer formats only.
                    "video/x-bayer, format = (string) { bggr, gbrg, grbg, rggb }, "
                    "width = (int) [ 1, 2336 ], height = (int) [ 1, 1752 ], framerate = (fraction) [ 0/1, MAX ]"));

constexpr const char* kBayerCaps = "video/x-bayer";

} // namespace

struct _LumvekSrc {
    GstPushSrc parent;

    // Properties, written by the application thread (object lock), read on start.
    int device;
    int exposure;
    int gain;
    bool persist;
    gchar* cameraId;  // open by id when set (takes the place of device)
    gchar* window;    // "WxH" or "WxH+X+Y"; null: the camera's window

    // Guards the feed pointer against the application thread, which applies
    // exposure and gain to the running camera. The streaming thread never
    // takes it: the feed only changes while streaming is stopped.
    std::mutex* feedLock;

    // Owned while started (start() to stop()).
    CameraFeed* feed;
    FrameRate rate;
    int width;
    int height;
    int bitsPerPixel;  // negotiated colour mode; 0 before set_caps
    // The library's frame clock (ms) against the pipeline's running time of
    // the first frame.
    bool haveFirstFrame;
    guint32 firstFrameMs;
    GstClockTime firstRunningTime;
    std::atomic<bool>* unlocking;
    // Streaming thread: buffers pushed and frames lost before them.
    guint64 framesPushed;
    guint64 framesLost;
};

G_DEFINE_TYPE(LumvekSrc, lumvek_src, GST_TYPE_PUSH_SRC)

namespace {

void applySettings(LumvekSrc* self) {
    if (self->exposure != kNoValue && !self->feed->setExposure(self->exposure)) {
        GST_ELEMENT_WARNING(self, RESOURCE, SETTINGS, ("%s", self->feed->error().c_str()), (nullptr));
    }
    if (self->gain != kNoValue && !self->feed->setGain(self->gain)) {
        GST_ELEMENT_WARNING(self, RESOURCE, SETTINGS, ("%s", self->feed->error().c_str()), (nullptr));
    }
}

// Exposure and gain set while the camera is open go to it at once; the SDK
// serialises them with the running preview.
void applyToRunningCamera(LumvekSrc* self, guint id) {
    std::lock_guard lock(*self->feedLock);
    if (self->feed == nullptr) return;
    GST_OBJECT_LOCK(self);
    const int exposure = self->exposure;
    const int gain = self->gain;
    GST_OBJECT_UNLOCK(self);
    const bool ok = id == PropertyExposure ? exposure == kNoValue || self->feed->setExposure(exposure)
                                           : gain == kNoValue || self->feed->setGain(gain);
    if (!ok) GST_ELEMENT_WARNING(self, RESOURCE, SETTINGS, ("%s", self->feed->error().c_str()), (nullptr));
}

void setProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
    LumvekSrc* self = LUMVEK_SRC(object);
    GST_OBJECT_LOCK(self);
    switch (id) {
    case PropertyDevice: self->device = g_value_get_int(value); break;
    case PropertyExposure: self->exposure = g_value_get_int(value); break;
    case PropertyGain: self->gain = g_value_get_int(value); break;
    case PropertyPersist: self->persist = g_value_get_boolean(value); break;
    case PropertyCameraId:
        g_free(self->cameraId);
        self->cameraId = g_value_dup_string(value);
        break;
    case PropertyWindow:
        g_free(self->window);
        self->window = g_value_dup_string(value);
        break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec); break;
    }
    GST_OBJECT_UNLOCK(self);
    if (id == PropertyExposure || id == PropertyGain) applyToRunningCamera(self, id);
}

void getProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    LumvekSrc* self = LUMVEK_SRC(object);
    GST_OBJECT_LOCK(self);
    switch (id) {
    case PropertyDevice: g_value_set_int(value, self->device); break;
    case PropertyExposure: g_value_set_int(value, self->exposure); break;
    case PropertyGain: g_value_set_int(value, self->gain); break;
    case PropertyPersist: g_value_set_boolean(value, self->persist); break;
    case PropertyCameraId: g_value_set_string(value, self->cameraId); break;
    case PropertyWindow: g_value_set_string(value, self->window); break;
    case PropertyStats: break;  // below, without the object lock
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec); break;
    }
    GST_OBJECT_UNLOCK(self);
    if (id == PropertyStats) {
        LumvekStreamStatistics statistics{};
        {
            std::lock_guard lock(*self->feedLock);
            if (self->feed != nullptr) (void)self->feed->statistics(statistics);
        }
        g_value_take_boxed(value, lumvek::gst::statsStructure(statistics));
    }
}

// The window property, or the caps' width and height, at the window
// property's corner (0, 0 when none).
struct WindowWish {
    bool given = false;
    lumvek::tool::WindowText window;
};

bool windowProperty(LumvekSrc* self, WindowWish& wish) {
    GST_OBJECT_LOCK(self);
    const std::string text = self->window != nullptr ? self->window : "";
    GST_OBJECT_UNLOCK(self);
    if (text.empty()) return true;
    std::string error;
    const auto parsed = lumvek::tool::parseWindowText(text, error);
    if (!parsed) {
        GST_ELEMENT_ERROR(self, RESOURCE, SETTINGS, ("window property: %s", error.c_str()), (nullptr));
        return false;
    }
    wish.given = true;
    wish.window = *parsed;
    return true;
}

gboolean start(GstBaseSrc* base) {
    LumvekSrc* self = LUMVEK_SRC(base);
    auto feed = std::make_unique<CameraFeed>();
    GST_OBJECT_LOCK(self);
    const int device = self->device;
    const bool persist = self->persist;
    const std::string cameraId = self->cameraId != nullptr ? self->cameraId : "";
    GST_OBJECT_UNLOCK(self);
    WindowWish wish;
    if (!windowProperty(self, wish)) return FALSE;
    if (!(cameraId.empty() ? feed->open(device) : feed->openById(cameraId))) {
        GST_ELEMENT_ERROR(self, RESOURCE, OPEN_READ, ("%s", feed->error().c_str()), (nullptr));
        return FALSE;
    }
    feed->setPersist(persist);
    if (wish.given && !feed->setWindow(wish.window.x, wish.window.y, wish.window.width, wish.window.height)) {
        GST_ELEMENT_ERROR(self, RESOURCE, SETTINGS, ("window property: %s", feed->error().c_str()), (nullptr));
        return FALSE;
    }
    std::lock_guard lock(*self->feedLock);
    self->feed = feed.release();
    applySettings(self);
    if (!self->feed->measureFrameRate(self->rate)) {
        GST_ELEMENT_ERROR(self, RESOURCE, OPEN_READ, ("%s", self->feed->error().c_str()), (nullptr));
        delete self->feed;
        self->feed = nullptr;
        return FALSE;
    }
    self->width = self->feed->width();
    self->height = self->feed->height();
    self->bitsPerPixel = 0;
    self->haveFirstFrame = false;
    GST_INFO_OBJECT(self, "camera open: %d x %d, %d/%d frames/s", self->width, self->height, self->rate.numerator,
                    self->rate.denominator);
    return TRUE;
}

gboolean stop(GstBaseSrc* base) {
    LumvekSrc* self = LUMVEK_SRC(base);
    std::lock_guard lock(*self->feedLock);
    delete self->feed;
    self->feed = nullptr;
    return TRUE;
}

// The cameras of this SDK are colour cameras: a pipeline that takes any
// format (videoconvert) gets colour. The camera's current mode leads when it
// is a colour one, then BGR, BGRx, GRAY8, GRAY16_LE.
GstCaps* getCaps(GstBaseSrc* base, GstCaps* filter) {
    LumvekSrc* self = LUMVEK_SRC(base);
    if (self->feed == nullptr) {
        GstCaps* caps = gst_pad_get_pad_template_caps(GST_BASE_SRC_PAD(base));
        if (filter != nullptr) {
            GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
            gst_caps_unref(caps);
            return both;
        }
        return caps;
    }
    GstCaps* caps = gst_caps_new_empty();
    const auto* current = lumvek::gst::formatByBits(self->feed->colorMode());
    if (current != nullptr && !lumvek::gst::isColourFormat(*current)) current = nullptr;
    auto add = [&](const char* format) {
        gst_caps_append_structure(caps, gst_structure_new("video/x-raw", "format", G_TYPE_STRING, format, "width",
                                                          G_TYPE_INT, self->width, "height", G_TYPE_INT, self->height,
                                                          "framerate", GST_TYPE_FRACTION, self->rate.numerator,
                                                          self->rate.denominator, nullptr));
    };
    if (current != nullptr) {
        add(current->name);
    }
    for (const bool colour : {true, false}) {
        for (const auto& format : lumvek::gst::videoFormats()) {
            if (&format != current && lumvek::gst::isColourFormat(format) == colour) {
                add(format.name);
            }
        }
    }
    // The raw mosaic last: a pipeline that takes anything gets a picture.
    gst_caps_append_structure(caps, gst_structure_new(kBayerCaps, "format", G_TYPE_STRING, self->feed->bayerOrder(),
                                                      "width", G_TYPE_INT, self->width, "height", G_TYPE_INT,
                                                      self->height, "framerate", GST_TYPE_FRACTION,
                                                      self->rate.numerator, self->rate.denominator, nullptr));
    if (filter != nullptr) {
        GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(caps);
        return both;
    }
    return caps;
}

// Caps downstream that fix another width or height than the camera's ask
// for a capture window (at the window property's corner): set it, or fail
// the negotiation with the window rule in words.
gboolean negotiate(GstBaseSrc* base) {
    LumvekSrc* self = LUMVEK_SRC(base);
    if (self->feed != nullptr) {
        GstCaps* peer = gst_pad_peer_query_caps(GST_BASE_SRC_PAD(base), nullptr);
        int width = self->width;
        int height = self->height;
        if (peer != nullptr && !gst_caps_is_any(peer) && !gst_caps_is_empty(peer)) {
            const GstStructure* s = gst_caps_get_structure(peer, 0);
            (void)gst_structure_get_int(s, "width", &width);
            (void)gst_structure_get_int(s, "height", &height);
        }
        if (peer != nullptr) gst_caps_unref(peer);
        if (width != self->width || height != self->height) {
            WindowWish wish;
            if (!windowProperty(self, wish)) return FALSE;
            if (!self->feed->setWindow(wish.window.x, wish.window.y, width, height)) {
                GST_ELEMENT_ERROR(self, CORE, NEGOTIATION,
                                  ("caps ask for %d x %d: %s", width, height, self->feed->error().c_str()), (nullptr));
                return FALSE;
            }
            self->width = self->feed->width();
            self->height = self->feed->height();
        }
    }
    return GST_BASE_SRC_CLASS(lumvek_src_parent_class)->negotiate(base);
}

// Downstream elements list their own formats first (videoconvert before
// pngenc offers GRAY8 ahead of colour), so the first structure is not ours
// to take: among the formats the peer accepts, ours in the order of
// getCaps wins.
GstCaps* fixate(GstBaseSrc* base, GstCaps* caps) {
    LumvekSrc* self = LUMVEK_SRC(base);
    GstCaps* preferred = getCaps(base, nullptr);
    GstCaps* chosen = nullptr;
    for (guint i = 0; i < gst_caps_get_size(preferred) && chosen == nullptr; ++i) {
        GstCaps* one = gst_caps_copy_nth(preferred, i);
        if (self->feed == nullptr) {
            gst_caps_unref(one);
            break;
        }
        GstCaps* both = gst_caps_intersect(caps, one);
        gst_caps_unref(one);
        if (gst_caps_is_empty(both)) {
            gst_caps_unref(both);
        } else {
            chosen = both;
        }
    }
    gst_caps_unref(preferred);
    if (chosen != nullptr) {
        gst_caps_unref(caps);
        caps = chosen;
    }
    return GST_BASE_SRC_CLASS(lumvek_src_parent_class)->fixate(base, caps);
}

gboolean setCaps(GstBaseSrc* base, GstCaps* caps) {
    LumvekSrc* self = LUMVEK_SRC(base);
    if (self->feed == nullptr) return FALSE;
    const GstStructure* structure = gst_caps_get_structure(caps, 0);
    if (gst_structure_has_name(structure, kBayerCaps)) {
        const char* order = gst_structure_get_string(structure, "format");
        int width = 0;
        int height = 0;
        if (order == nullptr || std::string(order) != self->feed->bayerOrder() ||
            !gst_structure_get_int(structure, "width", &width) || !gst_structure_get_int(structure, "height", &height) ||
            width != self->width || height != self->height) {
            GST_ELEMENT_ERROR(self, CORE, NEGOTIATION,
                              ("caps the camera cannot give (its mosaic is %s): %" GST_PTR_FORMAT,
                               self->feed->bayerOrder(), caps),
                              (nullptr));
            return FALSE;
        }
        if (!self->feed->start(8)) {
            GST_ELEMENT_ERROR(self, RESOURCE, READ, ("%s", self->feed->error().c_str()), (nullptr));
            return FALSE;
        }
        // Rows padded to 4 bytes, as bayer2rgb reads them.
        self->bitsPerPixel = 8;
        self->haveFirstFrame = false;
        gst_base_src_set_blocksize(base, static_cast<guint>(lumvek::gst::frameBytes(self->width, self->height, 8)));
        return TRUE;
    }
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, caps)) {
        return FALSE;
    }
    const auto* format = lumvek::gst::formatByName(gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(&info)));
    if (format == nullptr || GST_VIDEO_INFO_WIDTH(&info) != self->width || GST_VIDEO_INFO_HEIGHT(&info) != self->height) {
        GST_ELEMENT_ERROR(self, CORE, NEGOTIATION, ("caps the camera cannot give: %" GST_PTR_FORMAT, caps), (nullptr));
        return FALSE;
    }
    if (!self->feed->start(format->bitsPerPixel)) {
        GST_ELEMENT_ERROR(self, RESOURCE, READ, ("%s", self->feed->error().c_str()), (nullptr));
        return FALSE;
    }
    self->bitsPerPixel = format->bitsPerPixel;
    self->haveFirstFrame = false;
    self->framesPushed = 0;
    self->framesLost = 0;
    gst_base_src_set_blocksize(base,
                               static_cast<guint>(lumvek::gst::frameBytes(self->width, self->height, self->bitsPerPixel)));
    return TRUE;
}

// Running time of a frame the library stamped `frameMs` on its own clock.
GstClockTime runningTimeOf(LumvekSrc* self, guint32 frameMs) {
    if (!self->haveFirstFrame) {
        GstClock* clock = gst_element_get_clock(GST_ELEMENT(self));
        GstClockTime now = 0;
        if (clock != nullptr) {
            const GstClockTime clockTime = gst_clock_get_time(clock);
            const GstClockTime baseTime = gst_element_get_base_time(GST_ELEMENT(self));
            now = clockTime > baseTime ? clockTime - baseTime : 0;
            gst_object_unref(clock);
        }
        self->firstFrameMs = frameMs;
        self->firstRunningTime = now;
        self->haveFirstFrame = true;
    }
    // Unsigned difference: right across the library clock's wrap.
    return self->firstRunningTime + static_cast<GstClockTime>(static_cast<guint32>(frameMs - self->firstFrameMs)) *
                                        GST_MSECOND;
}

GstFlowReturn create(GstPushSrc* src, GstBuffer** out) {
    LumvekSrc* self = LUMVEK_SRC(src);
    if (self->feed == nullptr || self->bitsPerPixel == 0) {
        return GST_FLOW_NOT_NEGOTIATED;
    }
    lumvek::tool::FrameWait wait;
    for (int waited = 0; waited < kFrameTimeoutMs; waited += kWaitSliceMs) {
        if (self->unlocking->load()) {
            return GST_FLOW_FLUSHING;
        }
        wait = self->feed->waitFrame(kWaitSliceMs);
        if (wait.kind != lumvek::tool::FrameWait::Timeout) {
            break;
        }
    }
    if (wait.kind == lumvek::tool::FrameWait::Failed) {
        GST_ELEMENT_ERROR(self, RESOURCE, READ,
                          ("%s", wait.code == LUMVEK_ERR_DEVICE_LOST ? "the camera was lost"
                                                                      : "the camera did not deliver a frame"),
                          ("%s", lumvek::tool::describeSdkError(wait.code).c_str()));
        return GST_FLOW_ERROR;
    }
    if (wait.kind == lumvek::tool::FrameWait::Timeout) {
        GST_ELEMENT_ERROR(self, RESOURCE, READ, ("no frame from the camera within %d ms", kFrameTimeoutMs), (nullptr));
        return GST_FLOW_ERROR;
    }
    const size_t size = lumvek::gst::frameBytes(self->width, self->height, self->bitsPerPixel);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, size, nullptr);
    GstMapInfo map;
    if (buffer == nullptr || !gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
        if (buffer != nullptr) gst_buffer_unref(buffer);
        GST_ELEMENT_ERROR(self, RESOURCE, NO_SPACE_LEFT, ("no memory for a frame of %zu bytes", size), (nullptr));
        return GST_FLOW_ERROR;
    }
    LumvekFrameMetadata metadata{};
    const bool copied = self->feed->copyFrame(map.data, map.size, metadata);
    gst_buffer_unmap(buffer, &map);
    if (!copied) {
        gst_buffer_unref(buffer);
        GST_ELEMENT_ERROR(self, RESOURCE, READ, ("%s", self->feed->error().c_str()), (nullptr));
        return GST_FLOW_ERROR;
    }
    GST_BUFFER_PTS(buffer) = runningTimeOf(self, wait.timeMs);
    GST_BUFFER_DURATION(buffer) =
        self->rate.numerator > 0 ? gst_util_uint64_scale_int(GST_SECOND, self->rate.denominator, self->rate.numerator)
                                 : GST_CLOCK_TIME_NONE;
    // The frame's own times where the library gave them (the message's
    // clock above stands in otherwise).
    if (metadata.completeMonotonicNs != 0) {
        lumvek::gst::stampBuffer(GST_ELEMENT(self), buffer, metadata);
    }
    ++self->framesPushed;
    if (metadata.framesLostBefore > 0) {
        self->framesLost += metadata.framesLostBefore;
        lumvek::gst::postLostFrames(GST_ELEMENT(self), buffer, self->framesPushed, self->framesLost);
    }
    *out = buffer;
    return GST_FLOW_OK;
}

gboolean unlock(GstBaseSrc* base) {
    LUMVEK_SRC(base)->unlocking->store(true);
    return TRUE;
}

gboolean unlockStop(GstBaseSrc* base) {
    LUMVEK_SRC(base)->unlocking->store(false);
    return TRUE;
}

void finalize(GObject* object) {
    LumvekSrc* self = LUMVEK_SRC(object);
    delete self->feed;
    self->feed = nullptr;
    delete self->unlocking;
    delete self->feedLock;
    g_free(self->cameraId);
    g_free(self->window);
    G_OBJECT_CLASS(lumvek_src_parent_class)->finalize(object);
}

} // namespace

static void lumvek_src_class_init(LumvekSrcClass* klass) {
    GObjectClass* objectClass = G_OBJECT_CLASS(klass);
    GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
    GstBaseSrcClass* baseClass = GST_BASE_SRC_CLASS(klass);
    GstPushSrcClass* pushClass = GST_PUSH_SRC_CLASS(klass);

    objectClass->set_property = setProperty;
    objectClass->get_property = getProperty;
    objectClass->finalize = finalize;
    // Applied when the element starts (READY to PAUSED).
    constexpr auto flags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_READY);
    // Applied at start and, while the camera runs, at once.
    constexpr auto liveFlags =
        static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING);
    g_object_class_install_property(
        objectClass, PropertyDevice,
        g_param_spec_int("device", "Device number",
                         "Camera to open by device number; -1: the only camera present", kNoValue, kMaxProperty,
                         kNoValue, flags));
    g_object_class_install_property(
        objectClass, PropertyExposure,
        g_param_spec_int("exposure", "Exposure", "Exposure time in units of 0.1 ms; -1: the camera's current one",
                         kNoValue, kMaxProperty, kNoValue, liveFlags));
    g_object_class_install_property(
        objectClass, PropertyGain,
        g_param_spec_int("gain", "Gain", "Analog gain of all colours; -1: the camera's current one", kNoValue,
                         kMaxProperty, kNoValue, liveFlags));
    g_object_class_install_property(
        objectClass, PropertyPersist,
        g_param_spec_boolean("persist", "Persist settings",
                             "Keep exposure, gain and colour mode in the camera's settings store after the element "
                             "stops; by default the stored values are put back",
                             FALSE, flags));
    g_object_class_install_property(
        objectClass, PropertyCameraId,
        g_param_spec_string("camera-id", "Camera id",
                            "Camera to open by its id (lumvek list): USB serial number, else bus and port; a "
                            "simulated camera's name. Takes the place of device when set",
                            nullptr, flags));
    g_object_class_install_property(
        objectClass, PropertyWindow,
        g_param_spec_string("window", "Capture window",
                            "WxH or WxH+X+Y in sensor pixels; a window the camera cannot take fails with the rule "
                            "it breaks and what it accepts. Caps with another width or height ask for a window too",
                            nullptr, flags));

    g_object_class_install_property(
        objectClass, PropertyStats,
        g_param_spec_boxed("stats", "Statistics",
                           "The stream's counters (application/x-lumvek-stats): frames delivered, lost in the "
                           "transfer, overwritten, not delivered; bytes; rate; delivery latency median and p99",
                           GST_TYPE_STRUCTURE, static_cast<GParamFlags>(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));

    gst_element_class_set_static_metadata(elementClass, "Lumvek camera source", "Source/Video",
                                          "Processed frames of a Lumvek USB3 industrial camera", "Lumvek SDK");
    gst_element_class_add_static_pad_template(elementClass, &srcTemplate);

    baseClass->start = start;
    baseClass->stop = stop;
    baseClass->get_caps = getCaps;
    baseClass->set_caps = setCaps;
    baseClass->fixate = fixate;
    baseClass->negotiate = negotiate;
    baseClass->unlock = unlock;
    baseClass->unlock_stop = unlockStop;
    pushClass->create = create;
    GST_DEBUG_CATEGORY_INIT(lumvek_src_debug, "lumveksrc", 0, "Lumvek camera source");
}

static void lumvek_src_init(LumvekSrc* self) {
    self->device = kNoValue;
    self->exposure = kNoValue;
    self->gain = kNoValue;
    self->persist = false;
    self->cameraId = nullptr;
    self->window = nullptr;
    self->feedLock = new std::mutex;
    self->feed = nullptr;
    self->rate = {};
    self->width = kFullWidth;
    self->height = kFullHeight;
    self->bitsPerPixel = 0;
    self->haveFirstFrame = false;
    self->firstFrameMs = 0;
    self->firstRunningTime = 0;
    self->unlocking = new std::atomic<bool>(false);
    self->framesPushed = 0;
    self->framesLost = 0;
    gst_base_src_set_live(GST_BASE_SRC(self), TRUE);
    gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
}
