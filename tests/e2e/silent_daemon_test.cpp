// The exports against a camera served by a simulator daemon that stops
// answering (SIGSTOP): stopping a running preview and releasing the instance
// return instead of waiting on the daemon, the camera counts as unplugged
// (a fresh instance finds none, SetDeviceNumber gives code 2), and once the
// daemon runs again the camera opens as before. The bounds are hang
// detectors, well above the waits involved.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <optional>
#include <future>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "LumvekSdk.h"
#include "LumvekWindow.h"
#include "support/camsim_process.h"

using lumvek::test::CamsimProcess;

#ifdef LUMVEK_CAMSIM_PATH
extern char** environ;

namespace {

constexpr int kReadyTimeoutMs = 10000;
constexpr auto kHangBound = std::chrono::seconds(10);
constexpr int kFrameWaitMs = 5000;
constexpr size_t kFrameBytes8 = size_t{2336} * 1752;

// lumvek-camsim serving one camera in the test's device folder; resumed and
// killed at the end whatever happened.
class StoppableDaemon {
public:
    StoppableDaemon() : process_(LUMVEK_CAMSIM_PATH, "product=0x3090,name=cam0,fps=20,pattern=chart") {}
    bool waitReady() { return process_.waitReady(kReadyTimeoutMs); }
    void stop() { process_.stop(); }
    void resume() { process_.resume(); }

private:
    CamsimProcess process_;
};

// Runs `call` on a thread of its own; nullopt when it has not returned within
// kHangBound (the daemon is then resumed so that the call can end).
std::optional<int> returnsInTime(StoppableDaemon& daemon, std::function<int()> call) {
    std::packaged_task<int()> task(std::move(call));
    std::future<int> result = task.get_future();
    std::thread runner(std::move(task));
    if (result.wait_for(kHangBound) != std::future_status::ready) {
        daemon.resume();
        runner.join();
        return std::nullopt;
    }
    runner.join();
    return result.get();
}

bool waitFrame(HWND window) {
    LumvekMsg msg{};
    while (LumvekWnd_GetMessage(window, &msg, kFrameWaitMs) == 1) {
        if (msg.message == LUMVEK_WM_FRAME && msg.wParam != 0) return true;
    }
    return false;
}

} // namespace

TEST(SilentDaemon, StopPreviewAndReleaseReturnAndTheCameraCountsAsUnplugged) {
    StoppableDaemon daemon;
    ASSERT_TRUE(daemon.waitReady());
    HWND window = LumvekWnd_CreateMessageWindow();
    const int32_t handle = Lumvek_Initialize(window);
    ASSERT_NE(handle, 0);
    ASSERT_EQ(Lumvek_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(Lumvek_SetColorMode(handle, 8), 1);
    std::vector<uint8_t> buffer(kFrameBytes8);
    ASSERT_EQ(Lumvek_CallBackPreview(handle, window, buffer.data(), static_cast<int>(buffer.size()), 1), 1);
    ASSERT_TRUE(waitFrame(window));

    daemon.stop();
    EXPECT_TRUE(returnsInTime(daemon, [&] { return Lumvek_StopPreview(handle); })) << "StopPreview hung";
    EXPECT_TRUE(returnsInTime(daemon, [&] { return Lumvek_Release(handle); })) << "Release hung";

    // A fresh instance meanwhile: nothing to open, and it says so.
    int32_t fresh = 0;
    EXPECT_TRUE(returnsInTime(daemon, [&] { return fresh = Lumvek_Initialize(nullptr); })) << "Initialize hung";
    char names[10][256];
    EXPECT_EQ(Lumvek_EnumDevice(fresh, names), 0);
    EXPECT_EQ(Lumvek_SetDeviceNumber(fresh, 0), 0);
    EXPECT_EQ(Lumvek_GetLastError(fresh), LUMVEK_ERR_NO_CAMERA);

    // Running again: the camera is back.
    daemon.resume();
    bool back = false;
    for (int attempt = 0; attempt < 20 && !back; ++attempt) {
        back = Lumvek_EnumDevice(fresh, names) == 1 && Lumvek_SetDeviceNumber(fresh, 0) == 1;
        if (!back) std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    EXPECT_TRUE(back);
    EXPECT_EQ(Lumvek_Release(fresh), 1);
    LumvekWnd_DestroyWindow(window);
}
#endif // LUMVEK_CAMSIM_PATH
