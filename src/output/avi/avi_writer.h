#pragma once
// Writes one AVI file frame by frame: the provisional header on open, one
// "00db" chunk per frame, and on finalize the "idx1" index and the header
// figures (sizes, frame counts, measured rate).
//
// The RIFF sizes are 32-bit: a frame that would take the finished file
// (frames, index and all) past the size limit is refused with SizeLimit, and
// the caller finalises what it has. Used by one thread at a time.
#include <cstdint>
#include <vector>

#include "imaging/image_buffer.h"
#include "output/avi/avi_layout.h"
#include "output/avi/descriptor_file.h"

namespace lumvek {

class AviWriter {
public:
    enum class AppendResult { Appended, SizeLimit, WriteFailed, NotOpen, WrongFrame };

    // maxRiffBytes bounds the value at offset 4 (file length - 8); tests
    // lower it to reach the limit with small files.
    explicit AviWriter(uint64_t maxRiffBytes = avi::kMaxRiffBytes);
    // An open file is finalised with the provisional rate.
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Creates (or truncates) path and writes the provisional header for
    // frames of width x height at 24 bits. False on a bad path, bad size or
    // write error (nothing is left open).
    [[nodiscard]] bool open(const char* path, int width, int height);
    [[nodiscard]] bool isOpen() const { return file_.isOpen(); }

    // Appends one frame: a 24-bit buffer of the opened size whose rows are
    // already bottom line first. After a failed write the file keeps only
    // whole frames (the partial chunk is cut off when finalising).
    [[nodiscard]] AppendResult appendFrame(const ImageBuffer& frame);

    // Writes the index and patches the header; the rate is measured from the
    // frames appended over elapsedMs. Closes the file; true when every
    // write reached the system.
    bool finalize(uint32_t elapsedMs);

    [[nodiscard]] uint32_t frameCount() const { return static_cast<uint32_t>(index_.size()); }
    [[nodiscard]] uint32_t frameBytes() const { return frameBytes_; }

private:
    struct IndexEntry {
        uint32_t moviOffset;  // of the chunk's "00db", counted from the "movi" fourcc
    };

    uint64_t projectedRiffBytes(uint64_t frames) const;

    const uint64_t maxRiffBytes_;
    DescriptorFile file_;
    std::vector<IndexEntry> index_;
    int width_ = 0;
    int height_ = 0;
    uint32_t frameBytes_ = 0;
    uint64_t moviBytes_ = 0;  // bytes after the movi size field: "movi" and the chunks
};

} // namespace lumvek
