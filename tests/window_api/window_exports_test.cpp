// The LumvekWnd_ exports as an application meets them through the shared
// library: handle checks, messages, handlers and what a message window reports.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "LumvekWindow.h"
#include "support/test_env.h"

namespace {

struct Inbox {
    std::mutex mutex;  // guards count, last, handlerThread
    std::condition_variable changed;
    int count = 0;
    LumvekMsg last{};
    std::thread::id handlerThread;
};

extern "C" void collect(void* context, const LumvekMsg* msg) {
    auto* inbox = static_cast<Inbox*>(context);
    std::lock_guard lock(inbox->mutex);
    ++inbox->count;
    inbox->last = *msg;
    inbox->handlerThread = std::this_thread::get_id();
    inbox->changed.notify_all();
}

TEST(WindowExports, MessagesThroughTheCInterface) {
    HWND hwnd = LumvekWnd_CreateMessageWindow();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(LumvekWnd_PostMessage(hwnd, 0x8003, 0, 6), 1);
    LumvekMsg msg{};
    ASSERT_EQ(LumvekWnd_GetMessage(hwnd, &msg, -1), 1);
    EXPECT_EQ(msg.hwnd, hwnd);
    EXPECT_EQ(msg.message, 0x8003u);
    EXPECT_EQ(msg.lParam, 6);
    EXPECT_EQ(LumvekWnd_GetMessage(hwnd, &msg, 0), 0);
    EXPECT_EQ(LumvekWnd_GetMessage(hwnd, nullptr, 0), -1);

    Inbox inbox;
    ASSERT_EQ(LumvekWnd_SetMessageHandler(hwnd, collect, &inbox), 1);
    EXPECT_EQ(LumvekWnd_PostMessage(hwnd, 0x8002, 1, 0), 1);
    {
        std::unique_lock lock(inbox.mutex);
        ASSERT_TRUE(inbox.changed.wait_for(lock, std::chrono::seconds(10), [&] { return inbox.count == 1; }));
        EXPECT_EQ(inbox.last.wParam, 1u);
        EXPECT_NE(inbox.handlerThread, std::this_thread::get_id());
    }
    EXPECT_EQ(LumvekWnd_SetMessageHandler(hwnd, nullptr, nullptr), 1);

    EXPECT_EQ(LumvekWnd_DestroyWindow(hwnd), 1);
    EXPECT_EQ(LumvekWnd_DestroyWindow(hwnd), 0);
    EXPECT_EQ(LumvekWnd_PostMessage(hwnd, 1, 0, 0), 0);
    EXPECT_EQ(LumvekWnd_GetMessage(hwnd, &msg, 0), -1);
    EXPECT_EQ(LumvekWnd_SetMessageHandler(hwnd, collect, &inbox), 0);
    EXPECT_EQ(LumvekWnd_PostMessage(nullptr, 1, 0, 0), 0);
    EXPECT_EQ(LumvekWnd_PostMessage(reinterpret_cast<HWND>(&inbox), 1, 0, 0), 0);
}

TEST(WindowExports, InspectionCallsOnMessageWindowsAndBadArguments) {
    HWND hwnd = LumvekWnd_CreateMessageWindow();
    LumvekWndInfo info{};
    ASSERT_EQ(LumvekWnd_GetInfo(hwnd, &info), 1);
    EXPECT_EQ(info.parent, nullptr);
    EXPECT_EQ(info.visible, 1);
    EXPECT_EQ(LumvekWnd_GetInfo(hwnd, nullptr), 0);
    HWND children[2];
    EXPECT_EQ(LumvekWnd_EnumWindows(hwnd, children, 2), 0);
    EXPECT_EQ(LumvekWnd_EnumWindows(hwnd, nullptr, -5), 0);
    EXPECT_EQ(LumvekWnd_Show(hwnd, 0), 0);        // nothing to show: not a drawn window
    EXPECT_EQ(LumvekWnd_Resize(hwnd, 10, 10), 0);
    char pixels[16];
    int width = -1, height = -1;
    EXPECT_EQ(LumvekWnd_ReadSurface(hwnd, pixels, sizeof pixels, &width, &height), 0);
    EXPECT_EQ(LumvekWnd_ReadSurface(hwnd, pixels, -1, &width, &height), 0);
    LumvekWnd_DestroyWindow(hwnd);
    EXPECT_EQ(LumvekWnd_GetInfo(hwnd, &info), 0);

    {
        lumvek::test::ScopedEnv screen("LUMVEK_SCREEN", "1280x720");
        EXPECT_EQ(LumvekWnd_GetScreenSize(&width, &height), 1);
        EXPECT_EQ(width, 1280);
        EXPECT_EQ(height, 720);
    }
    lumvek::test::ScopedEnv screen("LUMVEK_SCREEN", std::nullopt);
    EXPECT_EQ(LumvekWnd_GetScreenSize(&width, nullptr), 1);
    EXPECT_EQ(width, 1920);
}

} // namespace
