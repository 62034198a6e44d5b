#pragma once
// The X11 window that shows one drawn window of this layer: a top-level
// window (title, centred, close button) or a child of an application's X11
// window. It draws the window's surface whenever the surface changed or the
// server asks (expose), the latest picture only, on the connection thread;
// resizes from the server resize the surface, the close button and the
// parent's destruction hide the library window, and keys reach its queue.
#include <X11/Xlib.h>

#include <atomic>
#include <memory>

#include "platform/window/display_backend.h"
#include "platform/window/native_window.h"
#include "platform/window/x11/x11_picture.h"

namespace lumvek::platform::window::x11 {

class Connection;

class X11Window final : public NativeWindow, public std::enable_shared_from_this<X11Window> {
public:
    X11Window(Connection& connection, std::weak_ptr<Window> window);
    ~X11Window() override;

    // Creates the server's window (connection thread); false when refused.
    [[nodiscard]] bool create(const NativeWindowRequest& request);

    [[nodiscard]] unsigned long nativeId() const override { return id_; }
    void pictureChanged() override;
    void shownChanged(bool shown) override;
    void sizeChanged(int width, int height) override;
    void destroy() override;

    // Connection thread only.
    [[nodiscard]] bool owns(::Window id) const { return id != None && id == id_; }
    void handleEvent(const XEvent& event);
    void drawIfDirty();
    void connectionLost();

private:
    void destroyOnThread();
    // The server's window is gone (closed by the user or with its parent):
    // hide the library window so the preview stops drawing into it.
    void lost(uint32_t message);
    void postKey(XKeyEvent event);

    Connection& connection_;
    const std::weak_ptr<Window> window_;
    std::atomic<unsigned long> id_{None};
    std::atomic<bool> dirty_{false};
    GC gc_ = nullptr;
    Picture picture_;
    int width_ = 0;   // of the server's window as last known
    int height_ = 0;
    bool mapped_ = false;
};

} // namespace lumvek::platform::window::x11
