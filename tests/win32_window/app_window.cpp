#include "app_window.h"

#include <cstdio>
#include <cstring>

namespace lumvek::test {
namespace {

constexpr UINT_PTR kPumpTimer = 1;
constexpr UINT kPumpTimerMs = 10;
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

} // namespace

AppWindow::AppWindow(int clientWidth, int clientHeight, bool shown) {
    char name[64];
    std::snprintf(name, sizeof name, "LumvekTestApplication_%p", static_cast<void*>(this));
    className_ = name;
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &AppWindow::procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = className_.c_str();
    if (RegisterClassExA(&windowClass) == 0)
        return;
    RECT outer{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&outer, kStyle, FALSE, 0);
    hwnd_ = CreateWindowExA(0, className_.c_str(), "Lumvek test application", kStyle, 0, 0, outer.right - outer.left,
                            outer.bottom - outer.top, nullptr, nullptr, windowClass.hInstance, this);
    if (hwnd_ != nullptr && shown) {
        ShowWindow(hwnd_, SW_SHOW);
        UpdateWindow(hwnd_);
    }
}

AppWindow::~AppWindow() {
    destroy();
    UnregisterClassA(className_.c_str(), GetModuleHandleA(nullptr));
}

void AppWindow::destroy() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
}

LRESULT CALLBACK AppWindow::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<AppWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case LUMVEK_WM_FRAME: {
        FrameSeen seen;
        seen.wParam = wParam;
        seen.lParam = lParam;
        if (wParam != 0)
            std::memcpy(&seen.record, reinterpret_cast<const void*>(wParam), sizeof seen.record);
        self->frames.push_back(seen);
        return 0;
    }
    case LUMVEK_WM_ERROR:
        self->errors.push_back(lParam);
        return 0;
    case WM_DEVICECHANGE:
        self->deviceEvents.push_back(wParam);
        return TRUE;
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool AppWindow::pumpUntil(const std::function<bool()>& done, int timeoutMs) {
    // The timer wakes GetMessage so that done() and the time are checked.
    const UINT_PTR timer = SetTimer(nullptr, kPumpTimer, kPumpTimerMs, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    MSG msg;
    while (!done() && std::chrono::steady_clock::now() < deadline && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    KillTimer(nullptr, timer);
    return done();
}

void AppWindow::pumpFor(int ms) {
    (void)pumpUntil([] { return false; }, ms);
}

std::vector<uint8_t> readWindowPixels(HWND hwnd, int width, int height) {
    std::vector<uint8_t> packed;
    HDC windowDc = GetDC(hwnd);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (windowDc != nullptr && memoryDc != nullptr && section != nullptr) {
        HGDIOBJ old = SelectObject(memoryDc, section);
        if (BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY)) {
            GdiFlush();
            const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
            packed.resize(static_cast<size_t>(width) * height * 3);
            for (int y = 0; y < height; ++y)
                std::memcpy(&packed[static_cast<size_t>(y) * width * 3], static_cast<uint8_t*>(bits) + y * stride,
                            static_cast<size_t>(width) * 3);
        }
        SelectObject(memoryDc, old);
    }
    if (section != nullptr)
        DeleteObject(section);
    if (memoryDc != nullptr)
        DeleteDC(memoryDc);
    if (windowDc != nullptr)
        ReleaseDC(hwnd, windowDc);
    return packed;
}

} // namespace lumvek::test
