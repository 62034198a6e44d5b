#pragma once
// Drives another process's windows on the test's X server the way a person
// would: finds a top-level window by its title, gives it the keyboard focus
// and types keys or clicks through the XTEST extension, so that the events
// arrive as real input (toolkits ignore events sent with XSendEvent).
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <functional>
#include <string>

namespace lumvek::test {

class XDriver {
public:
    explicit XDriver(const std::string& display);
    ~XDriver();
    XDriver(const XDriver&) = delete;
    XDriver& operator=(const XDriver&) = delete;

    [[nodiscard]] bool ok() const { return display_ != nullptr; }
    [[nodiscard]] Display* display() const { return display_; }

    // A mapped window whose title (_NET_WM_NAME or WM_NAME) starts with
    // `prefix`, searched below the root at any depth; 0 if none.
    [[nodiscard]] ::Window findByTitle(const std::string& prefix, std::string* title = nullptr);
    // findByTitle until it finds one or `boundMs` pass.
    [[nodiscard]] ::Window waitForTitle(const std::string& prefix, int boundMs, std::string* title = nullptr);

    // Focus on `window`, then a press and release of `keysym` (with Shift when asked).
    void typeKey(::Window window, unsigned long keysym, bool shift = false);
    // Escape typed into `window` until it has gone (a key typed while a
    // toolkit is still setting the window up can be lost); false when it is
    // still there after boundMs. Only this window gets keys.
    [[nodiscard]] bool closeWithEscape(::Window window, int boundMs);
    [[nodiscard]] bool viewable(::Window window);
    // A click of the first button at (x, y) of `window`.
    void click(::Window window, int x, int y);

    // The window's size and its position on the screen.
    [[nodiscard]] bool geometry(::Window window, int* x, int* y, int* width, int* height);
    [[nodiscard]] int screenWidth() const;
    [[nodiscard]] int screenHeight() const;

private:
    Display* display_ = nullptr;
};

// Polls `condition` every few milliseconds until it holds or boundMs pass.
bool holdsWithin(int boundMs, const std::function<bool()>& condition);

} // namespace lumvek::test
