// The millisecond clock of the system: GetTickCount64, whose low 32 bits are
// what timeGetTime and GetTickCount return (and wrap the same way).
#include "platform/sync/clock.h"

#include <windows.h>

namespace lumvek::platform {

uint32_t tickMs() {
    return static_cast<uint32_t>(GetTickCount64());
}

void sleepMs(uint32_t ms) {
    Sleep(ms);
}

} // namespace lumvek::platform
