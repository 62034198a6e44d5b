#pragma once
// The C entry point of the GTK viewer module (libLumvekViewerGtk.so), which
// `lumvek view` loads with dlopen from the library's folder when it is
// there, so that the tool itself needs no GTK: without the module it shows
// the plain X11 preview window.
#include <cstdint>

#include "LumvekWindow.h"

extern "C" {

struct LumvekViewerRequest {
    int32_t handle;       // an SDK instance; its camera open when deviceNumber >= 0
    HWND notifyWindow;    // the window given to Lumvek_Initialize (errors, device changes)
    int deviceNumber;     // the camera open, or -1
    int automate;         // non-zero: commands on standard input, answers on standard output
};

// Shows the viewer until it is closed. Returns the exit code (0), or
// kViewerNotShown when GTK could not open the display.
using LumvekViewerRun = int (*)(const LumvekViewerRequest* request);
}

namespace lumvek::viewer {
inline constexpr int kViewerNotShown = -1;
inline constexpr const char* kViewerModuleFile = "libLumvekViewerGtk.so";
inline constexpr const char* kViewerModuleEntry = "lumvek_viewer_gtk_run";
} // namespace lumvek::viewer
