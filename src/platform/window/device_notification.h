#pragma once
// Device arrival and removal for the windows that asked for it: the camera
// layer (directory watch, hot-plug) calls postDeviceChange; every window
// registered with registerDeviceNotification gets WM_DEVICECHANGE posted.
#include <cstdint>

#include "LumvekWindow.h"

namespace lumvek::platform::window {

inline constexpr uint32_t WM_DEVICECHANGE = 0x0219;
inline constexpr uintptr_t DBT_DEVICEARRIVAL = 0x8000;
inline constexpr uintptr_t DBT_DEVICEREMOVECOMPLETE = 0x8004;

// Adds hwnd to the notified windows (once, however often it is called).
// False when hwnd is not a live window. Registrations are never withdrawn by
// the library; a destroyed window simply drops out.
bool registerDeviceNotification(HWND hwnd);
// Removes hwnd; false when it was not registered.
bool unregisterDeviceNotification(HWND hwnd);
// Posts WM_DEVICECHANGE (wParam event, lParam 0) to every registered live
// window; returns how many took it. Safe from any thread.
int postDeviceChange(uintptr_t event);

} // namespace lumvek::platform::window
