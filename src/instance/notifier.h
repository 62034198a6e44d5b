#pragma once
// How the instance reaches the application's windows: posted messages only.
#include <cstdint>

#include "LumvekSdk.h"

namespace lumvek {

// Posts message to window; false (nothing done) when it is not a live window.
bool postToWindow(HWND window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Registers window for WM_DEVICECHANGE (wParam 0x8000 arrival, 0x8004
// removal complete, lParam 0) whenever a camera of the cameras' interface
// class appears or vanishes. False when window is not a live window.
[[nodiscard]] bool registerForDeviceChanges(HWND window);

} // namespace lumvek
