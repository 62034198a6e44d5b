#pragma once
// Finds the GTK viewer module beside the SDK library and runs it.
#include <optional>

#include "camera_session.h"

namespace lumvek::tool {

// The viewer's exit code, or nullopt when the module is not installed or
// could not open the display (the caller shows the plain window then).
[[nodiscard]] std::optional<int> runGtkViewer(CameraSession& session, bool automate);

} // namespace lumvek::tool
