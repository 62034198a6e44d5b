#pragma once
// One window of this layer: a message window of the application or a window
// the library creates (top-level or child), with its message queue and, for
// drawn windows, the surface that keeps the client area's pixels.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "LumvekWindow.h"
#include "platform/window/drawing.h"
#include "platform/window/message_queue.h"
#include "platform/window/native_window.h"
#include "platform/window/windows.h"

namespace lumvek::platform::window {

enum class WindowKind { Message, TopLevel, Child };

struct WindowSpec {
    WindowKind kind = WindowKind::Message;
    HWND parent = nullptr;
    std::string className;
    std::string title;
    uint32_t style = 0;
    uint32_t id = 0;
    int x = 0;
    int y = 0;
    int clientWidth = 0;
    int clientHeight = 0;
    unsigned long nativeId = 0;  // message window: the application's display window it wraps
};

class Window {
public:
    // Throws std::bad_alloc when the surface cannot be allocated.
    Window(HWND handle, const WindowSpec& form);
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    [[nodiscard]] HWND handle() const { return handle_; }
    [[nodiscard]] WindowKind kind() const { return description_.kind; }
    [[nodiscard]] HWND parent() const { return description_.parent; }
    [[nodiscard]] const std::string& className() const { return description_.className; }
    [[nodiscard]] MessageQueue& queue() { return *queue_; }

    // False once destroyed.
    [[nodiscard]] bool alive() const;
    // Marks the window destroyed and closes its queue (waiters wake).
    void markDestroyed();

    // Own visibility flag (WS_VISIBLE), not counting the parents.
    [[nodiscard]] bool shownFlag() const;
    [[nodiscard]] bool setShown(bool shown);
    void clientSize(int* width, int* height) const;
    // Reallocates the surface (erased to black). False for a message window,
    // an out-of-range size or no memory (the old size stays).
    [[nodiscard]] bool resize(int width, int height);
    [[nodiscard]] LumvekWndInfo info() const;

    // Copies bitmap 1:1 into the client area at (x, y), clipped; false when
    // destroyed or hidden. Visibility of the parents is checked by the caller.
    bool draw(const BitmapView& bitmap, int x, int y);
    // The client area as 24-bit BGR, rows top-down, stride width*3 rounded up
    // to 4. width and height are always reported; false when buffer is null
    // or too small, or for a message window.
    [[nodiscard]] bool readSurface(void* buffer, size_t size, int* width, int* height) const;

    [[nodiscard]] static size_t strideFor(int width) { return surfaceStride(width); }

    // The window's counterpart on a display; set once, after creation.
    void attachNative(std::shared_ptr<NativeWindow> native);
    // The display id behind the window (the wrapped one for a message
    // window); 0 for none.
    [[nodiscard]] unsigned long nativeId() const;
    // Runs use on the surface (BGR, top-down) under the window's lock; false
    // when destroyed, a message window, or use returned false.
    bool withSurface(const std::function<bool(const uint8_t* pixels, int width, int height, size_t stride)>& use) const;

private:
    bool copyIn(const BitmapView& bitmap, int x, int y, std::shared_ptr<NativeWindow>* native);

    const HWND handle_;
    const std::shared_ptr<MessageQueue> queue_;
    mutable std::mutex mutex_;  // guards description_'s mutable fields (style, size), alive_ and surface_
    WindowSpec description_;
    bool alive_ = true;
    std::vector<uint8_t> surface_;  // BGR, top-down, strideFor(clientWidth) per row
    // Told of every change outside mutex_ (it never calls back into this
    // window on the caller's thread).
    std::shared_ptr<NativeWindow> native_;  // guarded by mutex_
    [[nodiscard]] std::shared_ptr<NativeWindow> native() const;
};

} // namespace lumvek::platform::window
