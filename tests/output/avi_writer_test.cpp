#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <cstring>

#include "output/avi/avi_frame_producer.h"
#include "output/avi/avi_writer.h"
#include "output/avi_reader.h"
#include "output/outside_decoders.h"
#include "support/test_env.h"

namespace lumvek {
namespace {

using namespace test;

// A 24-bit picture for frame n and the bottom-up frame the recorder makes of it.
void makeFrame(AviFrameProducer& producer, ImageBuffer& picture, int n, const ImageBuffer*& frame) {
    fillPicture(picture, 1000 + static_cast<uint32_t>(n));
    frame = producer.produce(picture);
    ASSERT_NE(nullptr, frame);
}

std::vector<uint8_t> writeFrames(const std::string& path, int width, int height, int frames, uint32_t elapsedMs) {
    AviWriter writer;
    EXPECT_TRUE(writer.open(path.c_str(), width, height));
    AviFrameProducer producer;
    EXPECT_TRUE(producer.prepare(width, height));
    ImageBuffer picture;
    EXPECT_TRUE(picture.create(width, height, 24));
    for (int n = 0; n < frames; ++n) {
        const ImageBuffer* frame = nullptr;
        makeFrame(producer, picture, n, frame);
        EXPECT_EQ(AviWriter::AppendResult::Appended, writer.appendFrame(*frame));
    }
    EXPECT_TRUE(writer.finalize(elapsedMs));
    return readFileBytes(path);
}

TEST(AviWriter, HeaderIndexAndChunksLaidOutByteForByte) {
    const auto dir = makeTempDir("avi-layout");
    const std::string path = (dir / "vga.avi").string();
    constexpr uint32_t F = 921600;  // 640 x 480 x 3
    const auto f = writeFrames(path, 640, 480, 3, 300);  // 10 frames/s measured
    ASSERT_EQ(232u + 3 * (8 + F) + 8 + 48, f.size());
    EXPECT_EQ("", checkAviStructure(f, F));

    const std::pair<size_t, uint32_t> fields[] = {
        {4, f.size() - 8}, {16, 200},  {28, 56},      {32, 100000},   {36, (F + 8) * 30}, {40, 0},
        {44, 0x00010010},  {48, 3},    {52, 0},       {56, 1},        {60, F + 8},        {64, 640},
        {68, 480},         {92, 124},  {104, 64},     {116, 0},       {124, 0},           {128, 1000000},
        {132, 10000000},   {136, 0},   {140, 3},      {144, F + 8},   {148, 0},           {152, 0},
        {176, 40},         {180, 40},  {184, 640},    {188, 480},     {196, 0},           {224, 4 + 3 * (8 + F)},
    };
    for (const auto& [at, value] : fields) {
        EXPECT_EQ(value, le32(f, at)) << "offset " << at;
    }
    EXPECT_EQ(1, le16(f, 192));
    EXPECT_EQ(24, le16(f, 194));
    for (const auto& [at, code] : {std::pair<size_t, const char*>{0, "RIFF"}, {8, "AVI "}, {12, "LIST"}, {20, "hdrl"},
                                  {24, "avih"}, {88, "LIST"}, {96, "strl"}, {100, "strh"}, {108, "vids"},
                                  {112, "DIB "}, {172, "strf"}, {220, "LIST"}, {228, "movi"}, {232, "00db"}}) {
        EXPECT_EQ(0, std::memcmp(&f[at], code, 4)) << "fourcc at " << at;
    }
    EXPECT_EQ(F, le32(f, 236));
    const size_t index = 232 + 3 * (8 + F);
    EXPECT_EQ(0, std::memcmp(&f[index], "idx1", 4));
    EXPECT_EQ(48u, le32(f, index + 4));
    EXPECT_EQ(4u, le32(f, index + 8 + 8));           // first frame at offset 4 from "movi"
    EXPECT_EQ(4u + 8 + F, le32(f, index + 24 + 8));  // the second right after it
}

TEST(AviWriter, RowsArePaddedToFourBytes) {
    const auto dir = makeTempDir("avi-642");
    const std::string path = (dir / "w642.avi").string();
    EXPECT_EQ(1928u * 5, avi::frameBytes(642, 5));
    const auto f = writeFrames(path, 642, 5, 2, 100);
    EXPECT_EQ("", checkAviStructure(f, 1928u * 5));
    EXPECT_EQ(1928u * 5, le32(f, 236));
}

TEST(AviWriter, FfprobeAndFfmpegReadTheStreamAndItsFirstFrame) {
    LUMVEK_REQUIRE_TOOL(ffprobe, "ffprobe");
    LUMVEK_REQUIRE_TOOL(ffmpeg, "ffmpeg");
    const auto dir = makeTempDir("avi-ffmpeg");
    const std::string path = (dir / "odd.avi").string();
    constexpr int kWidth = 65;  // padded rows
    constexpr int kHeight = 47;
    writeFrames(path, kWidth, kHeight, 4, 400);
    const auto probe = probeAvi(ffprobe, path);
    EXPECT_EQ("rawvideo", probe.at("codec_name"));
    EXPECT_EQ("bgr24", probe.at("pix_fmt"));
    EXPECT_EQ("65", probe.at("width"));
    EXPECT_EQ("47", probe.at("height"));
    EXPECT_EQ("4", probe.at("nb_read_frames"));
    EXPECT_EQ("10/1", probe.at("r_frame_rate"));

    ImageBuffer picture;
    ASSERT_TRUE(picture.create(kWidth, kHeight, 24));
    for (int n : {0, 3}) {
        fillPicture(picture, 1000 + static_cast<uint32_t>(n));
        EXPECT_EQ(expectedSamples(picture, false), decodeAviFrame(ffmpeg, path, n)) << "frame " << n;
    }
}

TEST(AviWriter, RateFiguresNeverDivideByZeroOrWrap) {
    EXPECT_EQ(3000u, avi::measuredRateHundredths(0, 1000));
    EXPECT_EQ(3000u, avi::measuredRateHundredths(5, 0));
    EXPECT_EQ(3000u, avi::measuredRateHundredths(1, 200000));  // under one frame per 100 s
    EXPECT_EQ(1080u, avi::measuredRateHundredths(108, 10000));
    EXPECT_EQ(5000u, avi::measuredRateHundredths(50000, 1000000));  // 50000 x 100000 needs 64 bits
    EXPECT_EQ(33333u, avi::microsecondsPerFrame(3000));
    EXPECT_EQ(333333u, avi::streamScale(3000));
    EXPECT_EQ(1u, avi::streamScale(UINT32_MAX));
    EXPECT_EQ(1u, avi::microsecondsPerFrame(UINT32_MAX));

    const auto dir = makeTempDir("avi-rate");
    const auto slow = writeFrames((dir / "slow.avi").string(), 8, 8, 1, 200000);
    EXPECT_EQ(33333u, le32(slow, 32));
    EXPECT_EQ(333333u, le32(slow, 128));
    const auto instant = writeFrames((dir / "instant.avi").string(), 8, 8, 2, 0);
    EXPECT_EQ(33333u, le32(instant, 32));
    const auto none = writeFrames((dir / "none.avi").string(), 8, 8, 0, 0);
    EXPECT_EQ("", checkAviStructure(none, avi::frameBytes(8, 8)));
    EXPECT_EQ(0u, le32(none, 48));
}

TEST(AviWriter, FrameThatWouldPassTheSizeLimitIsRefusedAndTheFileStaysValid) {
    const auto dir = makeTempDir("avi-limit");
    const std::string path = (dir / "limit.avi").string();
    const uint32_t F = avi::frameBytes(16, 16);
    const uint64_t twoFrames = 224 + 2 * (8 + F) + 8 + 2 * 16;  // the RIFF size of a finished 2-frame file
    AviWriter writer(twoFrames);
    ASSERT_TRUE(writer.open(path.c_str(), 16, 16));
    ImageBuffer frame;
    ASSERT_TRUE(frame.create(16, 16, 24));
    EXPECT_EQ(AviWriter::AppendResult::Appended, writer.appendFrame(frame));
    EXPECT_EQ(AviWriter::AppendResult::Appended, writer.appendFrame(frame));
    EXPECT_EQ(AviWriter::AppendResult::SizeLimit, writer.appendFrame(frame));
    EXPECT_TRUE(writer.finalize(100));
    const auto f = readFileBytes(path);
    EXPECT_EQ("", checkAviStructure(f, F));
    EXPECT_EQ(twoFrames, le32(f, 4));
    EXPECT_EQ(2u, le32(f, 48));
}

// A disk that fills up during the recording: the frame that did not fit is
// cut off and the frames before it stay a playable file.
TEST(AviWriter, WriteFailureKeepsEveryWholeFrameInAValidFile) {
    LUMVEK_REQUIRE_TOOL(ffprobe, "ffprobe");
    const auto dir = makeTempDir("avi-full");
    const std::string path = (dir / "full.avi").string();
    const uint32_t F = avi::frameBytes(32, 32);
    rlimit old{};
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old));
    auto* oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 232 + 2 * (8 + F) + F / 2;  // room for two frames and half of a third
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));

    AviWriter::AppendResult third;
    bool finalised = false;
    {
        AviWriter writer;
        EXPECT_TRUE(writer.open(path.c_str(), 32, 32));
        ImageBuffer frame;
        EXPECT_TRUE(frame.create(32, 32, 24));
        EXPECT_EQ(AviWriter::AppendResult::Appended, writer.appendFrame(frame));
        EXPECT_EQ(AviWriter::AppendResult::Appended, writer.appendFrame(frame));
        third = writer.appendFrame(frame);
        finalised = writer.finalize(200);
    }
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(AviWriter::AppendResult::WriteFailed, third);
    EXPECT_TRUE(finalised);
    const auto f = readFileBytes(path);
    EXPECT_EQ("", checkAviStructure(f, F));
    EXPECT_EQ(2u, le32(f, 48));
    EXPECT_EQ("2", probeAvi(ffprobe, path)["nb_read_frames"]);
}

