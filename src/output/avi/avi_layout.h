#pragma once
// The AVI file the recorder writes: a RIFF "AVI " file with one stream of
// 24-bit bottom-up DIB frames ("00db" chunks) and an "idx1" index. All
// integers little-endian.
//
// A recording that may pass the first RIFF's size is written as an OpenDML
// (AVI 2.0) file from the start: the same first RIFF, whose stream list also
// holds room for an "indx" super index (a "JUNK" chunk until a second RIFF
// is begun) and whose header list ends with an "odml" list holding "dmlh"
// (the total frame count); further frames go into "AVIX" RIFFs. Each RIFF's
// movi list ends with an "ix00" standard index of its frames; the first RIFF
// keeps its "idx1" for readers that know no OpenDML.
#include <array>
#include <cstdint>
#include <vector>

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

// OpenDML. Each RIFF stays under 1 GiB, as common writers keep them.
inline constexpr uint64_t kOpenDmlRiffBytes = uint64_t{1} << 30;
inline constexpr uint32_t kSuperIndexEntries = 256;      // RIFFs a file can have
inline constexpr int64_t kSuperIndexOffset = 220;         // "JUNK", then "indx"
inline constexpr uint32_t kSuperIndexHeaderBytes = 24;    // before the entries
inline constexpr uint32_t kSuperIndexEntryBytes = 16;     // offset (64-bit), size, frames
inline constexpr uint32_t kSuperIndexBytes = kSuperIndexHeaderBytes + kSuperIndexEntries * kSuperIndexEntryBytes;
inline constexpr int64_t kOdmlListOffset = kSuperIndexOffset + kChunkHeaderBytes + kSuperIndexBytes;
inline constexpr uint32_t kDmlhBytes = 248;
inline constexpr int64_t kDmlhTotalFramesOffset = kOdmlListOffset + 12 + kChunkHeaderBytes;
inline constexpr int64_t kOpenDmlMoviListOffset = kDmlhTotalFramesOffset + kDmlhBytes;
inline constexpr int64_t kOpenDmlMoviSizeOffset = kOpenDmlMoviListOffset + 4;
inline constexpr uint32_t kOpenDmlHeaderBytes = static_cast<uint32_t>(kOpenDmlMoviListOffset) + 12;
inline constexpr uint32_t kStandardIndexHeaderBytes = 24;  // before the entries
inline constexpr uint32_t kStandardIndexEntryBytes = 8;    // offset of the data, size
inline constexpr uint32_t kRiffListHeaderBytes = 24;       // "RIFF" size "AVIX" "LIST" size "movi"

// Bytes of one 24-bit DIB frame: rows of 3 x width rounded up to 4, times height.
[[nodiscard]] constexpr uint32_t frameBytes(int width, int height) {
    return static_cast<uint32_t>(height) * ((3u * static_cast<uint32_t>(width) + 3u) & ~3u);
}

// The first 232 bytes with the provisional figures (30 frames/s, sizes and
// frame counts 0), as written when the recording starts.
[[nodiscard]] std::array<uint8_t, kHeaderBytes> provisionalHeader(int width, int height);
// The same for an OpenDML file: kOpenDmlHeaderBytes, up to the first frame chunk.
[[nodiscard]] std::vector<uint8_t> provisionalOpenDmlHeader(int width, int height);

// Frame rate in hundredths of a frame per second from the frames recorded
// over elapsedMs, in 64 bits; the provisional 3000 when it cannot be measured
// (no time elapsed, or under one frame per 100 s).
[[nodiscard]] uint32_t measuredRateHundredths(uint64_t frames, uint32_t elapsedMs);
// 100000000 / rate and 1000000000 / rate, never 0.
[[nodiscard]] uint32_t microsecondsPerFrame(uint32_t rateHundredths);
[[nodiscard]] uint32_t streamScale(uint32_t rateHundredths);

} // namespace lumvek::avi
