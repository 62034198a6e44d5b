// CLumvek's answers for the companion calls of LumvekDevice.h: the capture
// window rule in words, and the Bayer order of the raw frames.
#include "camera/window_rule.h"
#include "imaging/colour/bayer_pattern.h"
#include "instance/lumvek.h"

namespace lumvek {

std::string CLumvek::CaptureWindowProblem(int x, int y, int width, int height) {
    // The same limits SetCaptureWindowEx applies: a side the camera device
    // does not report free must be the full sensor, and the window lies
    // within the 2336 x 1752 sensor.
    const auto freeSize = session_.use([](CameraDevice& d) {
        return std::pair<bool, bool>(d.GetFreeWidthFlag() != 0, d.GetFreeHeightFlag() != 0);
    });
    WindowLimits limits;
    limits.fullWidth = kFullWidth;
    limits.fullHeight = kFullHeight;
    limits.freeWidth = freeSize.first;
    limits.freeHeight = freeSize.second;
    return windowRuleProblem(limits, {x, y, width, height, 0});
}

int CLumvek::RawBayerMode() {
    const ImageSettings image = controls_.image();
    const GainSettings gain = controls_.gain();
    return effectiveBayerMode(image.filter.bayerMode, gain.vMirror != 0, gain.hMirror != 0);
}

} // namespace lumvek
