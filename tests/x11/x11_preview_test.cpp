// The preview on a real X server (Xvfb of the test's own): child and
// top-level forms, the pictures they show read back with XGetImage, the close
// button, keys, a parent that goes away, and Lumvek_Close.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LumvekSdk.h"
#include "LumvekWindow.h"
#include "support/test_env.h"
#include "xvfb_server.h"

namespace {

constexpr int kSensorWidth = 2336;
constexpr int kSensorHeight = 1752;
constexpr int kScreenWidth = 2560;
constexpr int kScreenHeight = 2048;
constexpr int kWaitMs = 8000;
constexpr int kFramesAfterClose = 3;

// Blocks of 8 x 8 samples, no two neighbours alike, different along rows
// and columns: a turned or mirrored picture does not match.
uint8_t sceneSample(int x, int y) {
    return static_cast<uint8_t>((x / 8) * 5 + (y / 8) * 11 + (x / 64) * 3);
}

std::string writeScene() {
    const auto path = lumvek::test::makeTempDir("x11scene") / "scene.pgm";
    std::ofstream out(path, std::ios::binary);
    out << "P5\n" << kSensorWidth << " " << kSensorHeight << "\n255\n";
    std::vector<uint8_t> row(kSensorWidth);
    for (int y = 0; y < kSensorHeight; ++y) {
        for (int x = 0; x < kSensorWidth; ++x)
            row[x] = sceneSample(x, y);
        out.write(reinterpret_cast<const char*>(row.data()), kSensorWidth);
    }
    return path.string();
}

// Polls a condition until it holds or the bound passes.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = kWaitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

// The test's own client of the server: the "application".
struct Client {
    Display* display = nullptr;
    explicit Client(const std::string& name) : display(XOpenDisplay(name.c_str())) {}
    ~Client() {
        if (display)
            XCloseDisplay(display);
    }
    // BGR, rows top-down, width*3 per row.
    std::vector<uint8_t> grab(::Window window, int width, int height) const {
        std::vector<uint8_t> bgr;
        XImage* image = XGetImage(display, window, 0, 0, width, height, AllPlanes, ZPixmap);
        if (image == nullptr)
            return bgr;
        bgr.resize(static_cast<size_t>(width) * height * 3);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const unsigned long pixel = XGetPixel(image, x, y);
                uint8_t* out = &bgr[(static_cast<size_t>(y) * width + x) * 3];
                out[0] = pixel & 0xFF;
                out[1] = (pixel >> 8) & 0xFF;
                out[2] = (pixel >> 16) & 0xFF;
            }
        XDestroyImage(image);
        return bgr;
    }
    bool exists(::Window window) const {
        XSync(display, False);
        ::Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        XWindowAttributes attributes;
        const bool alive = XGetWindowAttributes(display, window, &attributes) != 0;
        (void)root, (void)parent, (void)children, (void)count;
        return alive;
    }
};

// The library's surface of a window as BGR rows width*3 apart.
std::vector<uint8_t> surfaceOf(HWND hwnd, int* width, int* height) {
    (void)LumvekWnd_ReadSurface(hwnd, nullptr, 0, width, height);
    const size_t stride = (static_cast<size_t>(*width) * 3 + 3) & ~size_t{3};
    std::vector<uint8_t> raw(stride * *height);
    if (LumvekWnd_ReadSurface(hwnd, raw.data(), static_cast<int>(raw.size()), width, height) != 1)
        return {};
    std::vector<uint8_t> packed(static_cast<size_t>(*width) * *height * 3);
    for (int y = 0; y < *height; ++y)
        std::copy_n(&raw[y * stride], *width * 3, &packed[static_cast<size_t>(y) * *width * 3]);
    return packed;
}

