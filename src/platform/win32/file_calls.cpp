// The file calls over the system's own: CreateFile with every sharing mode
// (a file may be renamed or removed while open, as on POSIX systems), a
// C runtime descriptor on the handle, positioned writes through OVERLAPPED
// offsets and MoveFileEx for a rename that replaces its target.
#include "platform/file/file_calls.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>

namespace lumvek::platform {

namespace {

int errnoFor(DWORD error) {
    switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    default: return EIO;
    }
}

} // namespace

int openFile(const char* path, int flags, int) {
    if (path == nullptr) {
        errno = EINVAL;
        return -1;
    }
    const int access = flags & (O_RDONLY | O_WRONLY | O_RDWR);
    const DWORD desired = access == O_RDWR ? GENERIC_READ | GENERIC_WRITE
                          : access == O_WRONLY ? GENERIC_WRITE
                                               : GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    if ((flags & O_CREAT) != 0 && (flags & O_EXCL) != 0) {
        disposition = CREATE_NEW;
    } else if ((flags & O_CREAT) != 0 && (flags & O_TRUNC) != 0) {
        disposition = CREATE_ALWAYS;
    } else if ((flags & O_CREAT) != 0) {
        disposition = OPEN_ALWAYS;
    } else if ((flags & O_TRUNC) != 0) {
        disposition = TRUNCATE_EXISTING;
    }
    SECURITY_ATTRIBUTES noInherit{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    HANDLE file = CreateFileA(path, desired, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &noInherit,
                              disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A folder opened as a file.
        const DWORD attributes = GetFileAttributesA(path);
        errno = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EISDIR
                                                                                                      : errnoFor(error);
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), (flags & (O_WRONLY | O_RDWR | O_APPEND)) | O_BINARY);
    if (fd < 0) {
        CloseHandle(file);
        errno = EMFILE;
    }
    return fd;
}

int64_t writeAt(int fd, const void* data, size_t bytes, uint64_t offset) {
    const auto file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (file == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD chunk = bytes > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes);
    DWORD written = 0;
    if (!WriteFile(file, data, chunk, &written, &at)) {
        errno = errnoFor(GetLastError());
        return -1;
    }
    return written;
}

bool truncateFile(int fd, uint64_t length) {
    return _chsize_s(fd, static_cast<long long>(length)) == 0;
}

bool replaceFile(const char* from, const char* to) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0) {
        return true;
    }
    errno = errnoFor(GetLastError());
    return false;
}

} // namespace lumvek::platform
