#include "x_driver.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace lumvek::test {

namespace {
constexpr int kPollMs = 20;

int ignoreErrors(Display*, XErrorEvent*) { return 0; }

std::string titleOf(Display* d, ::Window w) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_NAME", False), 0, 1024, False,
                           XInternAtom(d, "UTF8_STRING", False), &type, &format, &count, &after, &data) == Success &&
        data != nullptr) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    if (title.empty()) {
        char* name = nullptr;
        if (XFetchName(d, w, &name) != 0 && name != nullptr) {
            title = name;
            XFree(name);
        }
    }
    return title;
}

::Window search(Display* d, ::Window under, const std::string& prefix, std::string* title) {
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(d, under, &root, &parent, &children, &count) == 0) return 0;
    std::vector<::Window> kids(children, children + count);
    if (children != nullptr) XFree(children);
    for (::Window child : kids) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(d, child, &attributes) == 0 || attributes.map_state != IsViewable) continue;
        const std::string name = titleOf(d, child);
        if (!name.empty() && name.rfind(prefix, 0) == 0) {
            if (title != nullptr) *title = name;
            return child;
        }
        if (::Window found = search(d, child, prefix, title)) return found;
    }
    return 0;
}
} // namespace

bool holdsWithin(int boundMs, const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    return true;
}

XDriver::XDriver(const std::string& display) : display_(XOpenDisplay(display.c_str())) {
    if (display_ != nullptr) XSetErrorHandler(ignoreErrors);
}

XDriver::~XDriver() {
    if (display_ != nullptr) XCloseDisplay(display_);
}

::Window XDriver::findByTitle(const std::string& prefix, std::string* title) {
    return search(display_, DefaultRootWindow(display_), prefix, title);
}

::Window XDriver::waitForTitle(const std::string& prefix, int boundMs, std::string* title) {
    ::Window found = 0;
    (void)holdsWithin(boundMs, [&] { return (found = findByTitle(prefix, title)) != 0; });
    return found;
}

void XDriver::typeKey(::Window window, unsigned long keysym, bool shift) {
    XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
    const KeyCode shiftKey = XKeysymToKeycode(display_, XK_Shift_L);
    if (shift) XTestFakeKeyEvent(display_, shiftKey, True, CurrentTime);
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    if (shift) XTestFakeKeyEvent(display_, shiftKey, False, CurrentTime);
    XSync(display_, False);
}

bool XDriver::viewable(::Window window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display_, window, &attributes) != 0 && attributes.map_state == IsViewable;
}

bool XDriver::closeWithEscape(::Window window, int boundMs) {
    constexpr int kRetypeAfterMs = 1000;
    return holdsWithin(boundMs, [&] {
        if (!viewable(window)) return true;
        typeKey(window, XK_Escape);
        return holdsWithin(kRetypeAfterMs, [&] { return !viewable(window); });
    });
}

void XDriver::click(::Window window, int x, int y) {
    int rootX = 0, rootY = 0;
    ::Window child = 0;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(display_, DefaultScreen(display_), rootX, rootY, CurrentTime);
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    XSync(display_, False);
}

bool XDriver::geometry(::Window window, int* x, int* y, int* width, int* height) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display_, window, &attributes) == 0) return false;
    ::Window child = 0;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, x, y, &child);
    *width = attributes.width;
    *height = attributes.height;
    return true;
}

int XDriver::screenWidth() const {
    return DisplayWidth(display_, DefaultScreen(display_));
}

int XDriver::screenHeight() const {
    return DisplayHeight(display_, DefaultScreen(display_));
}

} // namespace lumvek::test
