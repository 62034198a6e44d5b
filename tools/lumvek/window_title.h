#pragma once
// Sets the title of an X11 window through a connection of the tool's own,
// as any application may do with the window LumvekWnd_X11Window names.
// Does nothing without an X server (or when built without Xlib).
#include <string>

namespace lumvek::tool {

class WindowTitle {
public:
    WindowTitle();
    ~WindowTitle();
    WindowTitle(const WindowTitle&) = delete;
    WindowTitle& operator=(const WindowTitle&) = delete;

    // False when there is no X server to show it on.
    [[nodiscard]] bool available() const { return display_ != nullptr; }
    void set(unsigned long window, const std::string& title);

private:
    void* display_ = nullptr;  // Display*
};

} // namespace lumvek::tool
