// libgstlumvek: the GStreamer plugin holding lumveksrc.
#include <gst/gst.h>

#include "lumvek_src.h"

#ifndef PACKAGE
#define PACKAGE "lumvek"
#endif

namespace {
gboolean pluginInit(GstPlugin* plugin) {
    return gst_element_register(plugin, "lumveksrc", GST_RANK_NONE, LUMVEK_TYPE_SRC);
}
} // namespace

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, lumvek, "Lumvek USB3 industrial cameras", pluginInit, "1.0.0",
                  "Proprietary", "Lumvek SDK", "https://lumvek.invalid")
