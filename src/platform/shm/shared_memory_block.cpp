#include "platform/shm/shared_memory_block.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/log/log.h"

namespace lumvek::platform {

std::unique_ptr<SharedMemoryBlock> SharedMemoryBlock::open(const std::string& name, size_t bytes, Mode mode) {
    if (name.empty() || bytes == 0) {
        return nullptr;
    }
    bool created = false;
    int fd = shm_open(name.c_str(), O_RDWR, 0600);
    if (fd < 0 && errno == ENOENT && mode == Mode::OpenOrCreate) {
        fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        if (fd >= 0) {
            created = true;
        } else if (errno == EEXIST) {
            fd = shm_open(name.c_str(), O_RDWR, 0600);  // lost a creation race: use theirs
        }
    }
    if (fd < 0) {
        return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || (static_cast<size_t>(st.st_size) < bytes && ftruncate(fd, static_cast<off_t>(bytes)) != 0)) {
        logf(LogCategory::Platform, "shared memory %s: cannot size to %zu bytes (errno %d)", name.c_str(), bytes, errno);
        ::close(fd);
        return nullptr;
    }
    void* view = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<SharedMemoryBlock>(new SharedMemoryBlock(fd, static_cast<uint8_t*>(view), bytes, created));
}

bool SharedMemoryBlock::unlink(const std::string& name) {
    return shm_unlink(name.c_str()) == 0;
}

bool SharedMemoryBlock::stillNamed(const std::string& name) const {
    const int current = shm_open(name.c_str(), O_RDONLY, 0);
    if (current < 0) {
        return false;
    }
    struct stat mine {};
    struct stat named {};
    const bool same = fstat(fd_, &mine) == 0 && fstat(current, &named) == 0 && mine.st_dev == named.st_dev &&
                      mine.st_ino == named.st_ino;
    ::close(current);
    return same;
}

SharedMemoryBlock::SharedMemoryBlock(int fd, uint8_t* data, size_t size, bool created)
    : fd_(fd), data_(data), size_(size), created_(created) {}

SharedMemoryBlock::~SharedMemoryBlock() {
    munmap(data_, size_);
    ::close(fd_);
}

} // namespace lumvek::platform
