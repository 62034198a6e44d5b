#pragma once
// lumveksrc: a live GStreamer source of a Lumvek camera's processed frames.
//
//   gst-launch-1.0 lumveksrc num-buffers=5 ! video/x-raw,format=GRAY8 ! filesink location=f.raw
//
// Properties: device (device number; -1: the camera Lumvek_Initialize
// opens), exposure (0.1 ms units; -1 leaves the camera's) and gain (-1
// leaves it), both also changeable while playing, persist (false: the
// exposure, gains and colour mode the camera had are put back when the
// element stops, so the settings store keeps them), and the base class's
// num-buffers. Caps: video/x-raw BGR, BGRx, GRAY8 or GRAY16_LE (colour
// first) at the capture window's size and the camera's measured frame rate;
// the format chosen by negotiation picks the colour mode. Buffers carry the
// frame times of the SDK's frame messages.
#include <gst/base/gstpushsrc.h>

G_BEGIN_DECLS

#define LUMVEK_TYPE_SRC (lumvek_src_get_type())
G_DECLARE_FINAL_TYPE(LumvekSrc, lumvek_src, LUMVEK, SRC, GstPushSrc)

G_END_DECLS
