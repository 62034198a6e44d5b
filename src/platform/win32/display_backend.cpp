// Drawn windows on the Windows desktop: each one gets a window of the
// system (gdi_window.h) owned by the library's UI thread, when the session
// has a desktop; without one (a service, Wine without a display) they stay
// off screen, as on a Linux machine without an X server.
#include "platform/window/display_backend.h"

#include "platform/win32/gdi_window.h"
#include "platform/win32/ui_thread.h"

#include <windows.h>

namespace lumvek::platform::window {
namespace {

// A desktop that does not create a window within this time is taken as stuck.
constexpr DWORD kCreateTimeoutMs = 3000;

win32::UiThread* desktopThread() {
    win32::UiThread* thread = win32::UiThread::instance();
    return thread != nullptr && thread->hasDesktop() ? thread : nullptr;
}

} // namespace

bool displayConnected() {
    return desktopThread() != nullptr;
}

void reclaimDisplayErrorHandlers() {}

bool displayScreenSize(ScreenSize* size) {
    if (desktopThread() == nullptr)
        return false;
    *size = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return size->width > 0 && size->height > 0;
}

ScreenSize displayOuterSize(int clientWidth, int clientHeight, uint32_t style) {
    RECT rect{0, 0, clientWidth, clientHeight};
    // Off screen a window has no frame.
    if (desktopThread() == nullptr || !AdjustWindowRectEx(&rect, style & ~static_cast<uint32_t>(WS_VISIBLE), FALSE, 0))
        return {clientWidth, clientHeight};
    return {rect.right - rect.left, rect.bottom - rect.top};
}

std::shared_ptr<NativeWindow> createNativeWindow(const std::shared_ptr<Window>& window,
                                                 const NativeWindowRequest& request, bool* failed) {
    *failed = false;
    win32::UiThread* thread = desktopThread();
    if (thread == nullptr)
        return nullptr;
    auto native = std::make_shared<win32::GdiWindow>(window);
    auto created = std::make_shared<bool>(false);
    const bool ran = thread->call([native, request, created] { *created = native->create(request); },
                                  kCreateTimeoutMs);
    if (ran && *created)
        return native;
    // Refused (a parent that is gone), or too slow: no window; a late
    // creation is undone.
    *failed = true;
    if (!ran)
        (void)thread->post([native] { native->destroy(); });
    return nullptr;
}

} // namespace lumvek::platform::window
