#include "output/avi/descriptor_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace lumvek {

DescriptorFile::~DescriptorFile() {
    close();
}

bool DescriptorFile::open(const char* path) {
    close();
    if (path == nullptr || path[0] == '\0') {
        return false;
    }
    fd_ = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    end_ = 0;
    return fd_ >= 0;
}

bool DescriptorFile::append(const void* data, size_t bytes) {
    if (fd_ < 0) {
        return false;
    }
    const auto* p = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::pwrite(fd_, p + done, bytes - done, static_cast<off_t>(end_ + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    end_ += bytes;
    return true;
}

bool DescriptorFile::patchU32(uint64_t position, uint32_t value) {
    if (fd_ < 0 || position + 4 > end_) {
        return false;
    }
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    ssize_t n;
    do {
        n = ::pwrite(fd_, bytes, sizeof bytes, static_cast<off_t>(position));
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(sizeof bytes);
}

bool DescriptorFile::truncateTo(uint64_t length) {
    if (fd_ < 0 || ::ftruncate(fd_, static_cast<off_t>(length)) != 0) {
        return false;
    }
    end_ = length;
    return true;
}

bool DescriptorFile::close() {
    if (fd_ < 0) {
        return false;
    }
    const bool ok = ::close(fd_) == 0;
    fd_ = -1;
    return ok;
}

} // namespace lumvek
