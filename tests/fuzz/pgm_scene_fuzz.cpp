// The simulator's PGM scene parser on a hostile file, then the scene it
// accepts rendered into small frames of both depths (tiling and rescaling
// read the parsed samples with the parsed sizes). Output frames are allocated
// to their exact size.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "sim/pgm_scene.h"

using namespace lumvek;

namespace {
// Odd sizes, so that every tiling wraps in both directions.
constexpr sim::FrameGeometry kFrames[] = {{7, 5, 1}, {7, 5, 2}, {1, 1, 1}, {33, 3, 2}};
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::isolateProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    const auto scene = sim::parsePgmScene({data, size}, error);
    if (!scene) {
        if (error.empty()) {
            fuzz::fail("a refused PGM file has no reason");
        }
        return 0;
    }
    if (!scene->exact()) {
        fuzz::fail("a scene from a file must be exact");
    }
    for (const sim::FrameGeometry& g : kFrames) {
        std::vector<uint8_t> frame(g.frameBytes());
        scene->render(0, g, frame);
    }
    return 0;
}
