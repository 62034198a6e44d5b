// A camera lost during preview: the application that reads the error
// history the moment the lost-camera message arrives finds the code there.
#include <string>

#include "capture_fixture.h"

namespace lumvek::test {
namespace {

constexpr int kRounds = 4;
constexpr int kLossWaitMs = 30000;

TEST_F(CaptureTest, TheLostCameraCodeIsOnTheHistoryWhenItsMessageArrives) {
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        instance_.reset();
        cameras_.clear();
        auto& camera = addCamera("product=0x3090,name=lost" + std::to_string(round) + ",fps=30,pattern=chart");
        CLumvek& self = start();
        ASSERT_EQ(self.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
        ASSERT_EQ(self.SetColorMode(8), 1);
        auto& buffer = callbackBuffer(2336u * 1752u);
        drainMessages();
        ASSERT_EQ(self.CallBackPreview(window_, buffer.data(), static_cast<int>(buffer.size()), 1), 1);
        LumvekMsg msg{};
        ASSERT_TRUE(waitMessage(LUMVEK_WM_FRAME, msg));
        while (self.GetLastError() != 0) {
        }
        camera.unplug();
        bool lost = false;
        while (!lost && waitMessage(LUMVEK_WM_FRAME, msg, kLossWaitMs)) {
            lost = msg.wParam == 0 && msg.lParam == LUMVEK_ERR_DEVICE_LOST;
        }
        ASSERT_TRUE(lost);
        // Read at once, as an application's handler would.
        EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_DEVICE_LOST);
        EXPECT_EQ(self.StopPreview(), 1);
    }
}

} // namespace
} // namespace lumvek::test
