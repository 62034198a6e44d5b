// Two SDK instances in one process and one camera: the instance that opened
// it keeps it, as a program keeps a camera against another program. The
// other neither opens it nor lists it, and cannot disturb its frames; once
// released, the camera is free for the other.
#include <gtest/gtest.h>

#include <cstdlib>
#include <numeric>
#include <vector>

#include "LumvekSdk.h"
#include "LumvekWindow.h"

namespace {

constexpr size_t kFrameBytes8 = size_t{2336} * 1752;
constexpr int kFrameWaitMs = 5000;
constexpr int kExposure = 100;  // 10 ms: a mid-grey chart
constexpr int kDarkExposure = 10;

class TwoInstances : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("LUMVEK_SIM_CAMERAS", "product=0x3090,name=only,fps=20,pattern=chart", 1); }
    void TearDown() override {
        for (const int32_t handle : {first_, second_}) {
            if (handle != 0) EXPECT_EQ(Lumvek_Release(handle), 1);
        }
        if (window_ != nullptr) LumvekWnd_DestroyWindow(window_);
    }

    // The mean sample of the next frame the first instance delivers (read
    // back with GetImage, not from a buffer the frame loop writes); -1 when
    // none comes.
    double nextFrameMean() {
        LumvekMsg msg{};
        while (LumvekWnd_GetMessage(window_, &msg, kFrameWaitMs) == 1) {
            if (msg.message == LUMVEK_WM_FRAME && msg.wParam != 0) {
                if (Lumvek_GetImage(first_, frame_.data(), static_cast<int>(frame_.size()), 1) != 1) return -1.0;
                return std::accumulate(frame_.begin(), frame_.end(), 0.0) / static_cast<double>(frame_.size());
            }
        }
        return -1.0;
    }

    HWND window_ = nullptr;
    int32_t first_ = 0;
    int32_t second_ = 0;
    std::vector<uint8_t> frame_ = std::vector<uint8_t>(kFrameBytes8);
};

} // namespace

TEST_F(TwoInstances, ACameraOneInstanceStreamsIsNeitherOpenedNorListedByAnother) {
    window_ = LumvekWnd_CreateMessageWindow();
    first_ = Lumvek_Initialize(window_);  // the only camera: opened here
    ASSERT_NE(first_, 0);
    ASSERT_EQ(Lumvek_SetPreviewWindow(first_, nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(Lumvek_SetColorMode(first_, 8), 1);
    ASSERT_EQ(Lumvek_SetExposureTime(first_, kExposure), 1);
    ASSERT_EQ(Lumvek_CallBackPreview(first_, window_, nullptr, 0, 1), 1);
    const double before = nextFrameMean();
    ASSERT_GT(before, 0.0);

    // Initialize with exactly one camera present opens nothing: it is in use.
    second_ = Lumvek_Initialize(nullptr);
    ASSERT_NE(second_, 0);
    char names[10][256];
    EXPECT_EQ(Lumvek_EnumDevice(second_, names), 0);
    EXPECT_STREQ(names[0], "");
    EXPECT_EQ(Lumvek_SetDeviceNumber(second_, 0), 0);
    EXPECT_EQ(Lumvek_GetLastError(second_), LUMVEK_ERR_NO_CAMERA);
    char name[32];
    EXPECT_EQ(Lumvek_GetDeviceName(second_, 0, name, sizeof name), 0);
    // Nothing it does reaches the camera.
    (void)Lumvek_SetExposureTime(second_, kDarkExposure);
    std::vector<uint8_t> snap(kFrameBytes8);
    EXPECT_EQ(Lumvek_SnapShot(second_, snap.data(), static_cast<int>(snap.size()), 1), 0);

    // The first instance's frames go on as they were.
    for (int i = 0; i < 3; ++i) {
        const double mean = nextFrameMean();
        ASSERT_GT(mean, 0.0) << "frame " << i << " after the second instance tried";
        EXPECT_NEAR(mean, before, before * 0.2) << "frame " << i;
    }
    int ok = 0;
    EXPECT_EQ(Lumvek_GetExposureTime(first_, &ok), kExposure);
    EXPECT_EQ(ok, 1);

    // Released, the camera is the second instance's.
    EXPECT_EQ(Lumvek_StopPreview(first_), 1);
    EXPECT_EQ(Lumvek_Release(first_), 1);
    first_ = 0;
    EXPECT_EQ(Lumvek_EnumDevice(second_, names), 1);
    ASSERT_EQ(Lumvek_SetDeviceNumber(second_, 0), 1);
    ASSERT_EQ(Lumvek_SetColorMode(second_, 8), 1);
    EXPECT_EQ(Lumvek_SnapShot(second_, snap.data(), static_cast<int>(snap.size()), 1), 1);
}
