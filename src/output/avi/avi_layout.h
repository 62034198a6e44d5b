#pragma once
// The AVI file the recorder writes: a RIFF "AVI " file with one stream of
// 24-bit bottom-up DIB frames ("00db" chunks) and an "idx1" index. All
// integers little-endian.
#include <array>
#include <cstdint>

namespace lumvek::avi {

inline constexpr uint32_t kHeaderBytes = 232;            // up to the first frame chunk
inline constexpr int64_t kRiffSizeOffset = 4;             // file length - 8
inline constexpr int64_t kMicrosecondsPerFrameOffset = 32;
inline constexpr int64_t kTotalFramesOffset = 48;
inline constexpr int64_t kStreamScaleOffset = 128;        // rate is 10000000
inline constexpr int64_t kStreamLengthOffset = 140;
inline constexpr int64_t kMoviSizeOffset = 224;
inline constexpr uint32_t kRiffSizeAtStart = 224;         // bytes after the RIFF size field in the header
inline constexpr uint32_t kMoviSizeAtStart = 4;           // the "movi" fourcc
inline constexpr uint32_t kChunkHeaderBytes = 8;          // fourcc + size
inline constexpr uint32_t kIndexEntryBytes = 16;
inline constexpr uint32_t kKeyFrameFlag = 0x10;
inline constexpr uint32_t kProvisionalRateHundredths = 3000;  // 30 frames/s until measured
inline constexpr uint64_t kMaxRiffBytes = 0xFFFFFFFFu;

// Bytes of one 24-bit DIB frame: rows of 3 x width rounded up to 4, times height.
[[nodiscard]] constexpr uint32_t frameBytes(int width, int height) {
    return static_cast<uint32_t>(height) * ((3u * static_cast<uint32_t>(width) + 3u) & ~3u);
}

// The first 232 bytes with the provisional figures (30 frames/s, sizes and
// frame counts 0), as written when the recording starts.
[[nodiscard]] std::array<uint8_t, kHeaderBytes> provisionalHeader(int width, int height);

// Frame rate in hundredths of a frame per second from the frames recorded
// over elapsedMs, in 64 bits; the provisional 3000 when it cannot be measured
// (no time elapsed, or under one frame per 100 s).
[[nodiscard]] uint32_t measuredRateHundredths(uint64_t frames, uint32_t elapsedMs);
// 100000000 / rate and 1000000000 / rate, never 0.
[[nodiscard]] uint32_t microsecondsPerFrame(uint32_t rateHundredths);
[[nodiscard]] uint32_t streamScale(uint32_t rateHundredths);

} // namespace lumvek::avi
