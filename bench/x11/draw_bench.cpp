// Showing one full 24-bit picture on the X server the way the preview's X11
// thread does: convert the window surface into the client image, send it
// (MIT-SHM or XPutImage) and wait until the server has it. Also the part the
// frame loop pays: the 1:1 copy into the window surface.
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/window/drawing.h"
#include "platform/window/messages.h"
#include "platform/window/windows.h"
#include "platform/window/x11/x11_errors.h"
#include "platform/window/x11/x11_picture.h"
#include "xvfb_server.h"

namespace {

namespace win = lumvek::platform::window;
constexpr int kWidth = 2336;
constexpr int kHeight = 1752;

std::unique_ptr<lumvek::test::XvfbServer> server;

std::vector<uint8_t> testPicture() {
    std::vector<uint8_t> bgr(win::surfaceStride(kWidth) * kHeight);
    for (size_t i = 0; i < bgr.size(); ++i)
        bgr[i] = static_cast<uint8_t>(i * 7 / 5);
    return bgr;
}

void DrawOnServer(benchmark::State& state) {
    const bool shared = state.range(0) != 0;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        state.SkipWithError("no X server");
        return;
    }
    lumvek::platform::window::x11::ErrorLog errors;
    lumvek::platform::window::x11::watchDisplay(display, &errors);
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, kWidth, kHeight, 0, 0, 0);
    XMapWindow(display, window);
    GC gc = XCreateGC(display, window, 0, nullptr);
    XSync(display, False);
    const std::vector<uint8_t> surface = testPicture();
    {
        win::x11::Picture picture;
        if (!picture.ensure(display, DefaultVisual(display, screen), DefaultDepth(display, screen), kWidth, kHeight,
                            shared, errors) ||
            picture.shared() != shared) {
            state.SkipWithError("image not available in this form");
        } else {
            for (auto _ : state) {
                picture.fill(surface.data(), kWidth, kHeight, win::surfaceStride(kWidth));
                picture.put(window, gc);
                XSync(display, False);
            }
        }
        picture.release();
    }
    XFreeGC(display, gc);
    XDestroyWindow(display, window);
    lumvek::platform::window::x11::forgetDisplay(display);
    XCloseDisplay(display);
    state.SetLabel(shared ? "MIT-SHM" : "XPutImage");
}
BENCHMARK(DrawOnServer)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The conversion alone (client side, no server).
void ConvertRows(benchmark::State& state) {
    const std::vector<uint8_t> surface = testPicture();
    std::vector<uint8_t> image(static_cast<size_t>(kWidth) * 4 * kHeight);
    for (auto _ : state)
        for (int y = 0; y < kHeight; ++y)
            win::x11::bgrToBgrxRow(surface.data() + y * win::surfaceStride(kWidth), kWidth,
                                   image.data() + static_cast<size_t>(y) * kWidth * 4);
    benchmark::DoNotOptimize(image.data());
}
BENCHMARK(ConvertRows)->Unit(benchmark::kMillisecond);

// What the frame loop itself pays per frame: the copy into the surface.
void CopyIntoSurface(benchmark::State& state) {
    const bool registered = win::registerClass("BenchSurface");
    (void)registered;
    win::CreateWindowParams params;
    params.className = "BenchSurface";
    params.style = win::WS_VISIBLE;
    params.clientWidth = kWidth;
    params.clientHeight = kHeight;
    unsetenv("DISPLAY");  // off screen: only the copy is timed
    const HWND hwnd = win::createWindow(params);
    auto context = win::getDrawingContext(hwnd);
    const std::vector<uint8_t> picture = testPicture();
    win::BitmapView view;
    view.pixels = picture.data();
    view.width = kWidth;
    view.height = kHeight;
    view.strideBytes = static_cast<int>(win::surfaceStride(kWidth));
    for (auto _ : state)
        benchmark::DoNotOptimize(context->blit(view));
    context.reset();
    win::destroyWindow(hwnd);
}
BENCHMARK(CopyIntoSurface)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("DISPLAY") == nullptr) {
        server = std::make_unique<lumvek::test::XvfbServer>(kWidth + 64, kHeight + 64);
        if (server->ok())
            setenv("DISPLAY", server->display().c_str(), 1);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    server.reset();
    return 0;
}
