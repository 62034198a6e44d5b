#pragma once
// Finds the GTK viewer module beside the SDK library and runs it.
#include <optional>

#include "camera_session.h"
#include "viewer/viewer_module.h"

namespace lumvek::tool {

// The viewer's entry point, or null when the module is not installed.
[[nodiscard]] LumvekViewerRun loadGtkViewer();

// The viewer's exit code, or nullopt when it could not open the display
// (the caller shows the plain window then).
[[nodiscard]] std::optional<int> runGtkViewer(LumvekViewerRun run, CameraSession& session, bool automate);

} // namespace lumvek::tool
