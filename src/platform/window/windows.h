#pragma once
// Windows the library creates (the preview): class registration, creation,
// visibility, size and inspection. The headless backend keeps every window
// off screen: a window has no frame, so its outer size is its client size.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "LumvekWindow.h"

namespace lumvek::platform::window {

inline constexpr uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000;
inline constexpr uint32_t WS_CLIPCHILDREN = 0x02000000;
inline constexpr uint32_t WS_CLIPSIBLINGS = 0x04000000;
inline constexpr uint32_t WS_VISIBLE = 0x10000000;
inline constexpr uint32_t WS_CHILD = 0x40000000;

// Largest client width or height a drawn window accepts.
inline constexpr int kMaxClientDimension = 16384;

// Bytes per surface row: width * 3 rounded up to 4.
[[nodiscard]] constexpr size_t surfaceStride(int width) {
    return (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
}

// Longest class name accepted.
inline constexpr size_t kMaxClassNameChars = 255;

// Registers a window class by name (ASCII case ignored). False for an empty
// or over-long name or one already registered.
[[nodiscard]] bool registerClass(std::string_view className);
// False when not registered or while windows of the class exist.
bool unregisterClass(std::string_view className);

struct CreateWindowParams {
    std::string className;  // must be registered
    std::string title;
    uint32_t style = 0;     // WS_CHILD needs a parent; WS_VISIBLE shows at once
    uint32_t id = 0;        // child identifier
    HWND parent = nullptr;  // any live window (an application's message window too)
    int x = 0;              // relative to the parent for a child, else on the screen
    int y = 0;
    int clientWidth = 0;
    int clientHeight = 0;
};

// Null when the class is not registered, the parent is not a live window (or
// is missing for, or given to, the wrong form), a size is negative or too
// large, memory runs out, or the display refuses the window. With a display
// connected, a top-level window and a child of a window that has a display
// id are shown on it too.
[[nodiscard]] HWND createWindow(const CreateWindowParams& params);

// Sets or clears the window's own visibility (a message window: false).
bool showWindow(HWND hwnd, bool visible);
// The window and all its parents are shown.
[[nodiscard]] bool isWindowVisible(HWND hwnd);
[[nodiscard]] bool getClientSize(HWND hwnd, int* width, int* height);
// New client size; the surface is reallocated and erased to black. Safe
// while another thread draws.
[[nodiscard]] bool resizeClient(HWND hwnd, int width, int height);
// visible reports isWindowVisible.
[[nodiscard]] bool getWindowInfo(HWND hwnd, LumvekWndInfo* info);
// Children of parent (null: top-level drawn windows) in creation order;
// writes at most max handles, returns how many exist (0 for a dead parent).
[[nodiscard]] int enumWindows(HWND parent, HWND* out, int max);
// The last drawn client area, 24-bit BGR, rows top-down, stride width*3
// rounded up to 4; width and height are reported even when the buffer is
// refused as too small.
[[nodiscard]] bool readSurface(HWND hwnd, void* buffer, size_t size, int* width, int* height);

// A message window wrapping a window of the display (an X11 window id) that
// the application owns; null when no display is connected or id is 0.
[[nodiscard]] HWND wrapNativeWindow(unsigned long id);
// The display's id behind a window of this layer; 0 for none.
[[nodiscard]] unsigned long nativeWindowId(HWND hwnd);

struct ScreenSize {
    int width;
    int height;
};
// $LUMVEK_SCREEN ("WxH", each 1..65535) when set, else the connected
// display's screen, else 1920 x 1080; read on every call.
[[nodiscard]] ScreenSize screenSize();
struct ScreenPoint {
    int x;
    int y;
};
// Top-left corner that centres a window of this outer size on the screen;
// negative coordinates become 0.
[[nodiscard]] ScreenPoint centredPosition(int width, int height);
// The outer size of a top-level window of this client size and style where
// the display adds a frame (the Windows desktop); the client size elsewhere.
[[nodiscard]] ScreenSize outerSize(int clientWidth, int clientHeight, uint32_t style);

} // namespace lumvek::platform::window
