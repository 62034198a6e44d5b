#pragma once
// Chooses where drawn windows appear: on an X11 server when the library is
// built with Xlib and DISPLAY names a server that answers, off screen only
// (the headless stand-in) otherwise. The connection is made on first need and
// made again after a server went away.
#include <memory>
#include <string>

#include "platform/window/native_window.h"
#include "platform/window/windows.h"

namespace lumvek::platform::window {

class Window;

struct NativeWindowRequest {
    bool child = false;
    unsigned long parentId = 0;  // display id of the parent (child form)
    std::string title;
    bool shown = true;
    int x = 0;
    int y = 0;
    int clientWidth = 0;
    int clientHeight = 0;
};

// True when an X server is connected (connecting now if need be).
[[nodiscard]] bool displayConnected();
// Call after code in the process (a toolkit) may have set Xlib's process-wide
// error handlers: ours are put back, so that our connection's errors and its
// loss stay non-fatal, and forward to the toolkit's for its own connection.
void reclaimDisplayErrorHandlers();
// The connected display's screen size; false when none.
[[nodiscard]] bool displayScreenSize(ScreenSize* size);
// Creates the on-screen window that mirrors window. Null when no display is
// connected (*failed false: the window stays off screen) or when the display
// refused it, e.g. a parent id that does not exist (*failed true).
[[nodiscard]] std::shared_ptr<NativeWindow> createNativeWindow(const std::shared_ptr<Window>& window,
                                                               const NativeWindowRequest& request, bool* failed);

} // namespace lumvek::platform::window
