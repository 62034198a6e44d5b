// lumvek::Camera: frames copied out with their metadata, and the stream's
// statistics, against the library's own simulated cameras.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <lumvek/camera.hpp>
#include <thread>
#include <vector>

namespace {

class CameraFrameMetadata : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The same list as the other tests of this program: the library reads it once.
        ::setenv("LUMVEK_SIM_CAMERAS",
                 "product=0x32D0,name=r12,pattern=ramp;product=0x3180,name=r05;"
                 "product=0x3090,name=r13;product=0x3220,name=g1467x",
                 1);
    }
};

TEST_F(CameraFrameMetadata, ContinuousFramesCountEveryFrameAndTheOnesOverwritten) {
    lumvek::Error error{};
    auto camera = lumvek::Camera::open(0x32D0, 0, error);
    ASSERT_TRUE(camera) << lumvek::errorText(error);
    ASSERT_EQ(camera->setWindow({0, 0, 256, 128, 0}), lumvek::Error::None);
    ASSERT_EQ(camera->setExposure(50), lumvek::Error::None);
    camera->resetStatistics();
    std::vector<uint8_t> frame(camera->frameBytes());
    std::vector<lumvek::FrameMetadata> frames;
    ASSERT_EQ(camera->start(true), lumvek::Error::None);
    for (int i = 0; i < 8; ++i) {
        // A signal left from frames already taken reads as "none yet": wait again.
        lumvek::Error waited = lumvek::Error::Timeout;
        for (int tries = 0; tries < 50 && waited == lumvek::Error::Timeout; ++tries) waited = camera->waitFrame(100);
        ASSERT_EQ(waited, lumvek::Error::None) << "frame " << i;
        if (i == 4) {
            // A reader that is late: the ring moves on without it.
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
        size_t written = 0;
        lumvek::FrameMetadata m;
        ASSERT_EQ(camera->copyFrame(frame.data(), frame.size(), written, m), lumvek::Error::None);
        EXPECT_EQ(written, frame.size());
        frames.push_back(m);
    }
    ASSERT_EQ(camera->stop(), lumvek::Error::None);

    uint64_t gaps = 0;
    for (size_t i = 1; i < frames.size(); ++i) {
        ASSERT_GT(frames[i].frameNumber, frames[i - 1].frameNumber) << "frame " << i;
        const uint64_t gap = frames[i].frameNumber - frames[i - 1].frameNumber - 1;
        EXPECT_EQ(frames[i].framesLostBefore, gap);
        gaps += gap;
        EXPECT_LE(frames[i].headerMonotonicNs, frames[i].completeMonotonicNs);
        EXPECT_LE(frames[i].completeMonotonicNs, frames[i].deliveredMonotonicNs);
        EXPECT_GT(frames[i].completeMonotonicNs, frames[i - 1].completeMonotonicNs);
        EXPECT_EQ(frames[i].exposure, 50);
        EXPECT_EQ(frames[i].window.width, 256);
        EXPECT_FALSE(frames[i].sixteenBit);
    }
    const lumvek::StreamStatistics s = camera->statistics();
    EXPECT_EQ(s.framesDelivered, frames.size());
    EXPECT_EQ(s.bytesDelivered, frames.size() * frame.size());
    EXPECT_GT(s.framesOverwritten, 0u) << "the late reader missed frames";
    EXPECT_GE(gaps, s.framesOverwritten);
    EXPECT_EQ(s.latencySamples, frames.size());
    EXPECT_LE(s.latencyMedianNs, s.latencyP99Ns);

    camera->resetStatistics();
    EXPECT_EQ(camera->statistics().framesDelivered, 0u);
    EXPECT_EQ(camera->statistics().framesOverwritten, 0u);
}

TEST_F(CameraFrameMetadata, SnapGivesTheMetadataOfItsFrame) {
    lumvek::Error error{};
    auto camera = lumvek::Camera::open(0x32D0, 0, error);
    ASSERT_TRUE(camera) << lumvek::errorText(error);
    ASSERT_EQ(camera->setWindow({0, 0, 128, 64, 0}), lumvek::Error::None);
    std::vector<uint8_t> frame(camera->frameBytes());
    size_t written = 0;
    lumvek::FrameMetadata first, second;
    ASSERT_EQ(camera->snap(frame.data(), frame.size(), written, 5000, first), lumvek::Error::None);
    ASSERT_EQ(camera->snap(frame.data(), frame.size(), written, 5000, second), lumvek::Error::None);
    EXPECT_GT(second.frameNumber, first.frameNumber);
    EXPECT_GT(second.completeWallNs, first.completeWallNs);
    lumvek::FrameMetadata untouched;
    untouched.frameNumber = 99;
    EXPECT_EQ(camera->copyFrame(nullptr, 0, written, untouched), lumvek::Error::InvalidArgument);
    EXPECT_EQ(untouched.frameNumber, 0u) << "a failed copy gives no metadata";
}

} // namespace
