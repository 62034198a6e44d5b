#include "frame_messages.h"

#include <algorithm>
#include <chrono>

#include "LumvekSdk.h"

namespace lumvek::tool {

namespace {
// A message of our own (WM_APP + 0x100), posted to the application's own
// window: the SDK posts only LUMVEK_WM_FRAME and LUMVEK_WM_ERROR there.
constexpr uint32_t kFramesTakenMark = 0x8100;

using Clock = std::chrono::steady_clock;
} // namespace

FrameWait waitForNewestFrame(HWND window, int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    FrameWait result;
    LumvekMsg message{};
    while (true) {
        // Once a frame is in hand, take only what is already queued.
        int wait = 0;
        if (result.kind != FrameWait::Frame) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = static_cast<int>(std::max<int64_t>(left, 0));
        }
        if (LumvekWnd_GetMessage(window, &message, wait) != 1) {
            break;
        }
        if (message.message == kFramesTakenMark) {
            result = {};  // what came before the mark has been read already
            continue;
        }
        if (message.message != LUMVEK_WM_FRAME) {
            continue;
        }
        if (message.wParam == 0) {
            return {FrameWait::Failed, static_cast<int>(message.lParam), message.time};
        }
        result = {FrameWait::Frame, 0, message.time};
    }
    return result;
}

void markFramesTaken(HWND window) {
    (void)LumvekWnd_PostMessage(window, kFramesTakenMark, 0, 0);
}

void PassedOverFrames::count(LumvekFrameMetadata& metadata) {
    const uint64_t number = metadata.frameNumber;
    if (number != 0 && lastFrameNumber_ != 0 && number > lastFrameNumber_) {
        const uint64_t gap = std::min<uint64_t>(number - lastFrameNumber_ - 1, UINT32_MAX);
        metadata.framesLostBefore = std::max(metadata.framesLostBefore, static_cast<uint32_t>(gap));
    }
    if (number != 0) {
        lastFrameNumber_ = number;
    }
}

} // namespace lumvek::tool
