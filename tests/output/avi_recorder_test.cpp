#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

#include "output/avi/avi_frame_producer.h"
#include "output/avi/avi_recorder.h"
#include "output/avi_reader.h"
#include "output/outside_decoders.h"
#include "platform/sync/event.h"
#include "support/test_env.h"

namespace lumvek {
namespace {

using namespace test;
using platform::Event;

// What each colour mode's picture must become: 24-bit blue-green-red,
// bottom line first.
TEST(AviFrameProducer, EveryColourModeBecomesABottomUpTwentyFourBitFrame) {
    for (int bits : {8, 16, 24, 32, 48, 64}) {
        ImageBuffer picture;
        ASSERT_TRUE(picture.create(5, 3, bits));
        fillPicture(picture, static_cast<uint32_t>(bits));
        AviFrameProducer producer;
        ASSERT_TRUE(producer.prepare(5, 3));
        const ImageBuffer* frame = producer.produce(picture);
        ASSERT_NE(nullptr, frame);
        ASSERT_EQ(24, frame->bitsPerPixel());
        for (int r = 0; r < 3; ++r) {
            const uint8_t* src = picture.row(2 - r);
            for (int c = 0; c < 5; ++c) {
                const uint8_t* px = frame->row(r) + 3 * c;
                uint8_t want[3];
                switch (bits) {
                case 8:
                    want[0] = want[1] = want[2] = src[c];
                    break;
                case 16: {
                    const int sample = src[2 * c] | (src[2 * c + 1] << 8);
                    want[0] = want[1] = want[2] = static_cast<uint8_t>(sample >> 2);
                    break;
                }
                case 24:
                case 32:
                    std::memcpy(want, src + c * (bits / 8), 3);
                    break;
                default:
                    for (int k = 0; k < 3; ++k) {
                        want[k] = src[c * (bits / 8) + 2 * k + 1];
                    }
                }
                ASSERT_EQ(0, std::memcmp(want, px, 3)) << bits << " at " << r << "," << c;
            }
        }
    }
}

// Stands in for the capture engine: a picture under a frame lock, renewed
// by a camera thread that raises the new-frame flag after each one.
class CapturedPictures : public RecorderFrameSource {
public:
    CapturedPictures(int width, int height, int bits) { EXPECT_TRUE(picture_.create(width, height, bits)); }
    ~CapturedPictures() override { stopCamera(); }

    bool withNewestPicture(const std::function<void(const ImageBuffer&)>& use) override {
        std::lock_guard<std::mutex> lock(frameLock_);
        use(picture_);
        if (++taken_ >= wantTaken_) {
            takenEnough_.set();
        }
        return true;
    }

