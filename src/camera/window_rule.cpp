#include "camera/window_rule.h"

#include <cstdio>

namespace lumvek {

namespace {

std::string format(const char* pattern, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

struct Axis {
    const char* offsetName;  // "x"
    const char* sizeName;    // "width"
    int full;
    bool free;
    int minimum;
};

std::string acceptedOnAxis(const Axis& a) {
    if (!a.free) {
        return format("%s %d at %s 0 (the camera reads out whole %s)", a.sizeName, a.full, a.offsetName,
                      a.sizeName[0] == 'w' ? "rows" : "columns");
    }
    return format("%s %d..%d with %s >= 0 and %s + %s <= %d", a.sizeName, a.minimum, a.full, a.offsetName,
                  a.offsetName, a.sizeName, a.full);
}

// The first rule of one axis that `offset` and `size` break; empty when none.
std::string brokenOnAxis(const Axis& a, int offset, int size) {
    if (!a.free && (size != a.full || offset != 0)) {
        return format("this camera cannot narrow the %s: %s must be %d and %s 0", a.sizeName, a.sizeName, a.full,
                      a.offsetName);
    }
    if (size < a.minimum) return format("%s %d is below the minimum %d", a.sizeName, size, a.minimum);
    if (size > a.full) return format("%s %d is larger than the sensor's %d", a.sizeName, size, a.full);
    if (offset < 0) return format("%s %d is negative", a.offsetName, offset);
    if (static_cast<long long>(offset) + size > a.full) {
        return format("%s + %s = %lld passes the sensor's edge at %d", a.offsetName, a.sizeName,
                      static_cast<long long>(offset) + size, a.full);
    }
    return {};
}

} // namespace

std::string acceptedWindows(const WindowLimits& limits) {
    const Axis horizontal{"x", "width", limits.fullWidth, limits.freeWidth, limits.minWidth};
    const Axis vertical{"y", "height", limits.fullHeight, limits.freeHeight, limits.minHeight};
    std::string text = acceptedOnAxis(horizontal) + "; " + acceptedOnAxis(vertical);
    text += limits.maxSubSample > 0 ? format("; sub-sample 0..%d", limits.maxSubSample)
                                    : std::string("; sub-sample 0 (full resolution) only");
    return text;
}

std::string windowRuleProblem(const WindowLimits& limits, const RequestedWindow& r) {
    const Axis horizontal{"x", "width", limits.fullWidth, limits.freeWidth, limits.minWidth};
    const Axis vertical{"y", "height", limits.fullHeight, limits.freeHeight, limits.minHeight};
    std::string broken = brokenOnAxis(horizontal, r.x, r.width);
    if (broken.empty()) broken = brokenOnAxis(vertical, r.y, r.height);
    if (broken.empty() && (r.subSample < 0 || r.subSample > limits.maxSubSample)) {
        broken = format("sub-sample mode %d is not taken", r.subSample);
    }
    if (broken.empty()) return {};
    return format("capture window %d x %d at (%d, %d) refused: ", r.width, r.height, r.x, r.y) + broken +
           "; accepted: " + acceptedWindows(limits);
}

} // namespace lumvek
