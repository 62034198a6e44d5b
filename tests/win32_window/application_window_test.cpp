// An SDK instance with a window of the system the test application made
// itself: frame, error and device-change messages reach its window
// procedure through its own message loop, an application that stops reading
// is not flooded, and the preview is a real child window (or a top-level
// window) whose pixels on screen are the library's picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "instance/lumvek.h"
#include "platform/window/messages.h"
#include "platform/window/windows.h"
#include "settings/registry_key.h"
#include "settings/settings_store.h"
#include "sim/in_process_camera.h"
#include "support/test_env.h"
// After the window layer: <windows.h> defines its style names as macros.
#include "app_window.h"

namespace lumvek::test {
namespace {

namespace win = platform::window;

constexpr int kSensorWidth = 2336;
constexpr int kSensorHeight = 1752;
constexpr int kWaitMs = 10000;
constexpr uintptr_t kArrival = 0x8000;
constexpr uintptr_t kRemoval = 0x8004;
// Records of the frame ring a callback preview posts: one being read and
// two more may be queued, so no record is overwritten while queued.
constexpr size_t kMostQueuedFrameMessages = 3;

class ApplicationWindow : public ::testing::Test {
protected:
    void SetUp() override {
        // Wine without a display has no desktop for windows: the suite needs one.
        if (app_.hwnd() == nullptr)
            GTEST_SKIP() << "no desktop for windows (under Wine: run with xvfb-run)";
    }
    void TearDown() override {
        if (instance_)
            (void)instance_->Close();
        instance_.reset();
        cameras_.clear();
    }

    sim::InProcessCamera& addCamera(const std::string& description) {
        std::string error;
        auto camera = sim::InProcessCamera::create(description, error);
        EXPECT_TRUE(camera) << error;
        cameras_.push_back(std::move(camera));
        return *cameras_.back();
    }
    CLumvek& start(HWND notify) {
        instance_ = std::make_unique<CLumvek>();
        EXPECT_EQ(instance_->Initialize(notify), 1);
        return *instance_;
    }
    // The library's window that stands for the preview child of parent.
    static HWND libraryChildOf(HWND parent) {
        HWND found[4] = {};
        return win::enumWindows(parent, found, 4) == 1 ? found[0] : nullptr;
    }
    // Something other than the black of a new window was drawn into it.
    static bool drawn(HWND library) {
        int width = 0, height = 0;
        const std::vector<uint8_t> surface = surfaceOf(library, &width, &height);
        return std::any_of(surface.begin(), surface.end(), [](uint8_t v) { return v != 0; });
    }
    static std::vector<uint8_t> surfaceOf(HWND hwnd, int* width, int* height) {
        (void)win::readSurface(hwnd, nullptr, 0, width, height);
        const size_t stride = win::surfaceStride(*width);
        std::vector<uint8_t> raw(stride * *height);
        if (!win::readSurface(hwnd, raw.data(), raw.size(), width, height))
            return {};
        std::vector<uint8_t> packed(static_cast<size_t>(*width) * *height * 3);
        for (int y = 0; y < *height; ++y)
            std::copy_n(&raw[y * stride], *width * 3, &packed[static_cast<size_t>(y) * *width * 3]);
        return packed;
    }

