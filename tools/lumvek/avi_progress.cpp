#include "avi_progress.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace lumvek::tool {

namespace {
// Layout of the recorder's file: the header list from offset 12 (its size
// at 16), then the movi list of frame chunks ("00db", size, pixel data).
constexpr size_t kFixedHeaderBytes = 232;
constexpr size_t kHeaderListSizeOffset = 16;
constexpr size_t kHeaderListStart = 20;  // "hdrl": the size counts from here
constexpr size_t kMicrosPerFrameOffset = 32;
constexpr size_t kTotalFramesOffset = 48;
constexpr size_t kWidthOffset = 64;
constexpr size_t kHeightOffset = 68;
constexpr size_t kStreamLengthOffset = 140;
constexpr size_t kChunkHeaderBytes = 8;
constexpr size_t kListHeaderBytes = 12;
constexpr uint32_t kMaxHeaderListBytes = 1 << 20;
constexpr int kMaxRiffs = 100000;
constexpr int kMaxTrailingChunks = 64;
constexpr size_t kMaxNoteBytes = 512;
constexpr int32_t kMaxSide = 65535;
constexpr const char* kNotePrefix = "lumvek recorder: ";

uint32_t read32(const unsigned char* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool readAt(std::FILE* file, uint64_t at, void* into, size_t bytes) {
    return ::fseeko(file, static_cast<off_t>(at), SEEK_SET) == 0 && std::fread(into, 1, bytes, file) == bytes;
}

// The recorder's note in an INFO list among the RIFF's chunks after its movi list.
void readNote(std::FILE* file, uint64_t riffStart, uint64_t riffEnd, AviProgress& progress) {
    uint64_t at = riffStart + kListHeaderBytes;
    for (int i = 0; i < kMaxTrailingChunks && at + kListHeaderBytes <= riffEnd; ++i) {
        unsigned char head[kListHeaderBytes];
        if (!readAt(file, at, head, sizeof head)) return;
        const uint64_t size = read32(head + 4);
        if (std::memcmp(head, "LIST", 4) == 0 && std::memcmp(head + 8, "INFO", 4) == 0) {
            unsigned char sub[kChunkHeaderBytes];
            if (!readAt(file, at + kListHeaderBytes, sub, sizeof sub) || std::memcmp(sub, "ICMT", 4) != 0) return;
            const size_t textBytes = std::min<size_t>(read32(sub + 4), kMaxNoteBytes);
            std::string text(textBytes, '\0');
            if (!readAt(file, at + kListHeaderBytes + kChunkHeaderBytes, text.data(), textBytes)) return;
            text.resize(std::strlen(text.c_str()));
            if (text.rfind(kNotePrefix, 0) != 0) return;
            unsigned frames = 0;
            uint64_t skipped = 0;
            char end[32] = {};
            if (std::sscanf(text.c_str() + std::strlen(kNotePrefix), "frames=%u skipped=%" SCNu64 " end=%31s", &frames,
                            &skipped, end) == 3) {
                progress.noted = true;
                progress.framesSkipped = skipped;
                progress.end = end;
            }
            return;
        }
        at += kChunkHeaderBytes + size + (size & 1);
    }
}

} // namespace

AviProgress readAviProgress(const std::string& path) {
    AviProgress progress;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return progress;
    progress.exists = true;
    progress.fileBytes = static_cast<uint64_t>(st.st_size);
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) return progress;
    unsigned char header[kFixedHeaderBytes];
    if (!readAt(file.get(), 0, header, sizeof header) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "AVI ", 4) != 0) {
        return progress;
    }
    const auto width = static_cast<int32_t>(read32(header + kWidthOffset));
    const auto height = static_cast<int32_t>(read32(header + kHeightOffset));
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return progress;
    progress.width = width;
    progress.height = height;
    // The movi list follows the header list (longer in an OpenDML file).
    const uint32_t headerList = read32(header + kHeaderListSizeOffset);
    if (headerList > kMaxHeaderListBytes) return progress;
    const uint64_t moviList = kHeaderListStart + uint64_t{headerList};
    unsigned char movi[kListHeaderBytes];
    if (!readAt(file.get(), moviList, movi, sizeof movi) || std::memcmp(movi, "LIST", 4) != 0 ||
        std::memcmp(movi + 8, "movi", 4) != 0) {
        return progress;
    }
    const uint64_t firstChunk = moviList + kListHeaderBytes;
    // A 24-bit bottom-up DIB: rows padded to 4 bytes.
    const uint64_t frameBytes = static_cast<uint64_t>(height) * ((3 * static_cast<uint64_t>(width) + 3) & ~uint64_t{3});
    if (progress.fileBytes > firstChunk) {
        progress.framesWritten = static_cast<uint32_t>((progress.fileBytes - firstChunk) / (kChunkHeaderBytes + frameBytes));
    }
    // Finalised: every RIFF's size is written and the chain ends at the file's end.
    uint64_t at = 0;
    uint64_t lastRiff = 0;
    uint32_t riffs = 0;
    while (at < progress.fileBytes && riffs < kMaxRiffs) {
        unsigned char riff[kListHeaderBytes];
        if (!readAt(file.get(), at, riff, sizeof riff) || std::memcmp(riff, "RIFF", 4) != 0) return progress;
        const uint32_t size = read32(riff + 4);
        if (size == 0) return progress;
        lastRiff = at;
        at += kChunkHeaderBytes + uint64_t{size};
        ++riffs;
    }
    if (at != progress.fileBytes || riffs == 0) return progress;
    progress.finalised = true;
    progress.riffs = riffs;
    progress.headerFrames = read32(header + kTotalFramesOffset);
    progress.microsPerFrame = read32(header + kMicrosPerFrameOffset);
    progress.framesWritten = read32(header + kStreamLengthOffset);
    readNote(file.get(), lastRiff, at, progress);
    return progress;
}

std::string skippedFramesText(const AviProgress& progress) {
    if (progress.framesSkipped == 0) return {};
    return std::to_string(progress.framesSkipped) + " frame" + (progress.framesSkipped == 1 ? "" : "s") +
           " skipped: the writes fell behind the camera";
}

bool lacksRoomFor(const std::string& path, uint64_t bytes) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) folder = ".";
    struct statvfs st {};
    if (::statvfs(folder.c_str(), &st) != 0) return false;
    return uint64_t{st.f_bavail} * st.f_frsize < bytes;
}

} // namespace lumvek::tool
