// `lumvek view --simulate --screenshot` under the test's Xvfb: the PNG shows
// the simulator's chart in its colours.
#include <gtest/gtest.h>

#include <png.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_env.h"
#include "xvfb_server.h"

#ifdef LUMVEK_TOOL_PATH
namespace {

constexpr int kWidth = 2336;
constexpr int kHeight = 1752;

struct Rgb {
    int r, g, b;
};

TEST(ViewCommand, ScreenshotShowsTheChartInItsColours) {
    lumvek::test::XvfbServer server(1920, 1080);
    ASSERT_TRUE(server.ok());
    const auto dir = lumvek::test::makeTempDir("view");
    const std::string png = (dir / "out.png").string();
    const std::string command = "cd '" + dir.string() + "' && DISPLAY=" + server.display() +
                                " timeout 60 '" LUMVEK_TOOL_PATH "' view --simulate --screenshot '" + png +
                                "' --after 2000 > view.log 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_NE(png_image_begin_read_from_file(&image, png.c_str()), 0) << png;
    image.format = PNG_FORMAT_RGB;
    ASSERT_EQ(image.width, static_cast<unsigned>(kWidth));
    ASSERT_EQ(image.height, static_cast<unsigned>(kHeight));
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_NE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr), 0);
    const auto at = [&](int x, int y) {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * kWidth + x) * 3];
        return Rgb{p[0], p[1], p[2]};
    };

    // The chart's bands from the top: a grey ramp (dark left, bright right),
    // six colour patches (red, green, blue, cyan, magenta, yellow), grey steps.
    const int band = kHeight / 3;
    const Rgb left = at(kWidth / 10, band / 2);
    const Rgb right = at(kWidth * 9 / 10, band / 2);
    EXPECT_LT(left.g + 100, right.g);
    EXPECT_NEAR(left.r, left.b, 12);
    const int patchRow = 2 * band - 16;  // below the moving square
    const auto patch = [&](int i) { return at((2 * i + 1) * kWidth / 12, patchRow); };
    const auto strong = [](int v) { return v > 150; };
    const auto weak = [](int v) { return v < 80; };
    const Rgb red = patch(0), green = patch(1), blue = patch(2), cyan = patch(3), magenta = patch(4),
              yellow = patch(5);
    EXPECT_TRUE(strong(red.r) && weak(red.g) && weak(red.b)) << red.r << " " << red.g << " " << red.b;
    EXPECT_TRUE(weak(green.r) && strong(green.g) && weak(green.b)) << green.r << " " << green.g << " " << green.b;
    EXPECT_TRUE(weak(blue.r) && weak(blue.g) && strong(blue.b)) << blue.r << " " << blue.g << " " << blue.b;
    EXPECT_TRUE(weak(cyan.r) && strong(cyan.g) && strong(cyan.b));
    EXPECT_TRUE(strong(magenta.r) && weak(magenta.g) && strong(magenta.b));
    EXPECT_TRUE(strong(yellow.r) && strong(yellow.g) && weak(yellow.b));
}

TEST(ViewCommand, AfterWithoutScreenshotIsAUsageError) {
    const int status = std::system("'" LUMVEK_TOOL_PATH "' view --simulate --after 10 > /dev/null 2>&1");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

} // namespace
#endif

#ifdef LUMVEK_TOOL_PATH
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <signal.h>
#include <spawn.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

extern char** environ;

namespace {

constexpr int kBoundMs = 15000;

bool within(int ms, const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

// The top-level window whose title starts with "Active Window"; 0 if none.
::Window findViewer(Display* d, std::string* title) {
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    ::Window found = 0;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count) == 0) return 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        char* name = nullptr;
        if (XFetchName(d, children[i], &name) != 0 && name != nullptr) {
            if (std::string(name).rfind("Active Window", 0) == 0) {
                found = children[i];
                *title = name;
            }
            XFree(name);
        }
    }
    XFree(children);
    return found;
}

