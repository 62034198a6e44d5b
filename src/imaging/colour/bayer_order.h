#pragma once
// The names of the four Bayer modes as GStreamer's video/x-bayer and most
// machine-vision software spell them: the colours of the top-left 2 x 2
// block, row 0 first (mode 2, B G / G R, is "bggr").
#include <string_view>

#include "imaging/colour/bayer_pattern.h"

namespace lumvek {

[[nodiscard]] constexpr const char* bayerOrderName(int mode) {
    constexpr const char* kNames[4] = {"gbrg", "rggb", "bggr", "grbg"};
    return kNames[mode & 3];
}

// The mode of a name; -1 for anything else.
[[nodiscard]] constexpr int bayerModeOfName(std::string_view name) {
    for (int mode = 0; mode < 4; ++mode) {
        if (name == bayerOrderName(mode)) return mode;
    }
    return -1;
}

} // namespace lumvek
