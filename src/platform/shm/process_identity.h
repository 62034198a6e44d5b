#pragma once
// Who a process is, in a form that survives in shared memory and tells a live
// process from a dead one whose process id was reused.
#include <cstdint>

namespace lumvek::platform {

struct ProcessIdentity {
    int32_t pid = 0;
    uint64_t startTicks = 0;  // start time since boot in clock ticks (/proc/<pid>/stat field 22)
};

[[nodiscard]] ProcessIdentity currentProcessIdentity();

// False when the process has exited (a zombie counts as exited) or its id now
// belongs to a process that started at another time.
[[nodiscard]] bool isProcessAlive(const ProcessIdentity& identity);

} // namespace lumvek::platform
