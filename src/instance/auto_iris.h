#pragma once
// The automatic exposure and gain step that opens the processing of every
// frame while the auto-iris mode is 1 (exposure) or 2 (gain): five measuring
// windows on the raw frame give a correction factor d; outside 0.6..1.2 the
// exposure or gain is scaled by it.
#include <array>

#include "imaging/image_buffer.h"

namespace lumvek {

// The mean level of each measuring window, the first one first. 8-bit
// samples count as they are; 16-bit samples as bits 2..9 (10-bit data maps
// to 0..255, larger values wrap).
[[nodiscard]] std::array<int, 5> autoIrisWindowMeans(const ImageBuffer& raw);

// The factor d from the five means.
[[nodiscard]] double autoIrisFactor(const std::array<int, 5>& means);

// True when d asks for a change (d <= 0.6 or d >= 1.2).
[[nodiscard]] bool autoIrisChanges(double d);

// The next global gain: trunc(max(current, 4) x d), at least 4 when raising,
// limited to min..max.
[[nodiscard]] int autoIrisGain(int current, double d, int min, int max);

// The next exposure: the low 16 bits of trunc(current x d) (1 when they are
// 0), limited to min..max.
[[nodiscard]] int autoIrisExposure(int current, double d, int min, int max);

} // namespace lumvek
