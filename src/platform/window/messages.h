#pragma once
// Posted messages between the library and the application's windows: the
// one path every message of the library takes (frame 0x8002, error 0x8003,
// device change 0x0219), also behind the LumvekWnd_ exports.
#include <cstddef>
#include <cstdint>

#include "LumvekWindow.h"

namespace lumvek::platform::window {

// A window the application reads messages from; never null unless out of
// memory.
[[nodiscard]] HWND createMessageWindow();
// Destroys any window of this layer and, as the system does, its children.
// Waiters in getMessage wake with -1; a running handler finishes first
// (unless destroyWindow is called from inside it). A window of the system
// (system_window.h) is destroyed only on its own thread. False for a handle
// that is not a live window.
bool destroyWindow(HWND hwnd);
// Queues a message stamped with tickMs(); returns at once, never runs a
// handler. A window of the system gets it through the system's own queue;
// only its device events (WM_DEVICECHANGE 0x8000 and up), which the system
// never queues, are sent, waiting a bounded time for the window's thread.
// False (and nothing done) for a null or dead window or a full queue.
bool postMessage(HWND hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam);
// How many messages `message` with a wParam in [wParamFirst, wParamEnd) wait
// in the window's queue (for a window of the system: posted here and not yet
// taken by its thread); 0 for a dead window.
[[nodiscard]] size_t countQueuedMessages(HWND hwnd, uint32_t message, uintptr_t wParamFirst, uintptr_t wParamEnd);
// 1 taken, 0 none within timeoutMs (-1 waits for ever), -1 not a window of
// this layer (a window of the system is read by its own thread's message
// loop), destroyed while waiting, or msg null.
[[nodiscard]] int getMessage(HWND hwnd, LumvekMsg* msg, int timeoutMs);
// Hands the window's messages to handler on a dispatcher thread, in posting
// order; null returns to queueing. False for a dead window or one of the
// system.
bool setMessageHandler(HWND hwnd, LumvekMsgHandler handler, void* context);
// A live window of this layer or of the system.
[[nodiscard]] bool isWindow(HWND hwnd);

} // namespace lumvek::platform::window