class X11Preview : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new lumvek::test::XvfbServer(kScreenWidth, kScreenHeight);
        if (!server_->ok())
            return;
        setenv("DISPLAY", server_->display().c_str(), 1);
        unsetenv("LUMVEK_SCREEN");
        static const std::string cameras = "product=0x3090,name=r13x,fps=40,scene=" + writeScene();
        setenv("LUMVEK_SIM_CAMERAS", cameras.c_str(), 1);
        XSetErrorHandler(ignoreErrors);
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(server_ && server_->ok()) << "Xvfb did not start";
        client_ = std::make_unique<Client>(server_->display());
        ASSERT_NE(client_->display, nullptr);
        messages_ = LumvekWnd_CreateMessageWindow();
        handle_ = Lumvek_Initialize(nullptr);
        ASSERT_NE(handle_, 0);
    }
    void TearDown() override {
        if (handle_ != 0) {
            EXPECT_EQ(Lumvek_Release(handle_), 1);
        }
        LumvekWnd_DestroyWindow(messages_);
    }
    // Starts the callback preview; frames land in frame_, messages in messages_.
    void startPreview(int colourMode) {
        ASSERT_EQ(Lumvek_SetColorMode(handle_, colourMode), 1);
        frame_.assign(static_cast<size_t>(kSensorWidth) * kSensorHeight * 3, 0);
        ASSERT_EQ(Lumvek_CallBackPreview(handle_, messages_, frame_.data(), static_cast<int>(frame_.size()), 1), 1);
    }
    bool waitFrames(int count) {
        for (int i = 0; i < count;) {
            LumvekMsg msg;
            if (LumvekWnd_GetMessage(messages_, &msg, kWaitMs) != 1)
                return false;
            if (msg.message == LUMVEK_WM_FRAME && msg.wParam != 0)
                ++i;
        }
        return true;
    }
    HWND onlyPreview(HWND parent) const {
        HWND found[4] = {};
        return LumvekWnd_EnumWindows(parent, found, 4) >= 1 ? found[0] : nullptr;
    }
    // Waits for a message to the preview window itself.
    static bool waitPreviewMessage(HWND preview, uint32_t message, uintptr_t wParam) {
        LumvekMsg msg;
        while (LumvekWnd_GetMessage(preview, &msg, kWaitMs) == 1)
            if (msg.message == message && msg.wParam == wParam)
                return true;
        return false;
    }
    ::Window makeAppWindow(int width, int height) {
        Display* d = client_->display;
        const ::Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, width, height, 0, 0, 0);
        XMapWindow(d, w);
        XSync(d, False);
        return w;
    }

    static inline lumvek::test::XvfbServer* server_ = nullptr;
    std::unique_ptr<Client> client_;
    HWND messages_ = nullptr;
    int32_t handle_ = 0;
    std::vector<uint8_t> frame_;
};

