#pragma once
// Windows of the operating system's own window manager that an application
// hands to the library (its HWNDs on Windows): messages are posted to them
// through the system, and the preview can be a child of one. Where there is
// no such window manager (the Linux build) no handle is one of them and
// every call answers accordingly.
//
// The handles of this layer's window table never coincide with a system
// window: the table hands out values outside the system's handle range, and
// callers look a handle up in the table first.
#include <cstddef>
#include <cstdint>

#include "LumvekWindow.h"

namespace lumvek::platform::window {

// A live window of the system (of any process).
[[nodiscard]] bool isSystemWindow(HWND hwnd);
// Posts through the system; returns at once. False for a dead window or a
// full queue.
bool postToSystemWindow(HWND hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Messages `message` with a wParam in [wParamFirst, wParamEnd) that the
// library posted to hwnd and that the window's thread has not yet taken
// from its queue. Known for windows of this process; 0 for others.
[[nodiscard]] size_t countPendingSystemMessages(HWND hwnd, uint32_t message, uintptr_t wParamFirst,
                                                uintptr_t wParamEnd);
// Destroys hwnd as the system does, which only the window's own thread may;
// false on any other thread or for a dead window.
bool destroySystemWindow(HWND hwnd);
// The window and all its parents are shown.
[[nodiscard]] bool isSystemWindowVisible(HWND hwnd);
// The value a display backend knows hwnd by; 0 when it is not a system window.
[[nodiscard]] unsigned long systemWindowId(HWND hwnd);

} // namespace lumvek::platform::window