TEST(AviWriter, BadPathsAndWrongFramesAreRefused) {
    const auto dir = makeTempDir("avi-bad");
    AviWriter writer;
    EXPECT_FALSE(writer.open(nullptr, 8, 8));
    EXPECT_FALSE(writer.open("", 8, 8));
    EXPECT_FALSE(writer.open(dir.string().c_str(), 8, 8));
    EXPECT_FALSE(writer.open((dir / "missing" / "x.avi").string().c_str(), 8, 8));
    EXPECT_FALSE(writer.open((dir / "zero.avi").string().c_str(), 0, 8));
    EXPECT_FALSE(writer.open((dir / "huge.avi").string().c_str(), 100000, 100000));
    ImageBuffer frame;
    ASSERT_TRUE(frame.create(8, 8, 24));
    EXPECT_EQ(AviWriter::AppendResult::NotOpen, writer.appendFrame(frame));
    EXPECT_FALSE(writer.finalize(10));

    const std::string path = (dir / "ok.avi").string();
    ASSERT_TRUE(writer.open(path.c_str(), 8, 8));
    ImageBuffer wide;
    ImageBuffer grey;
    ASSERT_TRUE(wide.create(9, 8, 24));
    ASSERT_TRUE(grey.create(8, 8, 8));
    EXPECT_EQ(AviWriter::AppendResult::WrongFrame, writer.appendFrame(wide));
    EXPECT_EQ(AviWriter::AppendResult::WrongFrame, writer.appendFrame(grey));
    EXPECT_EQ(0u, writer.frameCount());
    EXPECT_TRUE(writer.finalize(10));
    EXPECT_EQ("", checkAviStructure(readFileBytes(path), avi::frameBytes(8, 8)));
}

} // namespace
} // namespace lumvek
