#pragma once
// The library's few lines meant for a developer's debugger, whether or not
// LUMVEK_LOG selects their category: on Windows they go to the debugger
// (OutputDebugStringA: a debugger, DebugView or `wine` with +debugstr shows
// them), everywhere to the diagnostic log of their category as well.
#include "platform/log/log.h"

namespace lumvek::platform {

void debuggerOutput(LogCategory category, const char* line);

} // namespace lumvek::platform