TEST_F(X11Preview, ChildInsideTheApplicationWindowShowsTheScaledSceneInGrey) {
    const ::Window app = makeAppWindow(800, 600);
    HWND parent = LumvekWnd_FromX11Window(app);
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(LumvekWnd_X11Window(parent), app);
    constexpr int kWidth = kSensorWidth / 4;
    constexpr int kHeight = kSensorHeight / 4;
    ASSERT_EQ(Lumvek_SetPreviewWindow(handle_, parent, 10, 20, kWidth, kHeight), 1);
    startPreview(8);
    ASSERT_TRUE(waitFrames(2));
    HWND preview = onlyPreview(parent);
    ASSERT_NE(preview, nullptr);
    const ::Window child = LumvekWnd_X11Window(preview);
    ASSERT_NE(child, 0u);

    // Where and how large, inside the application's window.
    XWindowAttributes attributes;
    ASSERT_NE(XGetWindowAttributes(client_->display, child, &attributes), 0);
    EXPECT_EQ(attributes.x, 10);
    EXPECT_EQ(attributes.y, 20);
    EXPECT_EQ(attributes.width, kWidth);
    EXPECT_EQ(attributes.height, kHeight);
    ::Window root = 0, xparent = 0, *children = nullptr;
    unsigned count = 0;
    ASSERT_NE(XQueryTree(client_->display, child, &root, &xparent, &children, &count), 0);
    XFree(children);
    EXPECT_EQ(xparent, app);

    // Nearest neighbour at a quarter: every fourth sample of every fourth
    // row, first camera row on top, grey through the palette.
    std::vector<uint8_t> expected(static_cast<size_t>(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c)
                expected[(static_cast<size_t>(y) * kWidth + x) * 3 + c] = sceneSample(4 * x, 4 * y);
    std::vector<uint8_t> shown;
    EXPECT_TRUE(waitUntil([&] {
        shown = client_->grab(child, kWidth, kHeight);
        return shown == expected;
    })) << "the window never showed the scaled scene";
    int width = 0, height = 0;
    const auto surface = surfaceOf(preview, &width, &height);
    ASSERT_EQ(surface.size(), expected.size());
    for (size_t i = 0; i < surface.size(); ++i)
        if (surface[i] != expected[i]) {
            ADD_FAILURE() << "first difference at pixel (" << (i / 3) % kWidth << ", " << (i / 3) / kWidth << "): "
                          << int(surface[i]) << " shown, " << int(expected[i]) << " expected";
            break;
        }
    EXPECT_EQ(shown, surface);

    // Lumvek_Close takes the X11 window away; the wrapped window stays.
    ASSERT_EQ(Lumvek_Close(handle_), 1);
    EXPECT_FALSE(client_->exists(child));
    EXPECT_TRUE(client_->exists(app));
    LumvekWnd_DestroyWindow(parent);
    EXPECT_TRUE(client_->exists(app));
}

TEST_F(X11Preview, TopLevelActiveWindowIsCentredTitledAndShowsTheFrameOneToOne) {
    startPreview(24);
    ASSERT_TRUE(waitFrames(2));
    HWND preview = onlyPreview(nullptr);
    ASSERT_NE(preview, nullptr);
    const ::Window top = LumvekWnd_X11Window(preview);
    ASSERT_NE(top, 0u);
    Display* d = client_->display;
    XWindowAttributes attributes;
    ASSERT_NE(XGetWindowAttributes(d, top, &attributes), 0);
    EXPECT_EQ(attributes.width, kSensorWidth);
    EXPECT_EQ(attributes.height, kSensorHeight);
    EXPECT_EQ(attributes.x, (kScreenWidth - kSensorWidth) / 2);
    EXPECT_EQ(attributes.y, (kScreenHeight - kSensorHeight) / 2);
    char* name = nullptr;
    ASSERT_NE(XFetchName(d, top, &name), 0);
    EXPECT_STREQ(name, "Active Window");
    XFree(name);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* text = nullptr;
    ASSERT_EQ(XGetWindowProperty(d, top, XInternAtom(d, "_NET_WM_NAME", False), 0, 64, False,
                                 XInternAtom(d, "UTF8_STRING", False), &type, &format, &items, &after, &text),
              Success);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(text), items), "Active Window");
    XFree(text);

    // The still scene gives the same frame every time: what the window shows
    // is the frame the callback received, row for row (top-down buffer).
    ASSERT_TRUE(waitFrames(1));
    const std::vector<uint8_t> frame = frame_;
    std::vector<uint8_t> shown;
    EXPECT_TRUE(waitUntil([&] {
        shown = client_->grab(top, kSensorWidth, kSensorHeight);
        return shown == frame;
    })) << "the window never showed the frame";
    int width = 0, height = 0;
    EXPECT_EQ(surfaceOf(preview, &width, &height), shown);
    ASSERT_EQ(Lumvek_Close(handle_), 1);
    EXPECT_FALSE(client_->exists(top));
}

TEST_F(X11Preview, ExposeRedrawsAndTheWindowFollowsAResize) {
    startPreview(8);
    ASSERT_TRUE(waitFrames(2));
    HWND preview = onlyPreview(nullptr);
    const ::Window top = LumvekWnd_X11Window(preview);
    ASSERT_NE(top, 0u);
    Display* d = client_->display;
    // The server resizes the window: the library's window follows, the next
    // frames are scaled into it.
    XResizeWindow(d, top, 320, 240);
    XSync(d, False);
    EXPECT_TRUE(waitUntil([&] {
        LumvekWndInfo info{};
        return LumvekWnd_GetInfo(preview, &info) == 1 && info.clientWidth == 320 && info.clientHeight == 240;
    }));
    std::vector<uint8_t> small;
    EXPECT_TRUE(waitUntil([&] {
        int w = 0, h = 0;
        small = surfaceOf(preview, &w, &h);
        return w == 320 && !small.empty() && small == client_->grab(top, 320, 240) &&
               std::count(small.begin(), small.end(), 0) < static_cast<long>(small.size() / 2);
    }));

    // Stopped, no frame comes; an expose repaints the last picture. A frame
    // may land between the check above and the stop, so the last picture is
    // read from the window's surface once the preview has stopped.
    ASSERT_EQ(Lumvek_StopPreview(handle_), 1);
    int lastWidth = 0, lastHeight = 0;
    const std::vector<uint8_t> before = surfaceOf(preview, &lastWidth, &lastHeight);
    ASSERT_EQ(lastWidth, 320);
    ASSERT_TRUE(waitUntil([&] { return client_->grab(top, 320, 240) == before; }))
        << "the window does not show its last picture";
    XClearWindow(d, top);
    XSync(d, False);
    const auto cleared = client_->grab(top, 320, 240);
    EXPECT_EQ(std::count(cleared.begin(), cleared.end(), 0), static_cast<long>(cleared.size()));
    XClearArea(d, top, 0, 0, 0, 0, True);  // asks for an expose
    XSync(d, False);
    EXPECT_TRUE(waitUntil([&] { return client_->grab(top, 320, 240) == before; }));
}

