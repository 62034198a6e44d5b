#include "platform/win32/gdi_window.h"

#include "platform/window/window.h"
#include "platform/win32/ui_thread.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace lumvek::platform::window::win32 {
namespace {

constexpr DWORD kDestroyTimeoutMs = 2000;
constexpr LONG kShownStyle = WS_VISIBLE;

HWND handleFromId(unsigned long id) {
    // Window handles are 32-bit values the system sign-extends.
    return reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<LONG>(id)));
}

// The outer size of a top-level window with this client size and style.
SIZE outerSize(int clientWidth, int clientHeight, DWORD style) {
    RECT rect{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&rect, style, FALSE, 0);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

} // namespace

struct GdiWindow::Procedure {
    static LRESULT CALLBACK handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_GETMINMAXINFO) {
            // Comes before WM_NCCREATE too. A preview may be larger than the
            // screen (a full sensor frame 1:1): the system's limit, the
            // screen size, would shrink it at creation.
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            const SIZE largest = outerSize(kMaxClientDimension, kMaxClientDimension, WS_OVERLAPPEDWINDOW);
            limits->ptMaxTrackSize = {largest.cx, largest.cy};
            return 0;
        }
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<GdiWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self == nullptr)
            return DefWindowProcA(hwnd, message, wParam, lParam);
        switch (message) {
        case WM_PAINT:
            paint(*self, hwnd);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // painting covers the client area; the rest stays as it was
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED)
                userResized(*self, LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_CLOSE:
            // The close button hides the preview; only the library destroys it.
            if (const auto window = self->window_.lock())
                (void)window->setShown(false);
            return 0;
        case WM_DESTROY:
            if (!self->destroying_) {
                // Gone with its parent: the library window stops being drawn.
                self->hwnd_ = nullptr;
                if (const auto window = self->window_.lock())
                    (void)window->setShown(false);
            }
            return 0;
        case WM_NCDESTROY: {
            self->hwnd_ = nullptr;
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            const std::shared_ptr<GdiWindow> last = std::move(self->self_);  // may be the last owner
            return DefWindowProcA(hwnd, message, wParam, lParam);
        }
        default:
            return DefWindowProcA(hwnd, message, wParam, lParam);
        }
    }

    // Copies the surface out under the window's lock, then draws it with no
    // lock held: the frame loop draws into the surface meanwhile.
    static void paint(GdiWindow& self, HWND hwnd) {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(hwnd, &paint);
        int width = 0;
        int height = 0;
        const auto window = self.window_.lock();
        const bool copied = window && window->withSurface([&](const uint8_t* pixels, int w, int h, size_t stride) {
            self.picture_.assign(pixels, pixels + stride * static_cast<size_t>(h));
            width = w;
            height = h;
            return true;
        });
        if (dc != nullptr && copied && width > 0 && height > 0) {
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = width;
            info.bmiHeader.biHeight = -height;  // the surface's rows are top-down
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 24;
            info.bmiHeader.biCompression = BI_RGB;
            // The surface's rows are padded to 4 bytes, as a DIB's are.
            StretchDIBits(dc, 0, 0, width, height, 0, 0, width, height, self.picture_.data(), &info, DIB_RGB_COLORS,
                          SRCCOPY);
        }
        EndPaint(hwnd, &paint);
    }

    static void userResized(GdiWindow& self, int width, int height) {
        const auto window = self.window_.lock();
        if (!window || width <= 0 || height <= 0)
            return;
        int current = 0;
        int currentHeight = 0;
        window->clientSize(&current, &currentHeight);
        if (current != width || currentHeight != height)
            (void)window->resize(width, height);
    }
};

GdiWindow::GdiWindow(std::weak_ptr<Window> window) : window_(std::move(window)) {}

GdiWindow::~GdiWindow() = default;

