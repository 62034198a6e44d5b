#include "platform/shm/named_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumvek::platform {

namespace {

// True when `name` still refers to the object open on fd: a holder may have
// removed the name (and someone may have created a new object under it)
// while this process waited for the old one.
bool nameStillRefersTo(const std::string& name, int fd) {
    const int current = shm_open(name.c_str(), O_RDONLY, 0);
    if (current < 0) {
        return false;
    }
    struct stat a {};
    struct stat b {};
    const bool same = fstat(fd, &a) == 0 && fstat(current, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    ::close(current);
    return same;
}

} // namespace

NamedLockGuard::NamedLockGuard(std::string name) : name_(std::move(name)) {
    constexpr int kMaxTries = 1000;  // each retry means another holder removed the name meanwhile
    for (int attempt = 0; attempt < kMaxTries; ++attempt) {
        const int fd = shm_open(name_.c_str(), O_RDWR | O_CREAT, 0600);
        if (fd < 0) {
            return;
        }
        int rc;
        do {
            rc = flock(fd, LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        if (rc == 0 && nameStillRefersTo(name_, fd)) {
            fd_ = fd;
            return;
        }
        ::close(fd);  // closing drops the flock
        if (rc != 0) {
            return;
        }
    }
}

NamedLockGuard::~NamedLockGuard() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void NamedLockGuard::removeName() {
    if (fd_ >= 0) {
        shm_unlink(name_.c_str());
    }
}

} // namespace lumvek::platform
