#include "camera_count.h"

namespace lumvek::tool {

std::optional<std::string> cameraCountProblem(int count, const std::string& howToChoose) {
    if (count == 1) {
        return std::nullopt;
    }
    if (count <= 0) {
        return "no camera found: attach one or start the simulator (lumvek-camsim); lumvek doctor tells more";
    }
    return std::to_string(count) + " cameras found; choose one with " + howToChoose;
}

} // namespace lumvek::tool
