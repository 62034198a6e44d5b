#include "platform/sync/thread_priority.h"

#include <pthread.h>
#include <sched.h>

namespace lumvek::platform {

void raiseCurrentThreadToTimeCritical() {
    sched_param param{};
    param.sched_priority = sched_get_priority_max(SCHED_FIFO);
    // Without CAP_SYS_NICE or an rtprio limit this fails: the thread keeps its
    // normal priority, which is fine for every camera of the family.
    (void)pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

} // namespace lumvek::platform
