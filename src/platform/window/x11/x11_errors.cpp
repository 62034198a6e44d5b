#ifdef LUMVEK_HAVE_X11
#include "platform/window/x11/x11_errors.h"

#include <array>
#include <mutex>

namespace lumvek::platform::window::x11 {
namespace {

constexpr size_t kMaxWatched = 8;

struct Watched {
    Display* display = nullptr;
    ErrorLog* log = nullptr;
};

// The handlers are process-wide in Xlib; this table tells ours apart.
struct Handlers {
    std::mutex mutex;  // guards watched
    std::array<Watched, kMaxWatched> watched{};
    XErrorHandler previousError = nullptr;
    XIOErrorHandler previousIo = nullptr;
    bool installed = false;

    static Handlers& instance() {
        static Handlers* const handlers = new Handlers;  // outlives static destruction
        return *handlers;
    }
    ErrorLog* find(Display* display) {
        std::lock_guard lock(mutex);
        for (const Watched& w : watched)
            if (w.display == display)
                return w.log;
        return nullptr;
    }
};

int onError(Display* display, XErrorEvent* event) {
    Handlers& handlers = Handlers::instance();
    if (ErrorLog* log = handlers.find(display)) {
        log->lastSerial = event->serial;
        log->lastCode = event->error_code;
        ++log->count;
        return 0;
    }
    return handlers.previousError ? handlers.previousError(display, event) : 0;
}

int onIoError(Display* display) {
    Handlers& handlers = Handlers::instance();
    if (ErrorLog* log = handlers.find(display)) {
        log->connectionLost = true;
        return 0;
    }
    return handlers.previousIo ? handlers.previousIo(display) : 0;
}

// Returning from here leaves the connection marked broken; Xlib then fails
// every further request on it instead of ending the process.
void onIoErrorExit(Display*, void* data) {
    static_cast<ErrorLog*>(data)->connectionLost = true;
}

} // namespace

void watchDisplay(Display* display, ErrorLog* log) {
    Handlers& handlers = Handlers::instance();
    {
        std::lock_guard lock(handlers.mutex);
        if (!handlers.installed) {
            handlers.previousError = XSetErrorHandler(onError);
            handlers.previousIo = XSetIOErrorHandler(onIoError);
            handlers.installed = true;
        }
        for (Watched& w : handlers.watched) {
            if (w.display == nullptr) {
                w = Watched{display, log};
                break;
            }
        }
    }
    XSetIOErrorExitHandler(display, onIoErrorExit, log);
}

void forgetDisplay(Display* display) {
    Handlers& handlers = Handlers::instance();
    std::lock_guard lock(handlers.mutex);
    for (Watched& w : handlers.watched)
        if (w.display == display)
            w = Watched{};
}

void reclaimHandlers() {
    Handlers& handlers = Handlers::instance();
    std::lock_guard lock(handlers.mutex);
    if (!handlers.installed)
        return;
    if (XErrorHandler replaced = XSetErrorHandler(onError); replaced != onError)
        handlers.previousError = replaced;
    if (XIOErrorHandler replaced = XSetIOErrorHandler(onIoError); replaced != onIoError)
        handlers.previousIo = replaced;
}

} // namespace lumvek::platform::window::x11
#endif