bool GdiWindow::create(const NativeWindowRequest& request) {
    HINSTANCE module = GetModuleHandleA(nullptr);  // the application's, as for its own classes
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Procedure::handle;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    className_ = request.className;
    windowClass.lpszClassName = className_.c_str();
    if (className_.empty() || RegisterClassExA(&windowClass) == 0) {
        // The application has a class of that name: one of the library's own.
        char name[96];
        std::snprintf(name, sizeof name, "LumvekWindow_%p", static_cast<void*>(this));
        className_ = name;
        windowClass.lpszClassName = className_.c_str();
        if (RegisterClassExA(&windowClass) == 0)
            return false;
    }
    module_ = module;
    topLevel_ = !request.child;
    styleBits_ = request.style & ~static_cast<unsigned long>(kShownStyle);
    HWND parent = request.child ? handleFromId(request.parentId) : nullptr;
    int x = request.x;
    int y = request.y;
    int width = request.clientWidth;
    int height = request.clientHeight;
    DWORD extendedStyle = 0;
    if (topLevel_) {
        const SIZE outer = outerSize(width, height, styleBits_);
        width = outer.cx;
        height = outer.cy;
    } else {
        // The parent belongs to another thread, which may be waiting for this
        // creation: it must not be sent WM_PARENTNOTIFY.
        extendedStyle = WS_EX_NOPARENTNOTIFY;
        styleBits_ |= WS_CHILD;
    }
    self_ = shared_from_this();
    HWND hwnd = CreateWindowExA(extendedStyle, className_.c_str(), request.title.c_str(), styleBits_, x, y, width,
                                height, parent, topLevel_ ? nullptr : reinterpret_cast<HMENU>(uintptr_t{request.id}),
                                module, this);
    if (hwnd == nullptr) {
        self_.reset();
        UnregisterClassA(className_.c_str(), module);
        return false;
    }
    hwnd_ = hwnd;
    if (request.shown) {
        ShowWindow(hwnd, topLevel_ ? SW_SHOW : SW_SHOWNA);
        UpdateWindow(hwnd);
    }
    return true;
}

unsigned long GdiWindow::nativeId() const {
    return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(hwnd_.load()));
}

void GdiWindow::pictureChanged() {
    // Safe from any thread: WM_PAINT comes to the UI thread, which draws the
    // surface as it is then (the latest picture only).
    if (HWND hwnd = hwnd_.load())
        InvalidateRect(hwnd, nullptr, FALSE);
}

void GdiWindow::shownChanged(bool shown) {
    if (HWND hwnd = hwnd_.load())
        ShowWindowAsync(hwnd, shown ? SW_SHOWNA : SW_HIDE);
}

void GdiWindow::sizeChanged(int width, int height) {
    UiThread* thread = UiThread::instance();
    if (thread == nullptr)
        return;
    (void)thread->post([weak = weak_from_this(), width, height] {
        const auto self = weak.lock();
        HWND hwnd = self ? self->hwnd_.load() : nullptr;
        if (hwnd == nullptr)
            return;
        RECT client{};
        GetClientRect(hwnd, &client);
        if (client.right == width && client.bottom == height)
            return;  // the size the user gave it
        const SIZE outer = self->topLevel_ ? outerSize(width, height, self->styleBits_) : SIZE{width, height};
        SetWindowPos(hwnd, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(hwnd, nullptr, FALSE);
    });
}

void GdiWindow::destroy() {
    UiThread* thread = UiThread::instance();
    if (thread == nullptr)
        return;
    // Bounded: at process exit the UI thread may be gone or busy.
    (void)thread->call([self = shared_from_this()] { self->destroyOnThread(); }, kDestroyTimeoutMs);
}

void GdiWindow::destroyOnThread() {
    destroying_ = true;
    if (HWND hwnd = hwnd_.exchange(nullptr))
        DestroyWindow(hwnd);
    if (!className_.empty()) {
        UnregisterClassA(className_.c_str(), static_cast<HINSTANCE>(module_));
        className_.clear();
    }
}

} // namespace lumvek::platform::window::win32
