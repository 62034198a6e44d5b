#include "sdk_errors.h"

#include <algorithm>

#include "LumvekSdk.h"

namespace lumvek::tool {

namespace {
const char* meaning(int code) {
    switch (code) {
    case LUMVEK_ERR_STATE: return "not allowed in the current state (no camera device, or acquisition is running)";
    case LUMVEK_ERR_NO_CAMERA: return "camera not present or it cannot be opened";
    case LUMVEK_ERR_THREAD: return "the worker thread could not be started";
    case LUMVEK_ERR_WINDOW: return "the preview window failed, or no capture-window preset matches";
    case LUMVEK_ERR_MEMORY: return "out of memory, or a buffer is too small for the frame";
    case LUMVEK_ERR_TRANSFER: return "a register or device request to the camera failed";
    case LUMVEK_ERR_WINDOW_SIZE: return "the capture window is invalid or was refused";
    case LUMVEK_ERR_FRAME: return "a frame could not be read from the camera";
    case LUMVEK_ERR_ARGUMENT: return "value out of range or invalid argument";
    case LUMVEK_ERR_UNSUPPORTED: return "not supported by this camera";
    case LUMVEK_ERR_CONVERSION:
        return "the operation could not start (capture or file open failed, bad text or mask kind)";
    case LUMVEK_ERR_DEVICE_LOST: return "the camera was lost during acquisition";
    case LUMVEK_ERR_MASK_FILE: return "the mask file is unreadable, invalid or not writable";
    default: return nullptr;
    }
}
} // namespace

std::string describeSdkError(int code) {
    if (code == LUMVEK_ERR_NONE) {
        return "the SDK reported no error code";
    }
    const char* text = meaning(code);
    return "SDK error " + std::to_string(code) + ": " + (text != nullptr ? text : "unknown code");
}

std::string describeSdkErrors(const std::vector<int>& newestFirst) {
    if (newestFirst.empty()) {
        return describeSdkError(LUMVEK_ERR_NONE);
    }
    std::string text = describeSdkError(newestFirst.front());
    std::vector<int> shown{newestFirst.front()};
    for (const int code : newestFirst) {
        if (code == LUMVEK_ERR_NONE || std::find(shown.begin(), shown.end(), code) != shown.end()) continue;
        shown.push_back(code);
        text += " (after " + describeSdkError(code) + ")";
    }
    return text;
}

} // namespace lumvek::tool
