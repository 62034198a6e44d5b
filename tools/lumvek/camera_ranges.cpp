#include "camera_ranges.h"

#include <cstdio>

#include "LumvekSdk.h"
#include "accepted_range.h"
#include "camera_session.h"
#include "command_support.h"
#include "failure.h"

namespace lumvek::tool {

std::string exposureRangeText(int32_t handle) {
    AcceptedRange range;
    if (!acceptedExposureRange(handle, range)) return "unknown";
    char text[128];
    if (range.narrower()) {
        std::snprintf(text, sizeof text, "%d..%d (0.1 ms), this camera accepts %d..%d", range.nominalMin,
                      range.nominalMax, range.nominalMin, range.acceptedMax);
    } else {
        std::snprintf(text, sizeof text, "%d..%d (0.1 ms)", range.nominalMin, range.nominalMax);
    }
    return text;
}

std::string cameraRangesHelp(const ParsedArgs& args, const std::string& command) {
    try {
        CameraSession session = CameraSession::withCamera(cameraOptionsFrom(args, command));
        const int32_t h = session.handle();
        LumvekCameraInfo info{};
        info.size = sizeof info;
        if (Lumvek_GetCameraInfo(h, &info) != 1) return "";
        std::string text = "\nRanges of camera " + std::to_string(session.deviceNumber()) + ":\n";
        char line[200];
        std::snprintf(line, sizeof line, "  %-19s %d..%d\n", "global-gain", info.globalGainMin, info.globalGainMax);
        text += line;
        std::snprintf(line, sizeof line, "  %-19s %d..%d\n", "color-gain-*", info.colorGainMin, info.colorGainMax);
        text += line;
        std::snprintf(line, sizeof line, "  %-19s %s\n", "exposure", exposureRangeText(h).c_str());
        text += line;
        session.clearErrors();
        return text;
    } catch (const Failure&) {
        return "\nThe camera ranges (gain, exposure) are shown here when a camera can be\n"
               "opened: add -d N or --simulate, or see lumvek info.\n";
    }
}

} // namespace lumvek::tool
