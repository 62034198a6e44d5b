#pragma once
// How far an AVI file being recorded has come, read from the file itself:
// the frame chunks written so far while recording, and the header figures
// once the recording has been finalised. The file is someone else's output,
// so every figure is checked before it is used.
#include <cstdint>
#include <string>

namespace lumvek::tool {

struct AviProgress {
    bool exists = false;
    bool finalised = false;       // RIFF size written and matching the file length
    uint64_t fileBytes = 0;
    uint32_t framesWritten = 0;   // whole frame chunks seen so far
    uint32_t headerFrames = 0;    // total frames from the main header (finalised)
    uint32_t microsPerFrame = 0;  // from the main header (finalised)
    int32_t width = 0;
    int32_t height = 0;
};

[[nodiscard]] AviProgress readAviProgress(const std::string& path);

} // namespace lumvek::tool
