#pragma once
// A real filesystem that fills up: a small tmpfs mounted for one test (in a
// mount namespace of the test process's own where the system allows it).
// Needs root; tests skip when it cannot be mounted.
#include <cstdint>
#include <filesystem>

namespace lumvek::test {

class SmallDisk {
public:
    SmallDisk(const std::filesystem::path& dir, uint64_t bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    [[nodiscard]] bool mounted() const { return mounted_; }
    [[nodiscard]] const std::filesystem::path& dir() const { return dir_; }
    // Fills what is left with a file of its own, so that nothing more fits.
    void fill();
    [[nodiscard]] uint64_t freeBytes() const;

private:
    std::filesystem::path dir_;
    bool mounted_ = false;
};

#define LUMVEK_REQUIRE_SMALL_DISK(disk)                                                    \
    if (!(disk).mounted()) {                                                               \
        GTEST_SKIP() << "a small tmpfs cannot be mounted here (needs root)";               \
    }

} // namespace lumvek::test
