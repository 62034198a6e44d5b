// A handle released while other threads are inside the instance, and from
// inside the instance's own frame handler.
#include <vector>

#include "reliability_fixture.h"

namespace lumvek::test {
namespace {

constexpr int kFullFrameBytes = 2336 * 1752;

TEST_F(Reliability, ReleaseWhileOtherThreadsAreInsideTheInstanceIsSafe) {
    for (int round = 0; round < 3; ++round) {
        const int32_t handle = open(kGoodCamera);
        std::atomic<bool> go{false};
        std::atomic<int> afterRelease{0};
        std::atomic<bool> released{false};
        std::vector<std::thread> callers;
        for (int t = 0; t < 3; ++t) {
            callers.emplace_back([&, t] {
                std::vector<uint8_t> frame(kFullFrameBytes);
                while (!go.load()) {
                    std::this_thread::yield();
                }
                for (int i = 0; i < 200; ++i) {
                    const bool wasReleased = released.load();
                    if (t == 0) {
                        (void)Lumvek_SnapShot(handle, frame.data(), kFullFrameBytes, 1);
                    } else if (t == 1) {
                        (void)Lumvek_GetLastError(handle);
                    } else {
                        (void)Lumvek_SetWaitTime(handle, 10 + i % 5);
                    }
                    // Calls that begin after the release returned see an unknown handle.
                    if (wasReleased && Lumvek_GetColorMode(handle) != -1) {
                        ++afterRelease;
                    }
                }
            });
        }
        go = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 30 * round));
        EXPECT_EQ(Lumvek_Release(handle), 1);
        released = true;
        EXPECT_EQ(Lumvek_Release(handle), 0);
        for (auto& caller : callers) {
            caller.join();
        }
        EXPECT_EQ(afterRelease.load(), 0);
    }
}

TEST_F(Reliability, ReleaseFromTheInstancesOwnFrameHandlerDoesNotDeadlock) {
    HWND window = LumvekWnd_CreateMessageWindow();
    struct Context {
        int32_t handle = 0;
        std::atomic<int> releaseResult{-1};
    } context;
    context.handle = open(kGoodCamera);
    ASSERT_EQ(LumvekWnd_SetMessageHandler(
                  window,
                  [](void* c, const LumvekMsg* msg) {
                      auto* self = static_cast<Context*>(c);
                      if (msg->message == LUMVEK_WM_FRAME && self->releaseResult.load() == -1) {
                          self->releaseResult = Lumvek_Release(self->handle);
                      }
                  },
                  &context),
              1);
    std::vector<uint8_t> frame(kFullFrameBytes);
    ASSERT_EQ(Lumvek_CallBackPreview(context.handle, window, frame.data(), kFullFrameBytes, 1), 1);
    ASSERT_TRUE(waitFor([&] { return context.releaseResult.load() != -1; }, 20000 * kSlowdown));
    EXPECT_EQ(context.releaseResult.load(), 1);
    EXPECT_EQ(Lumvek_GetColorMode(context.handle), -1);
    // The camera is free again for a new instance.
    const int32_t again = open(kGoodCamera);
    EXPECT_EQ(Lumvek_SnapShot(again, frame.data(), kFullFrameBytes, 1), 1);
    EXPECT_EQ(Lumvek_Release(again), 1);
    LumvekWnd_DestroyWindow(window);
}

} // namespace
} // namespace lumvek::test
