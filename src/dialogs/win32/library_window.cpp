#include "dialogs/win32/library_window.h"

#include "platform/window/messages.h"
#include "platform/window/system_window.h"
#include "platform/window/windows.h"

namespace lumvek::dialogs::win32 {

// The window layer's isWindow also answers for the system's windows (an
// application's own HWND); a library window is one of the layer's table.
bool isLibraryWindow(HWND hwnd) {
    return platform::window::isWindow(hwnd) && !platform::window::isSystemWindow(hwnd);
}

uintptr_t systemWindowOf(HWND hwnd) {
    return static_cast<uintptr_t>(platform::window::nativeWindowId(hwnd));
}

} // namespace lumvek::dialogs::win32
