#include "platform/shm/process_identity.h"

#include <windows.h>

namespace lumvek::platform {

namespace {

// The creation time of a process (100 ns units since 1601), 0 when unknown.
uint64_t creationTime(HANDLE process) {
    FILETIME created{};
    FILETIME exited{};
    FILETIME kernel{};
    FILETIME user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        return 0;
    }
    return (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

} // namespace

ProcessIdentity currentProcessIdentity() {
    return ProcessIdentity{static_cast<int32_t>(GetCurrentProcessId()), creationTime(GetCurrentProcess())};
}

bool isProcessAlive(const ProcessIdentity& identity) {
    if (identity.pid <= 0) {
        return false;
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(identity.pid));
    if (process == nullptr) {
        // No such process, or one we may not look at: only the first is dead.
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    DWORD exitCode = 0;
    const bool running = GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
    const bool same = creationTime(process) == identity.startTicks;
    CloseHandle(process);
    return running && same;
}

} // namespace lumvek::platform