void sendKey(Display* d, ::Window w, KeySym key, bool shift = false) {
    XEvent event{};
    event.xkey.type = KeyPress;
    event.xkey.display = d;
    event.xkey.window = w;
    event.xkey.root = DefaultRootWindow(d);
    event.xkey.same_screen = True;
    event.xkey.state = shift ? ShiftMask : 0;
    event.xkey.keycode = XKeysymToKeycode(d, key);
    XSendEvent(d, w, False, KeyPressMask, &event);
    XSync(d, False);
}

TEST(ViewCommand, KeysSnapshotExposureRecordingAndTheCloseButtonEndsIt) {
    lumvek::test::XvfbServer server(2560, 2048);
    ASSERT_TRUE(server.ok());
    const auto dir = lumvek::test::makeTempDir("viewkeys");
    const std::string display = "DISPLAY=" + server.display();
    std::vector<char*> env;
    for (char** e = environ; *e != nullptr; ++e)
        if (std::string(*e).rfind("DISPLAY=", 0) != 0) env.push_back(*e);
    env.push_back(const_cast<char*>(display.c_str()));
    env.push_back(nullptr);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);  // the tool saves view-NNNN.png here
    // The SDK's own preview window, also where the GTK viewer is installed.
    const char* argv[] = {LUMVEK_TOOL_PATH, "view", "--simulate", "--plain", nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, LUMVEK_TOOL_PATH, nullptr, nullptr, const_cast<char**>(argv), env.data());
    std::filesystem::current_path(previous);
    ASSERT_EQ(spawned, 0);

    Display* d = XOpenDisplay(server.display().c_str());
    ASSERT_NE(d, nullptr);
    XSetErrorHandler(ignoreXErrors);
    std::string title;
    ::Window viewer = 0;
    EXPECT_TRUE(within(kBoundMs, [&] { return (viewer = findViewer(d, &title)) != 0; }));
    // The title carries the rate once a second of frames has passed.
    EXPECT_TRUE(within(kBoundMs, [&] {
        findViewer(d, &title);
        return title.find("frames/s") != std::string::npos && title.find(" 0.0 frames/s") == std::string::npos;
    })) << title;
    const std::string before = title.substr(title.find("exposure"));

    sendKey(d, viewer, XK_s);
    EXPECT_TRUE(within(kBoundMs, [&] { return std::filesystem::exists(dir / "view-0001.png"); }));
    sendKey(d, viewer, XK_minus);  // the simulated R13 starts at its longest exposure
    EXPECT_TRUE(within(kBoundMs, [&] {
        findViewer(d, &title);
        return title.find("exposure") != std::string::npos && title.substr(title.find("exposure")) != before;
    })) << title;

    // r records into a file of its own (in a window of its own) until r again.
    sendKey(d, viewer, XK_r);
    const auto avi = dir / "view-0002.avi";
    EXPECT_TRUE(within(kBoundMs, [&] { return std::filesystem::exists(avi) && std::filesystem::file_size(avi) > (1u << 24); }));
    ::Window recording = 0;
    EXPECT_TRUE(within(kBoundMs, [&] {
        recording = findViewer(d, &title);
        return recording != 0 && title.find("recording") != std::string::npos;
    })) << title;
    sendKey(d, recording, XK_r);
    // Finalised: the RIFF size at offset 4 is patched in at the end.
    EXPECT_TRUE(within(kBoundMs, [&] {
        std::ifstream in(avi, std::ios::binary);
        uint8_t header[8] = {};
        in.read(reinterpret_cast<char*>(header), sizeof header);
        return in && (header[4] | header[5] | header[6] | header[7]) != 0;
    }));
    EXPECT_TRUE(within(kBoundMs, [&] {
        viewer = findViewer(d, &title);
        return viewer != 0 && title.find("recording") == std::string::npos;
    })) << title;

    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = viewer;
    close.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    XSendEvent(d, viewer, False, NoEventMask, &close);
    XSync(d, False);
    int status = -1;
    const bool ended = within(kBoundMs, [&] { return waitpid(pid, &status, WNOHANG) == pid; });
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    EXPECT_TRUE(ended) << "the close button did not end lumvek view";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    XCloseDisplay(d);
}

} // namespace
#endif
