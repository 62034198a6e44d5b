#pragma once
// A lock shared by every process on the machine that names it, held for one
// scope. It is an advisory whole-file lock (flock) on a small named
// shared-memory object, so the kernel releases it when a holder dies: a
// process killed inside the critical section never wedges the others.
// Each guard opens its own file description, so guards in different threads
// of one process exclude each other as well. On Windows it is a named mutex
// (src/platform/win32), which the system hands on when its holder dies.
#include <string>

namespace lumvek::platform {

class NamedLockGuard {
public:
    // Blocks until the lock `name` ("/name") is held. held() is false only
    // when the lock object can be neither opened nor created.
    explicit NamedLockGuard(std::string name);
    ~NamedLockGuard();
    NamedLockGuard(const NamedLockGuard&) = delete;
    NamedLockGuard& operator=(const NamedLockGuard&) = delete;

#ifdef _WIN32
    [[nodiscard]] bool held() const { return mutex_ != nullptr; }
#else
    [[nodiscard]] bool held() const { return fd_ >= 0; }
#endif

    // Removes the lock's name while holding it, so that nothing is left
    // behind once the protected state is gone. Processes waiting on the old
    // object notice and retry on a fresh one.
    void removeName();

private:
    std::string name_;
#ifdef _WIN32
    void* mutex_ = nullptr;  // the named mutex's handle, owned while held
#else
    int fd_ = -1;
#endif
};

} // namespace lumvek::platform
