#include "avi_progress.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace lumvek::tool {

namespace {
// Layout of the recorder's file: fixed header of 232 bytes, then chunks of
// "00db", size, pixel data.
constexpr size_t kHeaderBytes = 232;
constexpr size_t kRiffSizeOffset = 4;
constexpr size_t kMicrosPerFrameOffset = 32;
constexpr size_t kTotalFramesOffset = 48;
constexpr size_t kWidthOffset = 64;
constexpr size_t kHeightOffset = 68;
constexpr size_t kChunkHeaderBytes = 8;
constexpr int32_t kMaxSide = 65535;

uint32_t read32(const unsigned char* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
} // namespace

AviProgress readAviProgress(const std::string& path) {
    AviProgress progress;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return progress;
    progress.exists = true;
    progress.fileBytes = static_cast<uint64_t>(st.st_size);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return progress;
    unsigned char header[kHeaderBytes];
    const size_t got = std::fread(header, 1, sizeof header, file);
    std::fclose(file);
    if (got != sizeof header || std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "AVI ", 4) != 0) {
        return progress;
    }
    const auto width = static_cast<int32_t>(read32(header + kWidthOffset));
    const auto height = static_cast<int32_t>(read32(header + kHeightOffset));
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return progress;
    progress.width = width;
    progress.height = height;
    // A 24-bit bottom-up DIB: rows padded to 4 bytes.
    const uint64_t frameBytes = static_cast<uint64_t>(height) * ((3 * static_cast<uint64_t>(width) + 3) & ~uint64_t{3});
    if (progress.fileBytes > kHeaderBytes) {
        progress.framesWritten = static_cast<uint32_t>((progress.fileBytes - kHeaderBytes) / (kChunkHeaderBytes + frameBytes));
    }
    const uint32_t riffSize = read32(header + kRiffSizeOffset);
    progress.finalised = riffSize != 0 && uint64_t{riffSize} + 8 == progress.fileBytes;
    if (progress.finalised) {
        progress.headerFrames = read32(header + kTotalFramesOffset);
        progress.microsPerFrame = read32(header + kMicrosPerFrameOffset);
        progress.framesWritten = progress.headerFrames;
    }
    return progress;
}

} // namespace lumvek::tool
