#include "output/small_disk.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace lumvek::test {

SmallDisk::SmallDisk(const std::filesystem::path& dir, uint64_t bytes) : dir_(dir) {
    std::error_code ignored;
    std::filesystem::create_directories(dir_, ignored);
    // A namespace of our own keeps the mount from outliving a crashed test;
    // child processes started afterwards see it too.
    if (::unshare(CLONE_NEWNS) == 0) {
        (void)::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
    }
    const std::string options = "size=" + std::to_string(bytes);
    mounted_ = ::mount("tmpfs", dir_.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallDisk::~SmallDisk() {
    if (mounted_) {
        (void)::umount2(dir_.c_str(), MNT_DETACH);
    }
}

void SmallDisk::fill() {
    const int fd = ::open((dir_ / "filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    const std::vector<char> block(4096, 'x');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    while (::write(fd, block.data(), 1) > 0) {
    }
    ::close(fd);
}

uint64_t SmallDisk::freeBytes() const {
    struct statvfs st {};
    if (::statvfs(dir_.c_str(), &st) != 0) {
        return 0;
    }
    return uint64_t{st.f_bavail} * st.f_frsize;
}

} // namespace lumvek::test
