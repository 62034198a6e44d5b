#include "output/avi/descriptor_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file/file_calls.h"

namespace lumvek {

DescriptorFile::~DescriptorFile() {
    close();
}

bool DescriptorFile::open(const char* path) {
    close();
    published_ = false;
    lastError_ = 0;
    end_ = 0;
    fd_ = replacement_.open(path);
    return fd_ >= 0;
}

bool DescriptorFile::publish() {
    if (fd_ < 0 || published_) {
        return fd_ >= 0;
    }
    published_ = replacement_.commit();
    return published_;
}

bool DescriptorFile::append(const void* data, size_t bytes) {
    if (!patch(end_, data, bytes)) {
        return false;
    }
    end_ += bytes;
    return true;
}

bool DescriptorFile::patch(uint64_t position, const void* data, size_t bytes) {
    if (fd_ < 0) {
        return false;
    }
    const auto* p = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < bytes) {
        const int64_t n = platform::writeAt(fd_, p + done, bytes - done, position + done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            lastError_ = n < 0 ? errno : ENOSPC;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool DescriptorFile::patchU32(uint64_t position, uint32_t value) {
    if (fd_ < 0 || position + 4 > end_) {
        return false;
    }
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return patch(position, bytes, sizeof bytes);
}

bool DescriptorFile::truncateTo(uint64_t length) {
    if (fd_ < 0 || !platform::truncateFile(fd_, length)) {
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
    if (!published_) {
        replacement_.abandon();
        return false;
    }
    return ok;
}

void DescriptorFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (published_) {
        replacement_.removeCommitted();
        published_ = false;
    } else {
        replacement_.abandon();
    }
}

} // namespace lumvek
