#pragma once
// Writes one AVI file frame by frame: the provisional header on open, one
// "00db" chunk per frame, and on finalize the indexes and the header figures
// (sizes, frame counts, measured rate).
//
// Two layouts (avi_layout.h). Classic: one RIFF, whose 32-bit sizes bound
// the file; a frame that would take the finished file past maxRiffBytes is
// refused with SizeLimit and the caller finalises what it has. OpenDML: a
// frame that would take the current RIFF past openDmlRiffBytes closes it
// (its "ix00", and for the first RIFF its "idx1") and begins an "AVIX" RIFF;
// SizeLimit only once the super index is full. Used by one thread at a time.
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/image_buffer.h"
#include "output/avi/avi_layout.h"
#include "output/avi/descriptor_file.h"

namespace lumvek {

class AviWriter {
public:
    enum class AppendResult { Appended, SizeLimit, WriteFailed, NotOpen, WrongFrame };
    enum class Layout { Classic, OpenDml };

    // maxRiffBytes bounds a classic file's value at offset 4 (file length -
    // 8), openDmlRiffBytes each RIFF of an OpenDML file; tests lower them to
    // reach the limits with small files.
    explicit AviWriter(uint64_t maxRiffBytes = avi::kMaxRiffBytes, uint64_t openDmlRiffBytes = avi::kOpenDmlRiffBytes);
    // An open file is finalised with the provisional rate.
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Writes the provisional header for frames of width x height at 24 bits
    // beside path, then gives the file path's name (an existing file is
    // replaced). False on a bad path, bad size or write error: then nothing
    // is left behind and an existing file is untouched.
    [[nodiscard]] bool open(const char* path, int width, int height, Layout layout = Layout::Classic);
    [[nodiscard]] bool isOpen() const { return file_.isOpen(); }

    // Appends one frame: a 24-bit buffer of the opened size whose rows are
    // already bottom line first. After a failed write the file keeps only
    // whole frames (the partial chunk is cut off when finalising).
    [[nodiscard]] AppendResult appendFrame(const ImageBuffer& frame);

    // Brings the header's frame counts and rate up to date (frames so far
    // over elapsedMs) without writing anything new, so that a file whose
    // writer never finalises it (a killed process) still tells its length.
    bool refreshHeader(uint32_t elapsedMs);

    // Writes the indexes and patches the header; the rate is measured from
    // the frames appended over elapsedMs. A non-empty note goes into an INFO
    // list (comment) at the end of the file. When the disk has no room for
    // the indexes, frames are given up from the end until they fit. Closes
    // the file; true when every write reached the system.
    bool finalize(uint32_t elapsedMs, const std::string& note = {});
    // Closes and removes the file (a recording that kept no frame).
    void discard();

    [[nodiscard]] uint32_t frameCount() const { return totalFrames_; }
    [[nodiscard]] uint32_t frameBytes() const { return frameBytes_; }
    [[nodiscard]] uint32_t riffCount() const { return static_cast<uint32_t>(riffStarts_.size()); }
    [[nodiscard]] Layout layout() const { return layout_; }
    // errno of the last failed write (ENOSPC: the disk is full), 0 for none.
    [[nodiscard]] int lastWriteError() const { return file_.lastError(); }

private:
    struct SuperIndexEntry {
        uint64_t offset;  // of the "ix00" chunk in the file
        uint32_t bytes;   // of the chunk, header included
        uint32_t frames;
    };

    [[nodiscard]] uint64_t classicRiffBytes(uint64_t frames) const;
    [[nodiscard]] uint64_t openDmlRiffBytesWith(uint64_t frames) const;
    [[nodiscard]] bool isFirstRiff() const { return riffStarts_.size() == 1; }
    [[nodiscard]] uint32_t firstRiffFrameCount() const;
    [[nodiscard]] bool writeChunk(const ImageBuffer& frame);
    // Ends the current RIFF: "ix00" (OpenDML, unless it is the only RIFF),
    // "idx1" for the first RIFF, its sizes. On failure the RIFF stays open.
    [[nodiscard]] bool closeRiff(bool lastOfFile);
    [[nodiscard]] bool beginRiff();
    [[nodiscard]] bool appendNote(const std::string& note);
    [[nodiscard]] bool patchHeaderFigures(uint32_t elapsedMs, bool final);

    const uint64_t maxRiffBytes_;
    const uint64_t openDmlRiffBytes_;
    DescriptorFile file_;
    Layout layout_ = Layout::Classic;
    int width_ = 0;
    int height_ = 0;
    uint32_t frameBytes_ = 0;
    uint32_t totalFrames_ = 0;
    uint32_t firstRiffFrames_ = 0;          // once the first RIFF is closed
    std::vector<uint64_t> riffStarts_;      // of each RIFF's "RIFF"
    bool riffOpen_ = false;                 // the last RIFF still takes frames
    uint64_t moviStart_ = 0;                // the current movi list's "movi" fourcc
    uint64_t dataEnd_ = 0;                  // end of the last whole frame chunk
    std::vector<uint32_t> riffChunks_;      // the current RIFF's chunks, from its "movi"
    std::vector<SuperIndexEntry> superIndex_;
};

} // namespace lumvek
