#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace lumvek::fuzz {

namespace {
void removeProcessDir() {
    std::error_code ignored;
    std::filesystem::remove_all(processDir(), ignored);
}
} // namespace

const std::filesystem::path& processDir() {
    static const std::filesystem::path dir = [] {
        auto path = std::filesystem::temp_directory_path() / ("lumvek-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path / "devices");
        return path;
    }();
    return dir;
}

void isolateProcess() {
    const auto& dir = processDir();
    // Registered once the folder's path exists, so that it runs before the
    // path itself is destroyed at exit.
    std::atexit(removeProcessDir);
    setenv("LUMVEK_REGISTRY_FILE", (dir / "registry.sqlite3").c_str(), 1);
    setenv("LUMVEK_SHM_NAME", ("/lumvek-fuzz-" + std::to_string(getpid())).c_str(), 1);
    setenv("LUMVEK_DEVICE_DIR", (dir / "devices").c_str(), 1);
}

void replaceFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    const auto staging = std::filesystem::path(path.string() + ".new");
    {
        std::ofstream out(staging, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            fail("cannot write the fuzz input file");
        }
    }
    std::filesystem::rename(staging, path);
}

uint8_t ByteReader::u8() {
    return at_ < bytes_.size() ? bytes_[at_++] : uint8_t{0};
}

uint16_t ByteReader::u16() {
    const uint16_t low = u8();
    return static_cast<uint16_t>(low | (u8() << 8));
}

uint32_t ByteReader::u32() {
    const uint32_t low = u16();
    return low | (static_cast<uint32_t>(u16()) << 16);
}

std::span<const uint8_t> ByteReader::take(size_t n) {
    const size_t count = std::min(n, bytes_.size() - at_);
    const auto out = bytes_.subspan(at_, count);
    at_ += count;
    return out;
}

void fail(const char* what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

} // namespace lumvek::fuzz
