#pragma once
// The desktop window that shows one drawn window of this layer on Windows: a
// child of an application's window or a top-level window, owned by the UI
// thread. WM_PAINT draws the window's surface with StretchDIBits; a new
// picture invalidates the client area, so the system repaints only the
// latest one. The close button and the parent's destruction hide the
// library window, so the preview stops drawing into it; a size the user
// gives the top-level window becomes the library window's size.
//
// Include after the window layer's headers and before <windows.h>'s users:
// the layer's style constants share their names with the system's macros.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "LumvekWindow.h"

#include "platform/window/display_backend.h"
#include "platform/window/native_window.h"

namespace lumvek::platform::window::win32 {

class GdiWindow final : public NativeWindow, public std::enable_shared_from_this<GdiWindow> {
public:
    explicit GdiWindow(std::weak_ptr<Window> window);
    ~GdiWindow() override;

    // Registers the class and creates the window (UI thread); false when
    // refused, e.g. a parent that is gone.
    [[nodiscard]] bool create(const NativeWindowRequest& request);

    [[nodiscard]] unsigned long nativeId() const override;
    void pictureChanged() override;
    void shownChanged(bool shown) override;
    void sizeChanged(int width, int height) override;
    void destroy() override;

private:
    struct Procedure;  // the window procedure and its helpers (UI thread)

    void destroyOnThread();

    const std::weak_ptr<Window> window_;
    std::atomic<HWND> hwnd_{nullptr};  // the desktop window; null before creation and once gone
    std::shared_ptr<GdiWindow> self_;   // keeps this alive while the desktop window exists (UI thread)
    void* module_ = nullptr;            // instance handle the class is registered with
    std::string className_;             // registered name, for unregistering (UI thread)
    bool destroying_ = false;           // the library asked for the destruction (UI thread)
    bool topLevel_ = false;
    unsigned long styleBits_ = 0;
    std::vector<uint8_t> picture_;      // the surface copied for painting (UI thread)
};

} // namespace lumvek::platform::window::win32
