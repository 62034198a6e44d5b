#pragma once
// The ranges of the camera a command's options name, nominal and accepted,
// as help text: `lumvek get --help` shows them when a camera can be opened.
#include <cstdint>
#include <string>

#include "command_line.h"

namespace lumvek::tool {

// "Ranges of camera N (...):" lines, or a line saying how to see them when
// no camera can be opened with these options. Never throws.
[[nodiscard]] std::string cameraRangesHelp(const ParsedArgs& args, const std::string& command);

// "1..8191 (0.1 ms), this camera accepts 1..232" for the exposure.
[[nodiscard]] std::string exposureRangeText(int32_t handle);

} // namespace lumvek::tool
