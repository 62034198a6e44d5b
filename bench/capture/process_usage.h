#pragma once
// What /proc tells about a process: its processor time (user + system, every
// thread) and the resident memory of this process.
#include <sys/types.h>

namespace lumvek::bench {

// Processor seconds of `pid` so far; a negative value when it cannot be read.
[[nodiscard]] double processCpuSeconds(pid_t pid);
// VmRSS of this process in MiB; a negative value when it cannot be read.
[[nodiscard]] double residentMiB();

} // namespace lumvek::bench
