#pragma once
// Chooses where drawn windows appear: on an X11 server when the library is
// built with Xlib and DISPLAY names a server that answers, on the desktop in
// the Windows build (win32/display_backend.cpp) when there is one, off
// screen only (the headless stand-in) otherwise. The connection is made on first need and
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
    std::string className;       // of the library window
    std::string title;
    uint32_t style = 0;          // the library window's style bits
    uint32_t id = 0;             // child identifier
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
// Outer size of a top-level window of this client size and style on the
// display; the client size when the display adds no frame of its own.
[[nodiscard]] ScreenSize displayOuterSize(int clientWidth, int clientHeight, uint32_t style);
// Creates the on-screen window that mirrors window. Null when no display is
// connected (*failed false: the window stays off screen) or when the display
// refused it, e.g. a parent id that does not exist (*failed true).
[[nodiscard]] std::shared_ptr<NativeWindow> createNativeWindow(const std::shared_ptr<Window>& window,
                                                               const NativeWindowRequest& request, bool* failed);

} // namespace lumvek::platform::window
