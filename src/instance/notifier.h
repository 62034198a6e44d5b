#pragma once
// How the instance reaches the application's windows: posted messages only.
#include <cstddef>
#include <cstdint>

#include "LumvekSdk.h"

namespace lumvek {

// Posts message to window; false (nothing done) when it is not a live window.
bool postToWindow(HWND window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// How many frame messages 0x8002 whose wParam points into [records, records +
// bytes) still wait in window's queue, unread by the application.
[[nodiscard]] size_t queuedFrameMessages(HWND window, const void* records, size_t bytes);

// Registers window for WM_DEVICECHANGE (wParam 0x8000 arrival, 0x8004
// removal complete, lParam 0) whenever a camera of the cameras' interface
// class appears or vanishes. False when window is not a live window.
[[nodiscard]] bool registerForDeviceChanges(HWND window);

} // namespace lumvek
