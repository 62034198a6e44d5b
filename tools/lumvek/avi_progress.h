#pragma once
// How far an AVI file being recorded has come, read from the file itself:
// the frame chunks written so far while recording, and the header figures
// once the recording has been finalised, in the plain layout or as an
// OpenDML file of several RIFFs. The file is someone else's output, so every
// figure is checked before it is used.
#include <cstdint>
#include <string>

namespace lumvek::tool {

struct AviProgress {
    bool exists = false;
    bool finalised = false;       // every RIFF's size written, together spanning the file
    uint64_t fileBytes = 0;
    uint32_t framesWritten = 0;   // whole frame chunks seen so far; once finalised, the stream's length
    uint32_t headerFrames = 0;    // total frames from the main header (finalised; the first RIFF's in OpenDML)
    uint32_t microsPerFrame = 0;  // from the main header (finalised)
    int32_t width = 0;
    int32_t height = 0;
    uint32_t riffs = 0;           // RIFFs in a finalised file (more than 1: OpenDML)
    // From the recorder's note, written when something was lost.
    bool noted = false;
    uint64_t framesSkipped = 0;   // pictures the recorder could not take: the writes fell behind
    std::string end;              // "disk-full", "write-failed", "stopped", "time-up", ...
};

[[nodiscard]] AviProgress readAviProgress(const std::string& path);

// "155 frames skipped: the writes fell behind the camera", empty when none.
[[nodiscard]] std::string skippedFramesText(const AviProgress& progress);

// Whether the file system holding path has less room than `bytes`.
[[nodiscard]] bool lacksRoomFor(const std::string& path, uint64_t bytes);

} // namespace lumvek::tool
