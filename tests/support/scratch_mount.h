#pragma once
// A small tmpfs of a test's own, for stores on a full disk or a read-only
// file system. Needs the right to mount (root, or a mount namespace that
// allows it); ok() says whether the mount was made, so a test can skip.
#include <sys/mount.h>

#include <cstdio>

#include <filesystem>
#include <string>

namespace lumvek::test {

class ScratchMount {
public:
    ScratchMount(std::filesystem::path dir, size_t bytes) : dir_(std::move(dir)) {
        std::filesystem::create_directories(dir_);
        const std::string options = "size=" + std::to_string(bytes);
        ok_ = ::mount("tmpfs", dir_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~ScratchMount() {
        if (ok_) (void)::umount2(dir_.c_str(), MNT_DETACH);
    }
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    [[nodiscard]] bool ok() const { return ok_; }
    [[nodiscard]] const std::filesystem::path& dir() const { return dir_; }
    // Makes the file system read-only, keeping what it holds.
    [[nodiscard]] bool makeReadOnly() {
        return ok_ && ::mount(nullptr, dir_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    std::filesystem::path dir_;
    bool ok_ = false;
};

// Writes zeros to path until the file system holding it has no room left.
inline void fillUp(const std::filesystem::path& path) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    static const char zeros[4096] = {};
    while (std::fwrite(zeros, 1, sizeof zeros, file) == sizeof zeros && std::fflush(file) == 0) {
    }
    std::fclose(file);
}

} // namespace lumvek::test
