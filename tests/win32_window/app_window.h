#pragma once
// The test's own application window: a window class and window of the
// system with a window procedure of its own that records what the library
// posts to it, and a GetMessage / DispatchMessage loop to run it.
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "LumvekSdk.h"

namespace lumvek::test {

struct FrameSeen {
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    LumvekFrameInfo record{};  // copied in the window procedure, while it is the application's to read
};

class AppWindow {
public:
    // A top-level window with this client size, shown (or hidden).
    AppWindow(int clientWidth, int clientHeight, bool shown = true);
    ~AppWindow();
    AppWindow(const AppWindow&) = delete;
    AppWindow& operator=(const AppWindow&) = delete;

    [[nodiscard]] HWND hwnd() const { return hwnd_; }
    // Destroys the window now (as an application closing it would).
    void destroy();

    // Runs the message loop until done() holds or timeoutMs passed; done()'s
    // last result.
    bool pumpUntil(const std::function<bool()>& done, int timeoutMs);
    // Runs the message loop for a while.
    void pumpFor(int ms);

    std::vector<FrameSeen> frames;
    std::vector<intptr_t> errors;         // lParam of 0x8003
    std::vector<uintptr_t> deviceEvents;  // wParam of WM_DEVICECHANGE

private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    std::string className_;
};

// Pixels of a window's client area as the screen shows them: GetDC, BitBlt
// into a 24-bit top-down DIB section; rows packed width*3 apart.
std::vector<uint8_t> readWindowPixels(HWND hwnd, int width, int height);

} // namespace lumvek::test
