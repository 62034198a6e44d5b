#pragma once
// Time-critical priority for the frame transfer thread (and the simulated
// camera's serving threads): SCHED_FIFO where the process may ask for it;
// silently skipped otherwise.
namespace lumvek::platform {

void raiseCurrentThreadToTimeCritical();

} // namespace lumvek::platform
