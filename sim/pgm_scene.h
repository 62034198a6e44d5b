#pragma once
// A scene from a binary PGM file (P5; maxval below 256: one byte per sample,
// else two bytes, most significant first). Every frame shows the file's
// samples exactly; a frame of another size tiles the image, a frame of
// another depth rescales the samples to its full scale.
#include <memory>
#include <string>

#include "sim/scene.h"

namespace lumvek::sim {

// nullptr with `error` set when the file is missing or malformed.
[[nodiscard]] std::unique_ptr<Scene> loadPgmScene(const std::string& path, std::string& error);
// The same from the bytes of a file (the part that parses untrusted input).
[[nodiscard]] std::unique_ptr<Scene> parsePgmScene(std::span<const uint8_t> file, std::string& error);

} // namespace lumvek::sim
