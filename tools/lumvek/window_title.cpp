#include "window_title.h"

#ifdef LUMVEK_HAVE_X11
#include <X11/Xlib.h>
#endif

#include <cstdlib>

namespace lumvek::tool {

#ifdef LUMVEK_HAVE_X11
namespace {
// A window closed meanwhile is no reason to end the tool.
int ignoreError(Display*, XErrorEvent*) { return 0; }
} // namespace

WindowTitle::WindowTitle() {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return;
    display_ = XOpenDisplay(name);
    if (display_ != nullptr) XSetErrorHandler(ignoreError);
}

WindowTitle::~WindowTitle() {
    if (display_ != nullptr) XCloseDisplay(static_cast<Display*>(display_));
}

void WindowTitle::set(unsigned long window, const std::string& title) {
    auto* display = static_cast<Display*>(display_);
    if (display == nullptr || window == 0) return;
    XStoreName(display, window, title.c_str());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
    XFlush(display);
}
#else
WindowTitle::WindowTitle() = default;
WindowTitle::~WindowTitle() = default;
void WindowTitle::set(unsigned long, const std::string&) {}
#endif

} // namespace lumvek::tool
