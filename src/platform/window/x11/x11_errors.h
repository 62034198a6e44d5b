#pragma once
// X errors of our own connections are recorded, never fatal: Xlib's default
// handlers end the process, which a camera library must not do because an X
// server went away or an application window id was stale. Errors of other
// connections in the process (the application's toolkit) still reach the
// handlers that were installed before ours.
#include <X11/Xlib.h>

#include <atomic>

namespace lumvek::platform::window::x11 {

struct ErrorLog {
    std::atomic<unsigned long> count{0};
    std::atomic<unsigned long> lastSerial{0};  // request serial of the last error
    std::atomic<int> lastCode{0};
    std::atomic<bool> connectionLost{false};
};

// Routes display's errors into log until forgetDisplay; installs the process
// handlers on first use.
void watchDisplay(Display* display, ErrorLog* log);
void forgetDisplay(Display* display);
// Puts our process handlers back after a toolkit initialised later replaced
// them (GDK installs its own, which end the process on our connections'
// errors); the replacing handlers become the ones other connections reach.
void reclaimHandlers();

} // namespace lumvek::platform::window::x11
