#include "output/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file/file_calls.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace lumvek {

namespace {

constexpr int kTemporaryNameTries = 16;
constexpr mode_t kNewFileMode = 0666;  // less the umask, as for any new file
constexpr int kWriteFlags = O_WRONLY | O_CLOEXEC;

// A regular file's real path when path names one through symbolic links.
std::string resolvedTarget(const std::string& path) {
#ifdef _WIN32
    return path;  // the writers take no symbolic links on Windows
#else
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
        return path;
    }
    char real[PATH_MAX];
    return ::realpath(path.c_str(), real) != nullptr ? std::string(real) : path;
#endif
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

FileReplacement::~FileReplacement() {
    abandon();
}

int FileReplacement::open(const char* path) {
    abandon();
    committed_ = false;
    if (path == nullptr || path[0] == '\0') {
        return -1;
    }
    target_ = resolvedTarget(path);
    struct stat existing {};
    const bool exists = ::stat(target_.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        errno = EISDIR;
        return -1;
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        // A device or a pipe: nothing to replace, written as it is.
        const int fd = platform::openFile(target_.c_str(), kWriteFlags | O_TRUNC);
        if (fd >= 0) {
            writing_ = target_;
            inPlace_ = true;
            createdTarget_ = false;
            active_ = true;
        }
        return fd;
    }
    std::random_device entropy;
    const std::string stem = folderOf(target_) + "/." + nameOf(target_) + ".";
    int fd = -1;
    for (int attempt = 0; attempt < kTemporaryNameTries && fd < 0; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "%08x%08x.part", entropy(), entropy());
        writing_ = stem + suffix;
        fd = platform::openFile(writing_.c_str(), kWriteFlags | O_CREAT | O_EXCL, kNewFileMode);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd >= 0) {
#ifndef _WIN32
        if (exists) {
            (void)::fchmod(fd, existing.st_mode & 07777);  // the new version keeps the old one's permissions
        }
#endif
        inPlace_ = false;
        active_ = true;
        return fd;
    }
    // No temporary here (a folder we may not write): an existing file we may
    // write is written in place; a new file cannot be made in such a folder.
    fd = platform::openFile(target_.c_str(), kWriteFlags | O_CREAT | (exists ? O_TRUNC : O_EXCL), kNewFileMode);
    if (fd < 0) {
        return -1;
    }
    writing_ = target_;
    inPlace_ = true;
    createdTarget_ = !exists;
    active_ = true;
    return fd;
}

bool FileReplacement::commit() {
    if (!active_) {
        return false;
    }
    active_ = false;
    if (inPlace_) {
        committed_ = true;
        return true;
    }
    if (!platform::replaceFile(writing_.c_str(), target_.c_str())) {
        (void)::unlink(writing_.c_str());
        return false;
    }
    writing_ = target_;
    committed_ = true;
    createdTarget_ = true;
    return true;
}

void FileReplacement::abandon() {
    if (!active_) {
        return;
    }
    active_ = false;
    if (!inPlace_ || createdTarget_) {
        (void)::unlink(writing_.c_str());
    }
}

void FileReplacement::removeCommitted() {
    if (committed_ && createdTarget_) {
        (void)::unlink(target_.c_str());
    }
    committed_ = false;
}

} // namespace lumvek
