// Readers of the last picture never wait for the frame being processed:
// once an application reads pictures, GetImage and SaveImage deliver the
// picture finished before while the frame lock is held (as the frame loop
// holds it for each frame).
#include <cstring>
#include <future>

#include "instance/lumvek_internals.h"
#include "capture_fixture.h"

namespace lumvek::test {
namespace {

constexpr int kW = 2336;
constexpr int kH = 1752;
constexpr int kBmp = 0;
// How long a reader may take before the test calls it blocked (it would
// otherwise wait for ever).
constexpr auto kReaderBound = std::chrono::seconds(60);

TEST_F(CaptureTest, GetImageAndSaveImageDeliverTheFinishedPictureWhileAFrameIsInProgress) {
    addCamera("product=0x3090,name=cam0,fps=40,pattern=chart");
    CLumvek& self = start();
    ASSERT_EQ(self.SetColorMode(8), 1);
    std::vector<uint8_t> snapped(static_cast<size_t>(kW) * kH);
    std::vector<uint8_t> first(snapped.size());
    ASSERT_EQ(self.SnapShot(first.data(), static_cast<int>(first.size()), 1), 1) << self.GetLastError();
    ASSERT_EQ(self.GetImage(first.data(), static_cast<int>(first.size()), 1), 1);  // the application reads pictures
    ASSERT_EQ(self.SnapShot(snapped.data(), static_cast<int>(snapped.size()), 1), 1) << self.GetLastError();
    const std::string path = (makeTempDir("picture") / "held.bmp").string();

    std::vector<uint8_t> read(snapped.size());
    std::future<int> image;
    std::future<int> saved;
    {
        platform::MutexLock frameInProgress(internals(self).frameLock());
        image = std::async(std::launch::async,
                           [&] { return self.GetImage(read.data(), static_cast<int>(read.size()), 1); });
        saved = std::async(std::launch::async, [&] { return self.SaveImage(path.c_str(), kBmp); });
        ASSERT_EQ(image.wait_for(kReaderBound), std::future_status::ready);
        ASSERT_EQ(saved.wait_for(kReaderBound), std::future_status::ready);
    }
    EXPECT_EQ(image.get(), 1);
    EXPECT_EQ(saved.get(), 1);
    EXPECT_EQ(read, snapped);
    EXPECT_GT(std::filesystem::file_size(path), snapped.size());
}

TEST_F(CaptureTest, AFormatChangeDropsThePictureOfTheFormatBefore) {
    addCamera("product=0x3090,name=cam0,fps=40,pattern=chart");
    CLumvek& self = start();
    ASSERT_EQ(self.SetColorMode(8), 1);
    std::vector<uint8_t> frame(static_cast<size_t>(kW) * kH * 3);
    ASSERT_EQ(self.SnapShot(frame.data(), static_cast<int>(frame.size()), 1), 1) << self.GetLastError();
    ASSERT_EQ(self.SetColorMode(24), 1);
    ASSERT_EQ(self.Capture(), 1);  // buffers made for 24 bits
    // The 8-bit picture is gone: nothing of the wrong depth is handed out.
    EXPECT_EQ(self.GetImage(frame.data(), static_cast<int>(frame.size()), 1), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_MEMORY);
    ASSERT_EQ(self.SnapShot(frame.data(), static_cast<int>(frame.size()), 1), 1) << self.GetLastError();
    EXPECT_EQ(self.GetImage(frame.data(), static_cast<int>(frame.size()), 1), 1);
}

} // namespace
} // namespace lumvek::test
