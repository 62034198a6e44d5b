// The window layer with windows of the system the application made: posts
// reach the window procedure, the library counts what it posted until the
// window's own thread takes it (the frame ring relies on that count), and
// only a window's own thread may destroy it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/window/messages.h"
#include "platform/window/system_window.h"
// After the window layer: <windows.h> defines its style names as macros.
#include "app_window.h"

namespace lumvek::test {
namespace {

namespace win = platform::window;

constexpr uint32_t kFrame = LUMVEK_WM_FRAME;
constexpr int kWaitMs = 5000;

TEST(SystemWindowMessages, PostsAreCountedUntilTheWindowsThreadTakesThem) {
    AppWindow app(64, 48, false);
    if (app.hwnd() == nullptr)
        GTEST_SKIP() << "no desktop for windows (under Wine: run with xvfb-run)";
    HWND hwnd = app.hwnd();
    // Frame records the messages point at, as the library's ring is.
    LumvekFrameInfo records[3] = {{0, 1, 1, 8}, {0, 2, 2, 8}, {0, 3, 3, 8}};
    const auto first = reinterpret_cast<uintptr_t>(&records[0]);
    const auto end = reinterpret_cast<uintptr_t>(&records[3]);
    EXPECT_TRUE(win::isWindow(hwnd));
    EXPECT_TRUE(win::isSystemWindow(hwnd));

    // Posted from another thread, as the frame loop does.
    std::thread poster([&] {
        for (LumvekFrameInfo& record : records)
            EXPECT_TRUE(win::postMessage(hwnd, kFrame, reinterpret_cast<uintptr_t>(&record), 7));
        EXPECT_TRUE(win::postMessage(hwnd, LUMVEK_WM_ERROR, 0, 9));
    });
    poster.join();
    EXPECT_EQ(win::countQueuedMessages(hwnd, kFrame, first, end), 3u);
    // Only wParams in the range count.
    EXPECT_EQ(win::countQueuedMessages(hwnd, kFrame, first + sizeof records[0], first + 2 * sizeof records[0]), 1u);
    EXPECT_EQ(win::countQueuedMessages(hwnd, LUMVEK_WM_ERROR, 0, 1), 1u);

    // Looking without taking leaves them counted; taking one crosses it off.
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, hwnd, kFrame, kFrame, PM_NOREMOVE));
    EXPECT_EQ(win::countQueuedMessages(hwnd, kFrame, first, end), 3u);
    ASSERT_TRUE(PeekMessageA(&msg, hwnd, kFrame, kFrame, PM_REMOVE));
    EXPECT_EQ(msg.wParam, first);
    EXPECT_EQ(msg.lParam, 7);
    EXPECT_EQ(win::countQueuedMessages(hwnd, kFrame, first, end), 2u);

    // The message loop takes and dispatches the rest to the window procedure.
    ASSERT_TRUE(app.pumpUntil([&] { return app.frames.size() == 2 && app.errors.size() == 1; }, kWaitMs));
    EXPECT_EQ(app.frames[1].record.width, 3);
    EXPECT_EQ(app.errors[0], 9);
    EXPECT_EQ(win::countQueuedMessages(hwnd, kFrame, 0, UINTPTR_MAX), 0u);
    EXPECT_EQ(win::countQueuedMessages(hwnd, LUMVEK_WM_ERROR, 0, 1), 0u);

    // A message window of the library's own is no window of the system.
    HWND own = win::createMessageWindow();
    EXPECT_FALSE(win::isSystemWindow(own));
    EXPECT_TRUE(win::postMessage(own, kFrame, first, 0));
    EXPECT_EQ(win::countQueuedMessages(own, kFrame, first, end), 1u);
    EXPECT_TRUE(win::destroyWindow(own));
}

TEST(SystemWindowMessages, AWindowOfAnotherThreadIsCountedAndDestroyedOnlyThere) {
    // A second application thread with its own window and message loop.
    std::atomic<HWND> remote{nullptr};
    std::atomic<bool> destroyedThere{false};
    std::atomic<int> framesThere{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> ready{false};
    LumvekFrameInfo records[4] = {};
    const auto first = reinterpret_cast<uintptr_t>(&records[0]);
    const auto end = reinterpret_cast<uintptr_t>(&records[4]);
    std::thread owner([&] {
        AppWindow app(32, 32, false);
        remote = app.hwnd();
        ready = true;
        if (app.hwnd() == nullptr)
            return;
        HWND hwnd = app.hwnd();
        app.pumpUntil([&] { return stop.load(); }, 20000);
        framesThere = static_cast<int>(app.frames.size());
        destroyedThere = win::destroyWindow(hwnd);
    });
    while (!ready.load())
        Sleep(10);
    HWND hwnd = remote.load();
    if (hwnd == nullptr) {
        owner.join();
        GTEST_SKIP() << "no desktop for windows (under Wine: run with xvfb-run)";
    }
    EXPECT_FALSE(win::destroyWindow(hwnd));  // not this thread's window
    EXPECT_TRUE(IsWindow(hwnd));
    for (LumvekFrameInfo& record : records)
        EXPECT_TRUE(win::postMessage(hwnd, kFrame, reinterpret_cast<uintptr_t>(&record), 0));
    // The owner's loop takes them on its own.
    const DWORD start = GetTickCount();
    while (win::countQueuedMessages(hwnd, kFrame, first, end) != 0 && GetTickCount() - start < kWaitMs)
        Sleep(10);
    EXPECT_EQ(win::countQueuedMessages(hwnd, kFrame, first, end), 0u);
    stop = true;
    PostMessageA(hwnd, WM_NULL, 0, 0);
    owner.join();
    EXPECT_EQ(framesThere.load(), 4);
    EXPECT_TRUE(destroyedThere.load());
    EXPECT_FALSE(win::isWindow(hwnd));
    EXPECT_FALSE(win::postMessage(hwnd, kFrame, first, 0));
    EXPECT_EQ(win::countQueuedMessages(hwnd, kFrame, 0, UINTPTR_MAX), 0u);
}

} // namespace
} // namespace lumvek::test
