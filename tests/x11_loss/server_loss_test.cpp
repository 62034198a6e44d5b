// An X server killed while the preview draws: the process lives on, frames
// keep reaching the application, and closing the preview is clean.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "LumvekSdk.h"
#include "LumvekWindow.h"
#include "xvfb_server.h"

namespace {

constexpr int kWaitMs = 8000;
constexpr int kFramesAfterLoss = 5;

bool waitFrames(HWND window, int count) {
    for (int i = 0; i < count;) {
        LumvekMsg msg;
        if (LumvekWnd_GetMessage(window, &msg, kWaitMs) != 1)
            return false;
        if (msg.message == LUMVEK_WM_FRAME && msg.wParam != 0)
            ++i;
    }
    return true;
}

constexpr const char* kCameras = "product=0x3090,name=r13loss,fps=40,pattern=chart";
constexpr int kCloseBoundMs = 5000;

// Runs first: the next test's server replaces this one, whose connection the
// library has lost by then.
TEST(X11ServerLoss, FrozenServerDropsPreviewPicturesNeverFrames) {
    lumvek::test::XvfbServer server(1024, 768);
    ASSERT_TRUE(server.ok()) << "Xvfb did not start";
    setenv("DISPLAY", server.display().c_str(), 1);
    setenv("LUMVEK_SIM_CAMERAS", kCameras, 1);

    HWND messages = LumvekWnd_CreateMessageWindow();
    const int32_t handle = Lumvek_Initialize(nullptr);
    ASSERT_NE(handle, 0);
    ASSERT_EQ(Lumvek_SetColorMode(handle, 24), 1);
    std::vector<uint8_t> frame(2336 * 1752 * 3);
    ASSERT_EQ(Lumvek_CallBackPreview(handle, messages, frame.data(), static_cast<int>(frame.size()), 1), 1);
    ASSERT_TRUE(waitFrames(messages, 2));
    HWND preview = nullptr;
    ASSERT_EQ(LumvekWnd_EnumWindows(nullptr, &preview, 1), 1);
    ASSERT_NE(LumvekWnd_X11Window(preview), 0u);

    server.stop();
    EXPECT_TRUE(waitFrames(messages, kFramesAfterLoss)) << "frames stopped with the X server";
    // Closing waits for the frozen server a bounded time only.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Lumvek_Close(handle), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kCloseBoundMs));
    server.resume();
    EXPECT_EQ(Lumvek_Release(handle), 1);
    LumvekWnd_DestroyWindow(messages);
}

TEST(X11ServerLoss, KilledServerMidPreviewLeavesTheCameraStreaming) {
    lumvek::test::XvfbServer server(1024, 768);
    ASSERT_TRUE(server.ok()) << "Xvfb did not start";
    setenv("DISPLAY", server.display().c_str(), 1);
    setenv("LUMVEK_SIM_CAMERAS", kCameras, 1);

    HWND messages = LumvekWnd_CreateMessageWindow();
    const int32_t handle = Lumvek_Initialize(nullptr);
    ASSERT_NE(handle, 0);
    ASSERT_EQ(Lumvek_SetColorMode(handle, 24), 1);
    std::vector<uint8_t> frame(2336 * 1752 * 3);
    ASSERT_EQ(Lumvek_CallBackPreview(handle, messages, frame.data(), static_cast<int>(frame.size()), 1), 1);
    ASSERT_TRUE(waitFrames(messages, 2));
    HWND preview = nullptr;
    ASSERT_EQ(LumvekWnd_EnumWindows(nullptr, &preview, 1), 1);
    ASSERT_NE(LumvekWnd_X11Window(preview), 0u) << "the preview is not on the X server";

    server.kill();
    EXPECT_TRUE(waitFrames(messages, kFramesAfterLoss)) << "frames stopped with the X server";
    // The window stays a window of the library (drawn off screen).
    int width = 0, height = 0;
    std::vector<uint8_t> surface(2336 * 3 * 1752);
    EXPECT_EQ(LumvekWnd_ReadSurface(preview, surface.data(), static_cast<int>(surface.size()), &width, &height), 1);
    EXPECT_EQ(width, 2336);

    // Without a server, a new preview falls back to the off-screen window.
    EXPECT_EQ(Lumvek_Close(handle), 1);
    EXPECT_EQ(LumvekWnd_FromX11Window(1234), nullptr);
    ASSERT_EQ(Lumvek_CallBackPreview(handle, messages, frame.data(), static_cast<int>(frame.size()), 1), 1);
    EXPECT_TRUE(waitFrames(messages, 2));
    ASSERT_EQ(LumvekWnd_EnumWindows(nullptr, &preview, 1), 1);
    EXPECT_EQ(LumvekWnd_X11Window(preview), 0u);
    EXPECT_EQ(Lumvek_Close(handle), 1);
    EXPECT_EQ(Lumvek_Release(handle), 1);
    LumvekWnd_DestroyWindow(messages);
}

} // namespace
