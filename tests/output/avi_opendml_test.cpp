// Recordings past the first RIFF: OpenDML files read back whole by readers
// we did not write, with small RIFFs so that many of them appear.
#include <gtest/gtest.h>

#include <cstring>

#include "output/avi/avi_frame_producer.h"
#include "output/avi/avi_writer.h"
#include "output/avi_reader.h"
#include "output/outside_decoders.h"
#include "support/test_env.h"

namespace lumvek {
namespace {

using namespace test;

constexpr int kWidth = 40;
constexpr int kHeight = 30;
constexpr uint64_t kSmallRiffBytes = 64 * 1024;  // about 17 frames of 40 x 30

// Writes `frames` numbered frames into an OpenDML file with small RIFFs.
void writeNumberedFrames(AviWriter& writer, const std::string& path, int frames) {
    ASSERT_TRUE(writer.open(path.c_str(), kWidth, kHeight, AviWriter::Layout::OpenDml));
    AviFrameProducer producer;
    ASSERT_TRUE(producer.prepare(kWidth, kHeight));
    ImageBuffer picture;
    ASSERT_TRUE(picture.create(kWidth, kHeight, 24));
    for (int n = 0; n < frames; ++n) {
        fillPicture(picture, 1000 + static_cast<uint32_t>(n));
        const ImageBuffer* frame = producer.produce(picture);
        ASSERT_NE(nullptr, frame);
        ASSERT_EQ(AviWriter::AppendResult::Appended, writer.appendFrame(*frame)) << "frame " << n;
    }
}

TEST(AviOpenDml, FramesPastTheFirstRiffGoIntoAvixRiffsThatEveryIndexNames) {
    const auto dir = makeTempDir("odml-layout");
    const std::string path = (dir / "long.avi").string();
    constexpr int kFrames = 100;
    const uint32_t F = avi::frameBytes(kWidth, kHeight);
    AviWriter writer(avi::kMaxRiffBytes, kSmallRiffBytes);
    writeNumberedFrames(writer, path, kFrames);
    EXPECT_GE(writer.riffCount(), 5u);
    ASSERT_TRUE(writer.finalize(4000));  // 25 frames/s

    const auto f = readFileBytes(path);
    OpenDmlLayout layout;
    ASSERT_EQ("", checkOpenDmlStructure(f, F, layout));
    EXPECT_EQ(writer.riffCount(), layout.riffStarts.size());
    EXPECT_EQ(static_cast<size_t>(kFrames), layout.frameOffsets.size());
    EXPECT_EQ(static_cast<uint32_t>(kFrames), layout.dmlhFrames);
    // A reader of plain AVI sees the first RIFF: its frames, its idx1.
    EXPECT_GT(layout.oldIndexFrames, 0u);
    EXPECT_LT(layout.oldIndexFrames, static_cast<uint32_t>(kFrames));
    for (uint64_t bytes : layout.riffBytes) {
        EXPECT_LE(bytes, kSmallRiffBytes);
    }
    EXPECT_EQ(40000u, le32(f, 32));  // 25 frames/s over all frames, not the first RIFF's
}

TEST(AviOpenDml, FfmpegAndGstreamerReadEveryFrameOfEveryRiff) {
    LUMVEK_REQUIRE_TOOL(ffprobe, "ffprobe");
    LUMVEK_REQUIRE_TOOL(ffmpeg, "ffmpeg");
    const auto dir = makeTempDir("odml-readers");
    const std::string path = (dir / "long.avi").string();
    constexpr int kFrames = 90;
    {
        AviWriter writer(avi::kMaxRiffBytes, kSmallRiffBytes);
        writeNumberedFrames(writer, path, kFrames);
        ASSERT_TRUE(writer.finalize(4500));
    }
    auto probe = probeAvi(ffprobe, path);
    EXPECT_EQ(std::to_string(kFrames), probe["nb_read_frames"]);
    EXPECT_EQ("20/1", probe["r_frame_rate"]);
    ImageBuffer picture;
    ASSERT_TRUE(picture.create(kWidth, kHeight, 24));
    for (int n : {0, 20, 45, kFrames - 1}) {  // the first RIFF, AVIX RIFFs, the last frame
        fillPicture(picture, 1000 + static_cast<uint32_t>(n));
        EXPECT_EQ(expectedSamples(picture, false), decodeAviFrame(ffmpeg, path, n)) << "frame " << n;
    }
    const int buffers = gstreamerBufferCount(path);
    if (buffers < 0) {
        GTEST_SKIP() << "gst-launch-1.0 with avidemux is not installed";
    }
    EXPECT_EQ(kFrames, buffers);
}

// A recording that stays inside the first RIFF keeps the plain layout's
// reading: its idx1 alone indexes it, and the super index stays unused.
TEST(AviOpenDml, ARecordingInsideTheFirstRiffIsAPlainAviWithRoomForTheSuperIndex) {
    LUMVEK_REQUIRE_TOOL(ffprobe, "ffprobe");
    const auto dir = makeTempDir("odml-single");
    const std::string path = (dir / "short.avi").string();
    const uint32_t F = avi::frameBytes(kWidth, kHeight);
    {
        AviWriter writer(avi::kMaxRiffBytes, kSmallRiffBytes);
        writeNumberedFrames(writer, path, 5);
        EXPECT_EQ(1u, writer.riffCount());
        ASSERT_TRUE(writer.finalize(500));
    }
    const auto f = readFileBytes(path);
    OpenDmlLayout layout;
    ASSERT_EQ("", checkOpenDmlStructure(f, F, layout));
    EXPECT_EQ(0, std::memcmp(&f[220], "JUNK", 4));
    EXPECT_EQ(f.size(), 8 + le32(f, 4));
    EXPECT_EQ(5u, layout.oldIndexFrames);
    EXPECT_EQ("5", probeAvi(ffprobe, path)["nb_read_frames"]);
}

// Past the last super index entry, or a frame larger than a RIFF: refused,
// and the file written so far stays whole.
TEST(AviOpenDml, SizeLimitsAreReachedOnlyWhenTheSuperIndexIsFull) {
    const auto dir = makeTempDir("odml-limit");
    const uint32_t F = avi::frameBytes(8, 8);
    // One frame per RIFF: every frame takes a super index entry.
    const uint64_t oneFramePerRiff = 4 + 8 + 4 + (8 + F) + (8 + 24 + 8) + (8 + 16) + 4700;
    AviWriter writer(avi::kMaxRiffBytes, oneFramePerRiff);
    const std::string path = (dir / "full-index.avi").string();
    ASSERT_TRUE(writer.open(path.c_str(), 8, 8, AviWriter::Layout::OpenDml));
    ImageBuffer frame;
    ASSERT_TRUE(frame.create(8, 8, 24));
    uint32_t appended = 0;
    AviWriter::AppendResult result;
    while ((result = writer.appendFrame(frame)) == AviWriter::AppendResult::Appended && appended < 10000) {
        ++appended;
    }
    EXPECT_EQ(AviWriter::AppendResult::SizeLimit, result);
    EXPECT_EQ(avi::kSuperIndexEntries, writer.riffCount());
    ASSERT_TRUE(writer.finalize(1000));
    OpenDmlLayout layout;
    EXPECT_EQ("", checkOpenDmlStructure(readFileBytes(path), F, layout));
    EXPECT_EQ(appended, layout.frameOffsets.size());

    AviWriter tiny(avi::kMaxRiffBytes, 1024);
    const std::string big = (dir / "big-frame.avi").string();
    ASSERT_TRUE(tiny.open(big.c_str(), 32, 32, AviWriter::Layout::OpenDml));
    ImageBuffer large;
    ASSERT_TRUE(large.create(32, 32, 24));
    EXPECT_EQ(AviWriter::AppendResult::SizeLimit, tiny.appendFrame(large));
    ASSERT_TRUE(tiny.finalize(0));
    EXPECT_EQ("", checkOpenDmlStructure(readFileBytes(big), avi::frameBytes(32, 32), layout));
}

} // namespace
} // namespace lumvek
