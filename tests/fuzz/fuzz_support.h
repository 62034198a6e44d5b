#pragma once
// Shared by the fuzz targets: a private folder per fuzzing process (removed
// at exit) that the settings store, the open-device table and the simulator
// sockets point into, so a fuzz run never touches the user's settings or
// another process's cameras; and a file writer for loaders that take a path.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

namespace lumvek::fuzz {

// Sets LUMVEK_REGISTRY_FILE, LUMVEK_SHM_NAME and LUMVEK_DEVICE_DIR into the
// process folder. Call from LLVMFuzzerInitialize, before any library call.
void isolateProcess();
const std::filesystem::path& processDir();

// Replaces the file at path with bytes: written beside it and renamed over
// it, so the path names a new file (a new inode) on every call.
void replaceFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// Reads the fuzz input as a little-endian stream; once exhausted() (every
// byte read) further reads give zeros.
class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    // Up to n bytes (fewer at the end of the input).
    std::span<const uint8_t> take(size_t n);
    [[nodiscard]] bool exhausted() const { return at_ >= bytes_.size(); }

private:
    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
};

// A fault the sanitizers cannot see (a broken invariant): reports and aborts,
// so libFuzzer records the input as a crash.
[[noreturn]] void fail(const char* what);

} // namespace lumvek::fuzz
