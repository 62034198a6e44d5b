// The LumvekWnd_ exports: look up, forward, convert the result. Nothing may
// escape as an exception; any failure inside becomes the function's failure
// result.
#include "LumvekWindow.h"

#include "platform/window/messages.h"
#include "platform/window/windows.h"

namespace window = lumvek::platform::window;

namespace {

template <typename Result, typename Call>
Result guarded(Result onFailure, Call&& call) noexcept {
    try {
        return call();
    } catch (...) {
        return onFailure;
    }
}

} // namespace

extern "C" {

LUMVEK_WND_API HWND LumvekWnd_CreateMessageWindow(void) {
    return guarded<HWND>(nullptr, [] { return window::createMessageWindow(); });
}

LUMVEK_WND_API int LumvekWnd_DestroyWindow(HWND hwnd) {
    return guarded(0, [&] { return window::destroyWindow(hwnd) ? 1 : 0; });
}

LUMVEK_WND_API int LumvekWnd_PostMessage(HWND hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return guarded(0, [&] { return window::postMessage(hwnd, message, wParam, lParam) ? 1 : 0; });
}

LUMVEK_WND_API int LumvekWnd_GetMessage(HWND hwnd, LumvekMsg* msg, int timeout_ms) {
    return guarded(-1, [&] { return window::getMessage(hwnd, msg, timeout_ms); });
}

LUMVEK_WND_API int LumvekWnd_SetMessageHandler(HWND hwnd, LumvekMsgHandler handler, void* context) {
    return guarded(0, [&] { return window::setMessageHandler(hwnd, handler, context) ? 1 : 0; });
}

LUMVEK_WND_API int LumvekWnd_EnumWindows(HWND parent, HWND* out, int max) {
    return guarded(0, [&] { return window::enumWindows(parent, out, max); });
}

LUMVEK_WND_API int LumvekWnd_GetInfo(HWND hwnd, LumvekWndInfo* info) {
    return guarded(0, [&] { return window::getWindowInfo(hwnd, info) ? 1 : 0; });
}

LUMVEK_WND_API int LumvekWnd_ReadSurface(HWND hwnd, void* buffer, int size, int* width, int* height) {
    return guarded(0, [&] {
        if (size < 0)
            return 0;
        return window::readSurface(hwnd, buffer, static_cast<size_t>(size), width, height) ? 1 : 0;
    });
}

LUMVEK_WND_API int LumvekWnd_Show(HWND hwnd, int visible) {
    return guarded(0, [&] { return window::showWindow(hwnd, visible != 0) ? 1 : 0; });
}

LUMVEK_WND_API int LumvekWnd_Resize(HWND hwnd, int clientWidth, int clientHeight) {
    return guarded(0, [&] { return window::resizeClient(hwnd, clientWidth, clientHeight) ? 1 : 0; });
}

LUMVEK_WND_API int LumvekWnd_GetScreenSize(int* width, int* height) {
    return guarded(0, [&] {
        const window::ScreenSize screen = window::screenSize();
        if (width)
            *width = screen.width;
        if (height)
            *height = screen.height;
        return 1;
    });
}

LUMVEK_WND_API HWND LumvekWnd_FromX11Window(unsigned long x11Window) {
    return guarded<HWND>(nullptr, [&] { return window::wrapNativeWindow(x11Window); });
}

LUMVEK_WND_API unsigned long LumvekWnd_X11Window(HWND hwnd) {
    return guarded<unsigned long>(0, [&] { return window::nativeWindowId(hwnd); });
}

} // extern "C"
