#pragma once
// The one rule for a capture window, shared by every interface (the C
// companion call, the C++ interface, Python, GStreamer and the tool), so
// that each refuses the same windows with the same words: which rule was
// broken and what would be accepted.
#include <string>

namespace lumvek {

struct WindowLimits {
    int fullWidth = 0;   // sensor pixels
    int fullHeight = 0;
    // false: the camera reads out that side whole (a CCD, or a sensor whose
    // window registers do not move); the window must then span it.
    bool freeWidth = true;
    bool freeHeight = true;
    int minWidth = 1;
    int minHeight = 1;
    int maxSubSample = 0;  // highest sub-sample mode taken (0: full resolution only)
};

struct RequestedWindow {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int subSample = 0;
};

// Empty when `request` is accepted; else one line: "capture window W x H at
// (X, Y) refused: <the rule>; accepted: <what would be>".
[[nodiscard]] std::string windowRuleProblem(const WindowLimits& limits, const RequestedWindow& request);

// What `limits` accept, in words: "x + width <= 2336 with width 16..2336, ...".
[[nodiscard]] std::string acceptedWindows(const WindowLimits& limits);

} // namespace lumvek
