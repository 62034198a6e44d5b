#pragma once
// The on-screen counterpart of a window this layer draws: what a display
// backend (X11) keeps in step with the off-screen surface. The surface stays
// the truth (it is what LumvekWnd_ReadSurface returns); the counterpart shows
// it. Every call returns at once: the backend does its work on a thread of
// its own, so a slow or vanished display never holds up the caller.
namespace lumvek::platform::window {

class NativeWindow {
public:
    virtual ~NativeWindow() = default;

    // The display's id of the window (an X11 window id); 0 once it is gone.
    [[nodiscard]] virtual unsigned long nativeId() const = 0;
    // The surface holds a new picture; only the latest one need be shown.
    virtual void pictureChanged() = 0;
    virtual void shownChanged(bool shown) = 0;
    // The library changed the client size (not called for sizes the display reported).
    virtual void sizeChanged(int width, int height) = 0;
    // The library window is destroyed; waits a bounded time for the display.
    virtual void destroy() = 0;
};

} // namespace lumvek::platform::window
