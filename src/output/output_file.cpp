#include "output/output_file.h"

#include <unistd.h>

namespace lumvek {

OutputFile::~OutputFile() {
    good_ = false;
    close();
}

bool OutputFile::open(const char* path) {
    good_ = false;
    close();
    const int fd = replacement_.open(path);
    if (fd < 0) {
        return false;
    }
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
        ::close(fd);
        replacement_.abandon();
        return false;
    }
    good_ = true;
    return true;
}

bool OutputFile::write(const void* data, size_t bytes) {
    if (!good()) {
        return false;
    }
    if (bytes != 0 && std::fwrite(data, 1, bytes, file_) != bytes) {
        good_ = false;
    }
    return good_;
}

bool OutputFile::writeU32(uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return write(bytes, sizeof bytes);
}

bool OutputFile::writeU16(uint16_t value) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    return write(bytes, sizeof bytes);
}

bool OutputFile::patchU32(int64_t position, uint32_t value) {
    if (!good()) {
        return false;
    }
    if (fseeko(file_, static_cast<off_t>(position), SEEK_SET) != 0) {
        good_ = false;
        return false;
    }
    writeU32(value);
    if (fseeko(file_, 0, SEEK_END) != 0) {
        good_ = false;
    }
    return good_;
}

int64_t OutputFile::position() const {
    return file_ == nullptr ? -1 : static_cast<int64_t>(ftello(file_));
}

bool OutputFile::close() {
    if (file_ == nullptr) {
        return false;
    }
    if (std::fflush(file_) != 0 || std::ferror(file_) != 0) {
        good_ = false;
    }
    if (std::fclose(file_) != 0) {
        good_ = false;
    }
    file_ = nullptr;
    const bool ok = good_ && replacement_.commit();
    if (!ok) {
        replacement_.abandon();
    }
    good_ = false;
    return ok;
}

} // namespace lumvek
