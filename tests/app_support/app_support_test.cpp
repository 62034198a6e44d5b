// Shared by lumvek, the Python package and lumveksrc: frame layouts per
// colour mode, the camera-count message, format names and the frame-message
// wait.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "LumvekSdk.h"
#include "LumvekWindow.h"
#include "camera_count.h"
#include "frame_layout.h"
#include "frame_messages.h"
#include "picture_format.h"

namespace lumvek::tool {
namespace {

TEST(FrameLayout, EveryColourModeHasItsSamplesAndShape) {
    struct Case {
        int bits;
        int channels;
        int bytesPerSample;
        std::vector<size_t> shape;
    };
    for (const Case& c : {Case{8, 1, 1, {3, 5}}, Case{16, 1, 2, {3, 5}}, Case{24, 3, 1, {3, 5, 3}},
                          Case{32, 4, 1, {3, 5, 4}}, Case{48, 3, 2, {3, 5, 3}}, Case{64, 4, 2, {3, 5, 4}}}) {
        const auto layout = frameLayout(5, 3, c.bits);
        ASSERT_TRUE(layout) << c.bits;
        EXPECT_EQ(layout->channels, c.channels) << c.bits;
        EXPECT_EQ(layout->bytesPerSample, c.bytesPerSample) << c.bits;
        EXPECT_EQ(layout->shape(), c.shape) << c.bits;
        EXPECT_EQ(layout->rowBytes(), 5u * c.bits / 8) << c.bits;
    }
    for (int bits : {0, 12, 40, -8}) EXPECT_FALSE(frameLayout(5, 3, bits)) << bits;
    EXPECT_FALSE(frameLayout(-1, 3, 8));
}

TEST(FrameLayout, SdkRowsArePaddedToFourBytesAndThePaddingIsDropped) {
    // 2336 x 1752 in mode 24: 7008-byte rows, no padding.
    EXPECT_EQ(frameLayout(2336, 1752, 24)->sdkBytes(), 12278016u);
    const auto odd = frameLayout(3, 2, 24);  // 9-byte rows, 12-byte stride
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->sdkStride(), 12u);
    EXPECT_EQ(odd->sdkBytes(), 24u);
    EXPECT_EQ(odd->arrayBytes(), 18u);
    std::vector<uint8_t> sdk(odd->sdkBytes());
    std::iota(sdk.begin(), sdk.end(), uint8_t{0});
    std::vector<uint8_t> packed(odd->arrayBytes(), 0xEE);
    removeRowPadding(*odd, sdk.data(), packed.data());
    const std::vector<uint8_t> expected{0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    EXPECT_EQ(packed, expected);

    const auto mono16 = frameLayout(1, 2, 16);  // 2-byte rows, 4-byte stride
    EXPECT_EQ(mono16->sdkStride(), 4u);
    EXPECT_EQ(frameLayout(0, 0, 8)->sdkBytes(), 0u);
}

TEST(CameraCount, OnlyExactlyOneCameraNeedsNoChoice) {
    EXPECT_FALSE(cameraCountProblem(1, "-d N"));
    EXPECT_EQ(cameraCountProblem(2, "-d N").value_or(""), "2 cameras found; choose one with -d N");
    EXPECT_EQ(cameraCountProblem(0, "-d N").value_or("").rfind("no camera found", 0), 0u);
    EXPECT_EQ(cameraCountProblem(-1, "-d N").value_or("").rfind("no camera found", 0), 0u);
}

TEST(PictureFormat, AliasesAndRecordingPaths) {
    EXPECT_EQ(formatByName("jpg")->fileType, LUMVEK_FILE_JPEG100);
    EXPECT_EQ(formatByName("JPEG")->fileType, LUMVEK_FILE_JPEG100);
    EXPECT_EQ(formatByName("tif")->fileType, LUMVEK_FILE_TIFF);
    EXPECT_EQ(formatByName("jpeg70")->fileType, LUMVEK_FILE_JPEG70);
    EXPECT_FALSE(formatByName("gif"));
    EXPECT_TRUE(isAviPath("a/b/clip.AVI"));
    EXPECT_FALSE(isAviPath("clip.mp4"));
    EXPECT_FALSE(isAviPath("avi"));
    EXPECT_NE(compressedVideoPipeline("x.mp4").find("lumveksrc ! videoconvert ! x264enc ! mp4mux"), std::string::npos);
}

class FrameMessages : public ::testing::Test {
protected:
    void SetUp() override { window_ = LumvekWnd_CreateMessageWindow(); ASSERT_NE(window_, nullptr); }
    void TearDown() override { LumvekWnd_DestroyWindow(window_); }
    void post(uintptr_t wParam, intptr_t lParam, uint32_t message = LUMVEK_WM_FRAME) {
        ASSERT_EQ(LumvekWnd_PostMessage(window_, message, wParam, lParam), 1);
    }
    HWND window_ = nullptr;
};

TEST_F(FrameMessages, TheNewestQueuedFrameIsTakenAndTheQueueEmptied) {
    LumvekFrameInfo info{};
    post(reinterpret_cast<uintptr_t>(&info), 0);
    post(0, 0, LUMVEK_WM_ERROR);  // other messages are passed over
    post(reinterpret_cast<uintptr_t>(&info), 0);
    const FrameWait wait = waitForNewestFrame(window_, 1000);
    EXPECT_EQ(wait.kind, FrameWait::Frame);
    // Nothing is left: the next wait times out instead of giving an old frame.
    EXPECT_EQ(waitForNewestFrame(window_, 0).kind, FrameWait::Timeout);
}

TEST_F(FrameMessages, AFailureReportWinsOverQueuedFrames) {
    LumvekFrameInfo info{};
    post(reinterpret_cast<uintptr_t>(&info), 0);
    post(0, LUMVEK_ERR_DEVICE_LOST);
    const FrameWait wait = waitForNewestFrame(window_, 1000);
    EXPECT_EQ(wait.kind, FrameWait::Failed);
    EXPECT_EQ(wait.code, LUMVEK_ERR_DEVICE_LOST);
}

TEST_F(FrameMessages, FramesQueuedBeforeTheTakenMarkAreNotGivenAgain) {
    LumvekFrameInfo info{};
    post(reinterpret_cast<uintptr_t>(&info), 0);
    markFramesTaken(window_);  // the frame that message announced was read already
    EXPECT_EQ(waitForNewestFrame(window_, 20).kind, FrameWait::Timeout);
    post(reinterpret_cast<uintptr_t>(&info), 0);
    markFramesTaken(window_);
    post(reinterpret_cast<uintptr_t>(&info), 0);  // a frame after the mark is new
    EXPECT_EQ(waitForNewestFrame(window_, 1000).kind, FrameWait::Frame);
}

TEST_F(FrameMessages, NoMessageIsATimeoutAndADeadWindowToo) {
    EXPECT_EQ(waitForNewestFrame(window_, 10).kind, FrameWait::Timeout);
    HWND gone = LumvekWnd_CreateMessageWindow();
    ASSERT_EQ(LumvekWnd_DestroyWindow(gone), 1);
    EXPECT_EQ(waitForNewestFrame(gone, 10).kind, FrameWait::Timeout);
}

} // namespace
} // namespace lumvek::tool
