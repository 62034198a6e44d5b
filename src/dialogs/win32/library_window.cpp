#include "dialogs/win32/library_window.h"

#include "platform/window/messages.h"
#include "platform/window/windows.h"

namespace lumvek::dialogs::win32 {

bool isLibraryWindow(HWND hwnd) {
    return platform::window::isWindow(hwnd);
}

uintptr_t systemWindowOf(HWND hwnd) {
    return static_cast<uintptr_t>(platform::window::nativeWindowId(hwnd));
}

} // namespace lumvek::dialogs::win32
