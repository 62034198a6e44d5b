#include "platform/log/debugger_output.h"

namespace lumvek::platform {

// Linux has no debugger channel of its own: the diagnostic log is the place.
void debuggerOutput(LogCategory category, const char* line) {
    logf(category, "%s", line);
}

} // namespace lumvek::platform
