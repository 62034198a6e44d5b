#include "window_text.h"

#include <cstdlib>

namespace lumvek::tool {

namespace {

constexpr long kMaxValue = 65535;

// A whole-word decimal number 0..65535 starting at `at`, which moves past it.
std::optional<int> number(const std::string& text, size_t& at) {
    if (at >= text.size() || text[at] < '0' || text[at] > '9') return std::nullopt;
    long value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        value = value * 10 + (text[at++] - '0');
        if (value > kMaxValue) return std::nullopt;
    }
    return static_cast<int>(value);
}

} // namespace

std::optional<WindowText> parseWindowText(const std::string& text, std::string& error) {
    error = "'" + text + "' is not WxH or WxH+X+Y (decimal numbers up to 65535)";
    WindowText w;
    size_t at = 0;
    const auto width = number(text, at);
    if (!width || at >= text.size() || text[at++] != 'x') return std::nullopt;
    const auto height = number(text, at);
    if (!height) return std::nullopt;
    w.width = *width;
    w.height = *height;
    if (at < text.size()) {
        if (text[at++] != '+') return std::nullopt;
        const auto x = number(text, at);
        if (!x || at >= text.size() || text[at++] != '+') return std::nullopt;
        const auto y = number(text, at);
        if (!y || at != text.size()) return std::nullopt;
        w.x = *x;
        w.y = *y;
    }
    error.clear();
    return w;
}

} // namespace lumvek::tool
