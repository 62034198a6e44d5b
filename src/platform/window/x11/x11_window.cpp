#ifdef LUMVEK_HAVE_X11
#include "platform/window/x11/x11_window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>

#include "platform/sync/clock.h"
#include "platform/window/window.h"
#include "platform/window/x11/x11_connection.h"

namespace lumvek::platform::window::x11 {
namespace {

// A destroyed library window waits this long for the server to drop its
// window; a server that does not answer is left behind.
constexpr int kDestroyTimeoutMs = 1000;
constexpr long kEventMask = ExposureMask | StructureNotifyMask | KeyPressMask;
constexpr size_t kKeyTextBytes = 8;

} // namespace

X11Window::X11Window(Connection& connection, std::weak_ptr<Window> window)
    : connection_(connection), window_(std::move(window)) {}

X11Window::~X11Window() = default;

bool X11Window::create(const NativeWindowRequest& request) {
    Display* display = connection_.display();
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.border_pixel = 0;
    attributes.colormap = DefaultColormap(display, screen);
    attributes.event_mask = kEventMask;
    // X has no empty windows: a 0-wide client area is a 1-pixel window
    // that the library never draws into.
    width_ = std::max(request.clientWidth, 1);
    height_ = std::max(request.clientHeight, 1);
    const ::Window parent = request.child ? request.parentId : RootWindow(display, screen);
    const unsigned long errorsBefore = connection_.errors().count;
    const ::Window id = XCreateWindow(display, parent, request.x, request.y, static_cast<unsigned>(width_),
                                      static_cast<unsigned>(height_), 0, DefaultDepth(display, screen), InputOutput,
                                      DefaultVisual(display, screen),
                                      CWBackPixel | CWBorderPixel | CWColormap | CWEventMask, &attributes);
    XSync(display, False);
    if (connection_.errors().count != errorsBefore || connection_.errors().connectionLost) {
        // A parent id that does not exist (or of another depth): nothing was made.
        return false;
    }
    XStoreName(display, id, request.title.c_str());
    XChangeProperty(display, id, connection_.netWmName, connection_.utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(request.title.data()),
                    static_cast<int>(request.title.size()));
    if (!request.child) {
        XSizeHints hints{};
        hints.flags = USPosition | USSize;
        hints.x = request.x;
        hints.y = request.y;
        hints.width = width_;
        hints.height = height_;
        XSetWMNormalHints(display, id, &hints);
        Atom protocols[] = {connection_.wmDeleteWindow};
        XSetWMProtocols(display, id, protocols, 1);
    }
    gc_ = XCreateGC(display, id, 0, nullptr);
    if (request.shown) {
        XMapWindow(display, id);
        mapped_ = true;
    }
    XSync(display, False);
    id_ = id;
    dirty_ = true;
    return true;
}

void X11Window::pictureChanged() {
    if (!dirty_.exchange(true))
        connection_.wake();
}

void X11Window::shownChanged(bool shown) {
    auto self = shared_from_this();
    connection_.post([self, shown] {
        const ::Window id = self->id_;
        if (id == None || self->mapped_ == shown)
            return;
        if (shown)
            XMapWindow(self->connection_.display(), id);
        else
            XUnmapWindow(self->connection_.display(), id);
        self->mapped_ = shown;
        self->dirty_ = true;
    });
}

void X11Window::sizeChanged(int width, int height) {
    auto self = shared_from_this();
    connection_.post([self, width, height] {
        const int w = std::max(width, 1);
        const int h = std::max(height, 1);
        if (self->id_ == None || (w == self->width_ && h == self->height_))
            return;
        self->width_ = w;
        self->height_ = h;
        XResizeWindow(self->connection_.display(), self->id_, static_cast<unsigned>(w), static_cast<unsigned>(h));
        self->dirty_ = true;
    });
}

void X11Window::destroy() {
    auto self = shared_from_this();
    (void)connection_.call([self] { self->destroyOnThread(); }, kDestroyTimeoutMs);
}

void X11Window::destroyOnThread() {
    Display* display = connection_.display();
    picture_.release();
    if (gc_ != nullptr) {
        XFreeGC(display, gc_);
        gc_ = nullptr;
    }
    if (const ::Window id = id_.exchange(None); id != None) {
        XDestroyWindow(display, id);
        XSync(display, False);  // gone from the screen when destroy() returns
    }
}

void X11Window::connectionLost() {
    // Xlib sends nothing more on a broken connection; these free client memory.
    id_ = None;
    picture_.release();
    if (gc_ != nullptr) {
        XFreeGC(connection_.display(), gc_);
        gc_ = nullptr;
    }
}

void X11Window::lost(uint32_t message) {
    id_ = None;
    picture_.release();
    if (gc_ != nullptr) {
        XFreeGC(connection_.display(), gc_);
        gc_ = nullptr;
    }
    if (const auto window = window_.lock()) {
        (void)window->setShown(false);
        (void)window->queue().post(LumvekMsg{window->handle(), message, 0, 0, tickMs()});
    }
}

void X11Window::postKey(XKeyEvent event) {
    const auto window = window_.lock();
    if (!window)
        return;
    char text[kKeyTextBytes] = {};
    KeySym key = NoSymbol;
    const int length = XLookupString(&event, text, sizeof text, &key, nullptr);
    const uint32_t time = tickMs();
    if (key == XK_Escape) {
        (void)window->queue().post(LumvekMsg{window->handle(), LUMVEK_WM_KEYDOWN, LUMVEK_VK_ESCAPE, 0, time});
        return;
    }
    if (length == 1)
        (void)window->queue().post(
            LumvekMsg{window->handle(), LUMVEK_WM_CHAR, static_cast<unsigned char>(text[0]), 0, time});
}

void X11Window::handleEvent(const XEvent& event) {
    switch (event.type) {
    case Expose:
        if (event.xexpose.count == 0)
            dirty_ = true;
        break;
    case ConfigureNotify:
        if (event.xconfigure.width != width_ || event.xconfigure.height != height_) {
            width_ = event.xconfigure.width;
            height_ = event.xconfigure.height;
            // The library window follows: its surface is made anew at the new
            // size and the next frame is scaled into it.
            if (const auto window = window_.lock())
                (void)window->resize(width_, height_);
            dirty_ = true;
        }
        break;
    case DestroyNotify:
        // Destroyed with the application's parent window.
        if (event.xdestroywindow.window == id_)
            lost(LUMVEK_WM_CLOSE);
        break;
    case ClientMessage:
        if (event.xclient.message_type == connection_.wmProtocols &&
            static_cast<Atom>(event.xclient.data.l[0]) == connection_.wmDeleteWindow) {
            // The close button: the window goes, the camera keeps streaming.
            const ::Window id = id_;
            lost(LUMVEK_WM_CLOSE);
            XDestroyWindow(connection_.display(), id);
        }
        break;
    case KeyPress:
        postKey(event.xkey);
        break;
    default:
        break;
    }
}

void X11Window::drawIfDirty() {
    if (id_ == None || !mapped_ || !dirty_.exchange(false))
        return;
    const auto window = window_.lock();
    if (!window)
        return;
    int width = 0;
    int height = 0;
    window->clientSize(&width, &height);
    if (width <= 0 || height <= 0)
        return;
    Display* display = connection_.display();
    const int screen = DefaultScreen(display);
    // Made outside the window's lock: attaching shared memory waits on the server.
    if (!picture_.ensure(display, DefaultVisual(display, screen), DefaultDepth(display, screen), width, height,
                         connection_.sharedMemory(), connection_.errors()))
        return;
    const bool filled = window->withSurface([&](const uint8_t* pixels, int w, int h, size_t stride) {
        if (w != picture_.width() || h != picture_.height())
            return false;  // resized meanwhile: drawn on the next pass
        picture_.fill(pixels, w, h, stride);
        return true;
    });
    if (!filled) {
        dirty_ = true;
        return;
    }
    picture_.put(id_, gc_);
    // The shared image may be refilled only after the server has read it;
    // this also paces drawing to what the server manages (latest picture wins).
    XSync(display, False);
}

} // namespace lumvek::platform::window::x11
#endif
