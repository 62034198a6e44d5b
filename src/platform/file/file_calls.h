#pragma once
// The few file calls of the writers and readers (output/) that differ
// between the systems, with the POSIX meaning on both:
//   - openFile: open(2). On Windows the file is opened in binary mode, is
//     never inherited by child processes and may be renamed or deleted while
//     open (as a POSIX file may), so that a writer can give an open file its
//     final name.
//   - writeAt: pwrite(2), all or part of the bytes at an offset.
//   - truncateFile: ftruncate(2), to 64-bit lengths.
//   - replaceFile: rename(2), replacing an existing target.
#include <cstddef>
#include <cstdint>
#include <sys/types.h>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
// openFile never lets a child inherit a file, and Windows has no FIFOs to
// refuse: the flags the POSIX callers add mean nothing more there.
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
#else
#include <stdio.h>
#include <unistd.h>
#endif

namespace lumvek::platform {

#ifdef _WIN32
[[nodiscard]] int openFile(const char* path, int flags, int mode = 0);
[[nodiscard]] int64_t writeAt(int fd, const void* data, size_t bytes, uint64_t offset);
[[nodiscard]] bool truncateFile(int fd, uint64_t length);
[[nodiscard]] bool replaceFile(const char* from, const char* to);
#else
[[nodiscard]] inline int openFile(const char* path, int flags, int mode = 0) {
    return ::open(path, flags, mode);
}
[[nodiscard]] inline int64_t writeAt(int fd, const void* data, size_t bytes, uint64_t offset) {
    return ::pwrite(fd, data, bytes, static_cast<off_t>(offset));
}
[[nodiscard]] inline bool truncateFile(int fd, uint64_t length) {
    return ::ftruncate(fd, static_cast<off_t>(length)) == 0;
}
[[nodiscard]] inline bool replaceFile(const char* from, const char* to) {
    return ::rename(from, to) == 0;
}
#endif

} // namespace lumvek::platform
