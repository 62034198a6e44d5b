#include "frame_messages.h"

#include "LumvekSdk.h"

namespace lumvek::tool {

FrameWait waitForNewestFrame(HWND window, int timeoutMs) {
    FrameWait result;
    LumvekMsg message{};
    int timeout = timeoutMs;
    while (LumvekWnd_GetMessage(window, &message, timeout) == 1) {
        if (message.message != LUMVEK_WM_FRAME) {
            continue;
        }
        if (message.wParam == 0) {
            return {FrameWait::Failed, static_cast<int>(message.lParam), message.time};
        }
        result = {FrameWait::Frame, 0, message.time};
        timeout = 0;  // take what is queued, then read the newest frame
    }
    return result;
}

} // namespace lumvek::tool
