#pragma once
// Writes a 24-bit BGR picture (rows top-down, stride bytes apart) as an RGB
// PNG file: what `lumvek view --screenshot` saves of the window.
#include <cstddef>
#include <cstdint>
#include <string>

namespace lumvek::tool {

// Throws Failure naming the file when it cannot be written.
void writeBgrPng(const std::string& path, const uint8_t* bgr, int width, int height, size_t stride);

} // namespace lumvek::tool