    AppWindow app_{640, 480};
    std::vector<std::unique_ptr<sim::InProcessCamera>> cameras_;
    std::unique_ptr<CLumvek> instance_;
    // Outlives the instance: the frame loop may write into it until Close.
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(static_cast<size_t>(kSensorWidth) * kSensorHeight);
};

TEST_F(ApplicationWindow, FrameMessagesCarryTheirRecordAndErrorsTheirCode) {
    addCamera("product=0x3090,name=cam0,fps=40,pattern=ramp");
    CLumvek& lumvek = start(app_.hwnd());
    ASSERT_EQ(lumvek.SetColorMode(8), 1);
    ASSERT_EQ(lumvek.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);  // frames only, no preview window
    ASSERT_EQ(lumvek.CallBackPreview(app_.hwnd(), buffer_.data(), static_cast<int>(buffer_.size()), 1), 1);
    ASSERT_TRUE(app_.pumpUntil([&] { return app_.frames.size() >= 5; }, kWaitMs));
    EXPECT_EQ(lumvek.StopPreview(), 1);
    for (const FrameSeen& frame : app_.frames) {
        ASSERT_NE(frame.wParam, 0u) << "lParam " << frame.lParam;
        EXPECT_EQ(frame.record.width, kSensorWidth);
        EXPECT_EQ(frame.record.height, kSensorHeight);
        EXPECT_EQ(frame.record.bitsPerPixel, 8);
        EXPECT_EQ(frame.record.buffer, buffer_.data());
    }
    // The ramp reached the application's buffer.
    EXPECT_NE(buffer_[0], buffer_[kSensorWidth - 1]);

    app_.errors.clear();
    EXPECT_EQ(lumvek.SetColorMode(7), 0);
    ASSERT_TRUE(app_.pumpUntil([&] { return !app_.errors.empty(); }, kWaitMs));
    EXPECT_EQ(app_.errors.front(), LUMVEK_ERR_ARGUMENT);
}

TEST_F(ApplicationWindow, AnApplicationThatStopsReadingIsNotFloodedWithFrameMessages) {
    addCamera("product=0x3090,name=cam0,fps=40,pattern=ramp");
    CLumvek& lumvek = start(nullptr);
    ASSERT_EQ(lumvek.SetColorMode(8), 1);
    ASSERT_EQ(lumvek.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(lumvek.CallBackPreview(app_.hwnd(), buffer_.data(), static_cast<int>(buffer_.size()), 1), 1);
    ASSERT_TRUE(app_.pumpUntil([&] { return app_.frames.size() >= 2; }, kWaitMs));

    // A second without reading: some 40 frames are processed meanwhile.
    Sleep(1000);
    MSG msg;
    size_t queued = 0;
    while (PeekMessageA(&msg, app_.hwnd(), LUMVEK_WM_FRAME, LUMVEK_WM_FRAME, PM_NOREMOVE) &&
           PeekMessageA(&msg, app_.hwnd(), LUMVEK_WM_FRAME, LUMVEK_WM_FRAME, PM_REMOVE))
        ++queued;
    EXPECT_GE(queued, 1u);
    EXPECT_LE(queued, kMostQueuedFrameMessages);

    // Taken from the queue, they are free again: messages flow on.
    const size_t before = app_.frames.size();
    EXPECT_TRUE(app_.pumpUntil([&] { return app_.frames.size() >= before + 5; }, kWaitMs));
    EXPECT_EQ(lumvek.StopPreview(), 1);
}

TEST_F(ApplicationWindow, CamerasArrivingAndLeavingArePostedAsDeviceChanges) {
    start(app_.hwnd());
    app_.pumpFor(100);
    app_.deviceEvents.clear();
    addCamera("product=0x3090,name=cam0");
    ASSERT_TRUE(app_.pumpUntil([&] { return !app_.deviceEvents.empty(); }, kWaitMs));
    EXPECT_EQ(app_.deviceEvents.front(), kArrival);
    cameras_.clear();
    ASSERT_TRUE(app_.pumpUntil([&] { return app_.deviceEvents.size() >= 2; }, kWaitMs));
    EXPECT_EQ(app_.deviceEvents[1], kRemoval);
}

TEST_F(ApplicationWindow, ThePreviewIsAChildWindowShowingTheLibrarysPicture) {
    addCamera("product=0x3090,name=cam0,fps=40,pattern=chart");
    CLumvek& lumvek = start(app_.hwnd());
    ASSERT_EQ(lumvek.SetColorMode(24), 1);
    constexpr int kLeft = 10, kTop = 20, kWidth = 292, kHeight = 219;
    ASSERT_EQ(lumvek.SetPreviewWindow(app_.hwnd(), kLeft, kTop, kWidth, kHeight), 1);
    ASSERT_EQ(lumvek.Preview(), 1) << lumvek.GetLastError();

    HWND child = FindWindowExA(app_.hwnd(), nullptr, nullptr, "ActiveMovie Window");
    ASSERT_NE(child, nullptr);
    int children = 0;
    EnumChildWindows(
        app_.hwnd(), [](HWND, LPARAM count) { return ++*reinterpret_cast<int*>(count), TRUE; },
        reinterpret_cast<LPARAM>(&children));
    EXPECT_EQ(children, 1);
    EXPECT_EQ(GetDlgCtrlID(child), 6540);
    char className[256] = {};
    GetClassNameA(child, className, sizeof className);
    EXPECT_EQ(std::string(className).rfind("VideoRenderer_", 0), 0u) << className;
    RECT client{};
    ASSERT_TRUE(GetClientRect(child, &client));
    EXPECT_EQ(client.right, kWidth);
    EXPECT_EQ(client.bottom, kHeight);
    RECT placed{};
    GetWindowRect(child, &placed);
    MapWindowPoints(nullptr, app_.hwnd(), reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.left, kLeft);
    EXPECT_EQ(placed.top, kTop);
    EXPECT_TRUE(IsWindowVisible(child));

    HWND library = libraryChildOf(app_.hwnd());
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(win::nativeWindowId(library), static_cast<unsigned long>(reinterpret_cast<uintptr_t>(child)));
    ASSERT_TRUE(app_.pumpUntil([&] { return drawn(library); }, kWaitMs));
    app_.pumpFor(200);
    EXPECT_EQ(lumvek.StopPreview(), 1);  // the last picture stays

    int width = 0, height = 0;
    const std::vector<uint8_t> surface = surfaceOf(library, &width, &height);
    ASSERT_EQ(width, kWidth);
    ASSERT_EQ(height, kHeight);
    ASSERT_FALSE(surface.empty());
    EXPECT_NE(std::count(surface.begin(), surface.end(), uint8_t{0}), static_cast<long>(surface.size()));
    // The UI thread paints on its own; the screen catches up within a moment.
    std::vector<uint8_t> shown;
    EXPECT_TRUE(app_.pumpUntil(
        [&] {
            shown = readWindowPixels(child, kWidth, kHeight);
            return shown == surface;
        },
        kWaitMs));
    size_t differing = 0;
    for (size_t i = 0; i < std::min(shown.size(), surface.size()); ++i)
        differing += shown[i] != surface[i];
    EXPECT_EQ(differing, 0u);

    // Close destroys the child on the library's thread while this thread,
    // which owns the parent, waits: no deadlock.
    EXPECT_EQ(lumvek.Close(), 1);
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(FindWindowExA(app_.hwnd(), nullptr, nullptr, "ActiveMovie Window"), nullptr);
}

TEST_F(ApplicationWindow, AParentDestroyedUnderARunningPreviewStopsItsDrawing) {
    addCamera("product=0x3090,name=cam0,fps=40,pattern=ramp");
    CLumvek& lumvek = start(nullptr);
    ASSERT_EQ(lumvek.SetColorMode(8), 1);
    ASSERT_EQ(lumvek.SetPreviewWindow(app_.hwnd(), 0, 0, 320, 240), 1);
    ASSERT_EQ(lumvek.Preview(), 1) << lumvek.GetLastError();
    HWND child = FindWindowExA(app_.hwnd(), nullptr, nullptr, "ActiveMovie Window");
    ASSERT_NE(child, nullptr);
    HWND library = libraryChildOf(app_.hwnd());
    ASSERT_NE(library, nullptr);
    ASSERT_TRUE(app_.pumpUntil([&] { return drawn(library); }, kWaitMs));

    app_.destroy();
    // The system destroys the child with its parent (on the child's thread).
    EXPECT_TRUE(app_.pumpUntil([&] { return !IsWindow(child); }, kWaitMs));
    EXPECT_FALSE(win::isWindowVisible(library));
    Sleep(300);  // frames go on, undrawn
    EXPECT_EQ(lumvek.Close(), 1);
    EXPECT_FALSE(win::isWindow(library));
}

TEST_F(ApplicationWindow, WithoutAParentThePreviewIsACentredTopLevelWindow) {
    addCamera("product=0x3090,name=cam0,fps=40,pattern=ramp");
    CLumvek& lumvek = start(nullptr);
    {
        // A capture-window preset of 640 x 480, so the window fits the screen.
        RegistryKey key;
        ASSERT_TRUE(RegistryKey::openWrite(std::string(kSettingsRoot) + "\\Size_00", key));
        ASSERT_TRUE(key.writeDword("EH", 640) && key.writeDword("EV", 480) && key.writeDword("EHS", 0) &&
                    key.writeDword("EVS", 0));
    }
    ASSERT_EQ(lumvek.SetCaptureWindow(640, 480), 1);
    ASSERT_EQ(lumvek.SetColorMode(8), 1);
    ASSERT_EQ(lumvek.SetPreviewWindow(nullptr, 0, 0, 1, 1), 1);
    ASSERT_EQ(lumvek.Preview(), 1) << lumvek.GetLastError();

    HWND shown = FindWindowA(nullptr, "Active Window");
    ASSERT_NE(shown, nullptr);
    DWORD process = 0;
    GetWindowThreadProcessId(shown, &process);
    EXPECT_EQ(process, GetCurrentProcessId());
    EXPECT_EQ(GetParent(shown), nullptr);
    RECT client{};
    GetClientRect(shown, &client);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
    RECT outer{};
    GetWindowRect(shown, &outer);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_NEAR(outer.left, (screenWidth - (outer.right - outer.left)) / 2, 1);
    EXPECT_NEAR(outer.top, (screenHeight - (outer.bottom - outer.top)) / 2, 1);

    // The close button hides it; Close destroys it.
    SendMessageA(shown, WM_CLOSE, 0, 0);
    EXPECT_TRUE(app_.pumpUntil([&] { return !IsWindowVisible(shown); }, kWaitMs));
    EXPECT_TRUE(IsWindow(shown));
    EXPECT_EQ(lumvek.Close(), 1);
    EXPECT_FALSE(IsWindow(shown));
}

} // namespace
} // namespace lumvek::test