    // Frames at about 50 per second until stopped.
    void startCamera(AviRecorder& recorder) {
        camera_ = std::thread([this, &recorder] {
            for (uint32_t n = 0; !cameraStop_.wait(20); ++n) {
                {
                    std::lock_guard<std::mutex> lock(frameLock_);
                    fillPicture(picture_, n);
                }
                recorder.notifyNewFrame();
            }
        });
    }
    void stopCamera() {
        cameraStop_.set();
        if (camera_.joinable()) {
            camera_.join();
        }
    }
    // Waits (bounded) until the recorder has taken n pictures.
    bool waitTaken(int n) {
        wantTaken_ = n;
        return taken_ >= n || takenEnough_.wait(10000);
    }

private:
    std::mutex frameLock_;  // guards picture_
    ImageBuffer picture_;
    std::atomic<int> taken_{0};
    std::atomic<int> wantTaken_{1 << 30};
    Event takenEnough_{Event::Reset::Manual};
    Event cameraStop_{Event::Reset::Manual};
    std::thread camera_;
};

TEST(AviRecorder, RecordingEndsByItselfWithAFinalisedFile) {
    LUMVEK_REQUIRE_TOOL(ffprobe, "ffprobe");
    const auto dir = makeTempDir("rec-timed");
    const std::string path = (dir / "timed.avi").string();
    CapturedPictures capture(48, 32, 24);
    AviRecorder recorder(capture);
    ASSERT_EQ(0, recorder.start(path.c_str(), 48, 32, 300));
    EXPECT_TRUE(recorder.isRecording());
    capture.startCamera(recorder);
    ASSERT_TRUE(recorder.waitFinished(20000));
    EXPECT_FALSE(recorder.isRecording());
    capture.stopCamera();

    const auto f = readFileBytes(path);
    EXPECT_EQ("", checkAviStructure(f, avi::frameBytes(48, 32)));
    const uint32_t frames = recorder.framesRecorded();
    EXPECT_GE(frames, 2u);
    EXPECT_EQ(frames, le32(f, 48));
    EXPECT_NE(0u, le32(f, 32));
    EXPECT_NEAR(10.0 * le32(f, 32), le32(f, 128), 10.0);  // both from the same measured rate
    auto probe = probeAvi(ffprobe, path);
    EXPECT_EQ(std::to_string(frames), probe["nb_read_frames"]);
}

TEST(AviRecorder, RecordingStoppedEarlyIsStillAPlayableFile) {
    LUMVEK_REQUIRE_TOOL(ffprobe, "ffprobe");
    LUMVEK_REQUIRE_TOOL(ffmpeg, "ffmpeg");
    const auto dir = makeTempDir("rec-early");
    for (int bits : {8, 16, 48}) {
        const std::string path = (dir / ("early" + std::to_string(bits) + ".avi")).string();
        CapturedPictures capture(40, 30, bits);
        AviRecorder recorder(capture);
        ASSERT_EQ(0, recorder.start(path.c_str(), 40, 30, 600000));
        capture.startCamera(recorder);
        ASSERT_TRUE(capture.waitTaken(3));
        recorder.stop();
        capture.stopCamera();
        EXPECT_FALSE(recorder.isRecording());

        const auto f = readFileBytes(path);
        EXPECT_EQ("", checkAviStructure(f, avi::frameBytes(40, 30))) << bits;
        EXPECT_GE(le32(f, 48), 3u);
        EXPECT_NE(0u, le32(f, 4));
        EXPECT_NE(0u, le32(f, 224));
        auto probe = probeAvi(ffprobe, path);
        EXPECT_EQ("bgr24", probe["pix_fmt"]);
        EXPECT_EQ(std::to_string(le32(f, 48)), probe["nb_read_frames"]);
        EXPECT_EQ(40u * 30u * 3u, decodeAviFrame(ffmpeg, path, 0).size());
    }
}

TEST(AviRecorder, SizeLimitEndsTheRecordingWithCodeTwelve) {
    const auto dir = makeTempDir("rec-limit");
    const std::string path = (dir / "limit.avi").string();
    const uint32_t F = avi::frameBytes(16, 16);
    CapturedPictures capture(16, 16, 32);
    std::atomic<int> reported{0};
    Event errorSeen(Event::Reset::Manual);
    AviRecorder recorder(
        capture,
        [&](int code) {
            reported = code;
            errorSeen.set();
        },
        224 + 3 * (8 + F) + 8 + 3 * 16);
    ASSERT_EQ(0, recorder.start(path.c_str(), 16, 16, 600000));
    capture.startCamera(recorder);
    ASSERT_TRUE(errorSeen.wait(20000));
    ASSERT_TRUE(recorder.waitFinished(20000));
    capture.stopCamera();
    EXPECT_EQ(12, reported.load());
    const auto f = readFileBytes(path);
    EXPECT_EQ("", checkAviStructure(f, F));
    EXPECT_EQ(3u, le32(f, 48));
}

TEST(AviRecorder, StartRefusesBadPathsAndASecondRecording) {
    const auto dir = makeTempDir("rec-start");
    CapturedPictures capture(8, 8, 8);
    AviRecorder recorder(capture);
    EXPECT_EQ(9, recorder.start(nullptr, 8, 8, 100));
    EXPECT_EQ(9, recorder.start("", 8, 8, 100));
    EXPECT_EQ(12, recorder.start(dir.string().c_str(), 8, 8, 100));
    EXPECT_EQ(12, recorder.start((dir / "a.avi").string().c_str(), 0, 8, 100));
    EXPECT_FALSE(recorder.isRecording());
    recorder.stop();  // nothing running: harmless

    const std::string first = (dir / "first.avi").string();
    ASSERT_EQ(0, recorder.start(first.c_str(), 8, 8, 600000));
    EXPECT_EQ(1, recorder.start((dir / "second.avi").string().c_str(), 8, 8, 100));
    EXPECT_FALSE(std::filesystem::exists(dir / "second.avi"));
    recorder.stop();
    EXPECT_EQ("", checkAviStructure(readFileBytes(first), avi::frameBytes(8, 8)));  // no frames, still valid

    // A recorder can record again once the previous recording has ended.
    const std::string again = (dir / "again.avi").string();
    ASSERT_EQ(0, recorder.start(again.c_str(), 8, 8, 600000));
    recorder.stop();
    EXPECT_EQ("", checkAviStructure(readFileBytes(again), avi::frameBytes(8, 8)));
}

TEST(AviRecorder, DestroyedWhileRecordingFinalisesTheFile) {
    const auto dir = makeTempDir("rec-destroy");
    const std::string path = (dir / "destroyed.avi").string();
    CapturedPictures capture(24, 24, 64);
    {
        AviRecorder recorder(capture);
        ASSERT_EQ(0, recorder.start(path.c_str(), 24, 24, 600000));
        capture.startCamera(recorder);
        ASSERT_TRUE(capture.waitTaken(2));
        capture.stopCamera();
    }
    const auto f = readFileBytes(path);
    EXPECT_EQ("", checkAviStructure(f, avi::frameBytes(24, 24)));
    EXPECT_GE(le32(f, 48), 2u);
}

} // namespace
} // namespace lumvek
