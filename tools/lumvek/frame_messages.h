#pragma once
// Waiting for the frame messages of a callback preview (LUMVEK_WM_FRAME on
// the application's message window), as every streaming application of the
// SDK does: take the newest frame and skip older messages still queued, so
// that a slow reader gets the newest frame and never the same one twice.
#include <cstdint>

#include "LumvekStream.h"
#include "LumvekWindow.h"

namespace lumvek::tool {

struct FrameWait {
    enum Kind {
        Frame,    // a frame was processed; Lumvek_GetImage reads it
        Timeout,  // no frame message within the time
        Failed,   // the frame loop reported `code` (5, 8 or 13) instead of a frame
    };
    Kind kind = Timeout;
    int code = 0;
    uint32_t timeMs = 0;  // the library's millisecond clock when the frame was posted
};

// Waits up to timeoutMs for a frame message; a failure report wins over
// frames queued before it. Frame messages queued before the last
// markFramesTaken() are passed over.
[[nodiscard]] FrameWait waitForNewestFrame(HWND window, int timeoutMs);

// Call right after reading a frame (Lumvek_GetImage): the frame loop may have
// processed a newer frame than the message that woke us, and that frame's
// message, queued before this mark, must not bring the same frame again.
// (A frame posted just before the mark but copied after it is dropped, as a
// live stream drops frames it is too slow for.)
void markFramesTaken(HWND window);

// The newest-frame wait passes over frames the SDK delivered while the reader
// was busy with the one before: they are lost to the reader as well. The SDK
// counts only what it lost itself, so a reader adds the rest from the frame
// numbers it saw.
class PassedOverFrames {
public:
    // Raises metadata.framesLostBefore to the gap since the frame counted last.
    void count(LumvekFrameMetadata& metadata);
    void restart() { lastFrameNumber_ = 0; }

private:
    uint64_t lastFrameNumber_ = 0;  // 0 before the first frame
};

} // namespace lumvek::tool
