// No window manager of the system behind HWNDs here: every window the
// library meets is one of its own table.
#include "platform/window/system_window.h"

namespace lumvek::platform::window {

bool isSystemWindow(HWND) {
    return false;
}

bool postToSystemWindow(HWND, uint32_t, uintptr_t, intptr_t) {
    return false;
}

size_t countPendingSystemMessages(HWND, uint32_t, uintptr_t, uintptr_t) {
    return 0;
}

bool destroySystemWindow(HWND) {
    return false;
}

bool isSystemWindowVisible(HWND) {
    return false;
}

unsigned long systemWindowId(HWND) {
    return 0;
}

} // namespace lumvek::platform::window