TEST_F(X11Preview, CloseButtonAndKeysReachThePreviewWindowAndTheCameraStreamsOn) {
    startPreview(24);
    ASSERT_TRUE(waitFrames(1));
    HWND preview = onlyPreview(nullptr);
    const ::Window top = LumvekWnd_X11Window(preview);
    ASSERT_NE(top, 0u);
    Display* d = client_->display;

    XEvent key{};
    key.xkey.type = KeyPress;
    key.xkey.display = d;
    key.xkey.window = top;
    key.xkey.root = DefaultRootWindow(d);
    key.xkey.same_screen = True;
    key.xkey.keycode = XKeysymToKeycode(d, XK_s);
    ASSERT_NE(XSendEvent(d, top, False, KeyPressMask, &key), 0);
    key.xkey.keycode = XKeysymToKeycode(d, XK_Escape);
    ASSERT_NE(XSendEvent(d, top, False, KeyPressMask, &key), 0);
    XSync(d, False);
    EXPECT_TRUE(waitPreviewMessage(preview, LUMVEK_WM_CHAR, 's'));
    EXPECT_TRUE(waitPreviewMessage(preview, LUMVEK_WM_KEYDOWN, LUMVEK_VK_ESCAPE));

    // The window manager's close button.
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = top;
    close.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    ASSERT_NE(XSendEvent(d, top, False, NoEventMask, &close), 0);
    XSync(d, False);
    EXPECT_TRUE(waitPreviewMessage(preview, LUMVEK_WM_CLOSE, 0));
    EXPECT_TRUE(waitUntil([&] { return !client_->exists(top); }));
    LumvekWndInfo info{};
    ASSERT_EQ(LumvekWnd_GetInfo(preview, &info), 1);
    EXPECT_EQ(info.visible, 0);
    EXPECT_EQ(LumvekWnd_X11Window(preview), 0u);
    EXPECT_TRUE(waitFrames(kFramesAfterClose)) << "frames stopped with the window";
    EXPECT_EQ(Lumvek_Close(handle_), 1);
}

TEST_F(X11Preview, ParentThatDoesNotExistOrGoesAwayIsNoCrash) {
    // An id the server never gave out: a clear error 4, no preview.
    HWND bogus = LumvekWnd_FromX11Window(0x7ffffff0);
    ASSERT_NE(bogus, nullptr);
    ASSERT_EQ(Lumvek_SetPreviewWindow(handle_, bogus, 0, 0, 64, 48), 1);
    ASSERT_EQ(Lumvek_SetColorMode(handle_, 8), 1);
    EXPECT_EQ(Lumvek_Preview(handle_), 0);
    EXPECT_EQ(Lumvek_GetLastError(handle_), LUMVEK_ERR_WINDOW);
    LumvekWnd_DestroyWindow(bogus);
    EXPECT_EQ(LumvekWnd_FromX11Window(0), nullptr);

    // The application destroys its window while the child preview draws.
    const ::Window app = makeAppWindow(200, 200);
    HWND parent = LumvekWnd_FromX11Window(app);
    ASSERT_EQ(Lumvek_SetPreviewWindow(handle_, parent, 1, 1, 1, 1), 1);  // a 1 x 1 client area
    startPreview(8);
    ASSERT_TRUE(waitFrames(1));
    HWND preview = onlyPreview(parent);
    ASSERT_NE(LumvekWnd_X11Window(preview), 0u);
    XDestroyWindow(client_->display, app);
    XSync(client_->display, False);
    EXPECT_TRUE(waitPreviewMessage(preview, LUMVEK_WM_CLOSE, 0));
    EXPECT_TRUE(waitFrames(kFramesAfterClose));
    EXPECT_EQ(Lumvek_Close(handle_), 1);
    LumvekWnd_DestroyWindow(parent);
}

} // namespace
