#include "platform/sync/thread_priority.h"

#include <windows.h>

namespace lumvek::platform {

void raiseCurrentThreadToTimeCritical() {
    // Allowed for every process of the normal priority class.
    (void)SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
}

} // namespace lumvek::platform
