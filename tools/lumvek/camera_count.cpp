#include "camera_count.h"

#include "camera_holders.h"

namespace lumvek::tool {

namespace {
constexpr unsigned kProductId = 0x3090;
} // namespace

std::string noCameraProblem() {
    const std::string inUse = describeCamerasInUse(camerasInUse(kProductId));
    if (!inUse.empty()) {
        return "no camera free: " + inUse + "; end that program or wait until it lets the camera go";
    }
    return "no camera found: attach one or start the simulator (lumvek-camsim); lumvek doctor tells more";
}

std::optional<std::string> cameraCountProblem(int count, const std::string& howToChoose) {
    if (count == 1) {
        return std::nullopt;
    }
    if (count <= 0) {
        return noCameraProblem();
    }
    return std::to_string(count) + " cameras found; choose one with " + howToChoose;
}

} // namespace lumvek::tool
