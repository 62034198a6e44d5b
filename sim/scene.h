#pragma once
// What the simulated sensor looks at. A scene renders one frame in reading
// order (top row first, each row left to right); the sensor model then puts
// it into its raw orientation. Samples are 8-bit, or 16-bit little-endian.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sim/sensor_model.h"

namespace lumvek::sim {

class Scene {
public:
    virtual ~Scene() = default;
    // Fills geometry.frameBytes() bytes of `out`.
    virtual void render(uint32_t frameIndex, const FrameGeometry& geometry, std::span<uint8_t> out) const = 0;
    // False when every frame is the same (the model may then reuse a render).
    [[nodiscard]] virtual bool animated() const = 0;
    // Whether samples are exact values that must reach the host untouched
    // (no exposure, gain or noise), as for a scene from a file.
    [[nodiscard]] virtual bool exact() const { return false; }
};

enum class Pattern { Chart, Still, Ramp, Black, White };

// A colour chart (grey ramp, Bayer-mosaicked colour patches, grey steps) with
// a bright square that moves from frame to frame; the same chart with the
// square standing still, every frame alike (what a bench wants: the camera
// then costs the host nothing but the transfer); a horizontal ramp; black;
// white (full scale).
[[nodiscard]] std::unique_ptr<Scene> makePatternScene(Pattern pattern);
// "chart", "still", "ramp", "black", "white".
[[nodiscard]] bool parsePattern(const std::string& name, Pattern& pattern);

} // namespace lumvek::sim
