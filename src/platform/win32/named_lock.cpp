// The named lock as a named mutex of the session. The system hands an
// abandoned mutex (its holder died inside the critical section) to the next
// waiter, which then owns it: a crashed process never wedges the others.
#include "platform/shm/named_lock.h"

#include <windows.h>

#include "platform/win32/kernel_object_name.h"

namespace lumvek::platform {

NamedLockGuard::NamedLockGuard(std::string name) : name_(std::move(name)) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, win32::kernelObjectName(name_).c_str());
    if (mutex == nullptr) {
        return;
    }
    const DWORD waited = WaitForSingleObject(mutex, INFINITE);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return;
    }
    mutex_ = mutex;
}

NamedLockGuard::~NamedLockGuard() {
    if (mutex_ != nullptr) {
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
}

void NamedLockGuard::removeName() {
    // The mutex goes with its last handle; nothing is left to remove.
}

} // namespace lumvek::platform
