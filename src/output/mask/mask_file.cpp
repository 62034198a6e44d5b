#include "output/mask/mask_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "output/output_file.h"
#include "platform/file/file_calls.h"

namespace lumvek {

namespace {

struct PlaneSpec {
    ImageBuffer* plane;
    int bits;
    uint32_t bytes;
};

std::array<PlaneSpec, 4> planeSpecs(const ReferencePlanes& planes) {
    return {{{&planes.dark8, 8, kMaskPlane8Bytes},
             {&planes.white8, 8, kMaskPlane8Bytes},
             {&planes.dark16, 16, kMaskPlane16Bytes},
             {&planes.white16, 16, kMaskPlane16Bytes}}};
}

uint32_t readU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// Reads up to bytes; returns how many arrived before the end of the file
// (or -1 on a read error).
ssize_t readUpTo(int fd, uint8_t* into, size_t bytes) {
    size_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::read(fd, into + done, bytes - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

bool headerValid(const uint8_t (&header)[kMaskHeaderBytes]) {
    return std::memcmp(header, kMaskMagic, sizeof kMaskMagic) == 0 && readU32(header + 16) == kMaskWidth &&
           readU32(header + 20) == kMaskHeight && readU32(header + 24) == kMaskPlane8Bytes &&
           readU32(header + 28) == kMaskPlane8Bytes && readU32(header + 32) == kMaskPlane16Bytes &&
           readU32(header + 36) == kMaskPlane16Bytes;
}

} // namespace

MaskFileOutcome saveMaskFile(const char* path, const ReferencePlanes& planes) {
    const auto specs = planeSpecs(planes);
    OutputFile file;
    if (!file.open(path)) {
        return {0, kErrorMaskFile};
    }
    file.write(kMaskMagic, sizeof kMaskMagic);
    file.writeU32(static_cast<uint32_t>(planes.dark8.width()));
    file.writeU32(static_cast<uint32_t>(planes.dark8.height()));
    for (const PlaneSpec& s : specs) {
        file.writeU32(static_cast<uint32_t>(s.plane->sizeBytes()));
    }
    for (const PlaneSpec& s : specs) {
        if (!s.plane->empty()) {
            file.write(s.plane->pixels(), s.plane->sizeBytes());
        }
    }
    return file.close() ? MaskFileOutcome{1, 0} : MaskFileOutcome{0, kErrorMaskFile};
}

MaskFileOutcome loadMaskFile(const char* path, const ReferencePlanes& planes) {
    const auto specs = planeSpecs(planes);
    for (const PlaneSpec& s : specs) {
        if (s.plane->width() != kMaskWidth || s.plane->height() != kMaskHeight || s.plane->bitsPerPixel() != s.bits ||
            s.plane->sizeBytes() != s.bytes) {
            return {0, kErrorMaskFile};
        }
    }
    if (path == nullptr || path[0] == '\0') {
        return {0, kErrorMaskFile};
    }
    // Non-blocking so that a FIFO given as the path is refused at once rather
    // than waited on; regular files read the same either way.
    const int fd = platform::openFile(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return {0, kErrorMaskFile};
    }
    struct stat info {};
    uint8_t header[kMaskHeaderBytes];
    // A file shorter than its header promises is refused before any plane is
    // read, so a truncated copy never mixes with the references in use.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<uint64_t>(info.st_size) < kMaskFileBytes ||
        readUpTo(fd, header, sizeof header) != static_cast<ssize_t>(sizeof header) || !headerValid(header)) {
        ::close(fd);
        return {0, kErrorMaskFile};
    }
    // Each read bounded by its plane. A file cut while it is read leaves the
    // planes partly overwritten and fails: callers read into a copy.
    for (const PlaneSpec& s : specs) {
        if (readUpTo(fd, s.plane->pixels(), s.bytes) != static_cast<ssize_t>(s.bytes)) {
            ::close(fd);
            return {0, kErrorMaskFile};
        }
    }
    ::close(fd);
    return {1, 0};
}

} // namespace lumvek
