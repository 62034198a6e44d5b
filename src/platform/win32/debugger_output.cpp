#include "platform/log/debugger_output.h"

#include <string>

#include <windows.h>

namespace lumvek::platform {

void debuggerOutput(LogCategory category, const char* line) {
    // One call per line, ended as the debugger's viewers expect.
    OutputDebugStringA((std::string(line) + "\r\n").c_str());
    logf(category, "%s", line);
}

} // namespace lumvek::platform
