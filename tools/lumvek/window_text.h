#pragma once
// A capture window written as text, the same in the tool's --window and
// the GStreamer element's window property: "WxH" (top-left corner at 0, 0)
// or "WxH+X+Y".
#include <optional>
#include <string>

namespace lumvek::tool {

struct WindowText {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// nullopt with `error` saying what is wrong for anything else.
[[nodiscard]] std::optional<WindowText> parseWindowText(const std::string& text, std::string& error);

} // namespace lumvek::tool
