// How recordings end and what they say about it: a disk that stalls or
// fills up, a recording that cannot start, a killed process, a recording
// long enough for OpenDML.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <mutex>
#include <thread>

#include "output/avi/avi_recorder.h"
#include "output/avi_reader.h"
#include "output/outside_decoders.h"
#include "output/small_disk.h"
#include "platform/sync/event.h"
#include "support/test_env.h"

namespace lumvek {
namespace {

using namespace test;
using platform::Event;

constexpr int kWidth = 40;
constexpr int kHeight = 30;
constexpr uint32_t kLongMs = 600000;

// Waits (bounded) for a condition another thread brings about.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Stands in for the capture engine: picture n on demand, the new-frame flag
// raised under the frame lock as the instance does.
class OfferedPictures : public RecorderFrameSource {
public:
    explicit OfferedPictures(int width = kWidth, int height = kHeight) { EXPECT_TRUE(picture_.create(width, height, 24)); }

    bool withNewestPicture(const std::function<void(const ImageBuffer&)>& use) override {
        std::lock_guard<std::mutex> lock(frameLock_);
        use(picture_);
        ++taken_;
        return true;
    }
    // Offers picture n and waits until the recorder has taken or skipped it
    // (or has ended).
    bool offer(AviRecorder& recorder, uint32_t n) {
        const uint64_t before = taken_ + recorder.framesSkipped();
        {
            std::lock_guard<std::mutex> lock(frameLock_);
            fillPicture(picture_, 1000 + n);
            recorder.notifyNewFrame();
        }
        ++offered_;
        return waitUntil([&] { return taken_ + recorder.framesSkipped() > before || !recorder.isRecording(); });
    }
    [[nodiscard]] uint32_t offered() const { return offered_; }

private:
    std::mutex frameLock_;  // guards picture_
    ImageBuffer picture_;
    std::atomic<uint64_t> taken_{0};
    uint32_t offered_ = 0;
};

std::vector<uint8_t> expectedFrame(uint32_t n) {
    ImageBuffer picture;
    EXPECT_TRUE(picture.create(kWidth, kHeight, 24));
    fillPicture(picture, 1000 + n);
    return expectedSamples(picture, false);
}

TEST(AviRecorderWriteBehind, AShortStallOfTheDiskCostsNoFrameALongerOneIsCountedAsSkipped) {
    LUMVEK_REQUIRE_TOOL(ffprobe, "ffprobe");
    LUMVEK_REQUIRE_TOOL(ffmpeg, "ffmpeg");
    const auto dir = makeTempDir("rec-behind");
    const std::string path = (dir / "behind.avi").string();
    Event diskGoes(Event::Reset::Manual);
    AviRecorder::Options options;
    options.writeBehindFrames = 4;
    options.beforeFrameWrite = [&] { (void)diskGoes.wait(20000); };
    OfferedPictures camera;
    AviRecorder recorder(camera, {}, options);
    ASSERT_EQ(0, recorder.start(path.c_str(), kWidth, kHeight, kLongMs));

    // The disk stalls: four frames wait in the buffer, the next six find no room.
    for (uint32_t n = 0; n < 10; ++n) {
        ASSERT_TRUE(camera.offer(recorder, n)) << n;
    }
    EXPECT_EQ(6u, recorder.framesSkipped());
    diskGoes.set();
    ASSERT_TRUE(waitUntil([&] { return recorder.framesRecorded() == 4; }));
    for (uint32_t n = 10; n < 12; ++n) {
        ASSERT_TRUE(camera.offer(recorder, n));
    }
    recorder.stop();

    const RecordingResult result = recorder.result();
    EXPECT_EQ(RecordingEnd::Stopped, result.end);
    EXPECT_EQ(6u, result.framesWritten);
    EXPECT_EQ(6u, result.framesSkipped);
    EXPECT_EQ(camera.offered(), result.framesWritten + result.framesSkipped);
    EXPECT_EQ("6", probeAvi(ffprobe, path)["nb_read_frames"]);
    // The frames in the file are the ones taken, in order: 0..3, then 10, 11.
    EXPECT_EQ(expectedFrame(3), decodeAviFrame(ffmpeg, path, 3));
    EXPECT_EQ(expectedFrame(10), decodeAviFrame(ffmpeg, path, 4));
    // The file says what it misses.
    const auto f = readFileBytes(path);
    const std::string bytes(f.begin(), f.end());
    EXPECT_NE(bytes.find("lumvek recorder: frames=6 skipped=6 end=stopped"), std::string::npos);
}

TEST(AviRecorderEnding, AFullDiskEndsTheRecordingWithTheFramesKeptAndSaysSo) {
    LUMVEK_REQUIRE_TOOL(ffprobe, "ffprobe");
    SmallDisk disk(makeTempDir("rec-full") / "disk", 64 * 1024);
    LUMVEK_REQUIRE_SMALL_DISK(disk);
    const std::string path = (disk.dir() / "full.avi").string();
    std::atomic<int> reported{0};
    OfferedPictures camera;
    AviRecorder recorder(camera, [&](int code) { reported = code; });
    ASSERT_EQ(0, recorder.start(path.c_str(), kWidth, kHeight, kLongMs));
    for (uint32_t n = 0; n < 100 && recorder.isRecording(); ++n) {
        ASSERT_TRUE(camera.offer(recorder, n));
        (void)waitUntil([&] { return recorder.framesRecorded() == n + 1 || !recorder.isRecording(); });
    }
    ASSERT_TRUE(recorder.waitFinished(20000)) << "64 KiB hold far fewer than 100 frames";
    const RecordingResult result = recorder.result();
    EXPECT_EQ(RecordingEnd::DiskFull, result.end);
    EXPECT_EQ(12, reported.load());
    EXPECT_TRUE(result.fileKept);
    EXPECT_GT(result.framesWritten, 5u);
    EXPECT_EQ(std::to_string(result.framesWritten), probeAvi(ffprobe, path)["nb_read_frames"]);
    const auto f = readFileBytes(path);
    EXPECT_EQ(f.size(), 8 + le32(f, 4));
    EXPECT_EQ(result.framesWritten, le32(f, 48));
}

TEST(AviRecorderEnding, ARecordingThatCannotStartOrWriteAFrameLeavesNoFile) {
    SmallDisk disk(makeTempDir("rec-nostart") / "disk", 64 * 1024);
    LUMVEK_REQUIRE_SMALL_DISK(disk);
    constexpr int kBigWidth = 64;  // a frame larger than a page
    constexpr int kBigHeight = 48;
    OfferedPictures camera(kBigWidth, kBigHeight);
    AviRecorder recorder(camera);
    // Room for nothing: the header cannot be written.
    disk.fill();
    const auto fresh = disk.dir() / "fresh.avi";
    EXPECT_EQ(12, recorder.start(fresh.c_str(), kBigWidth, kBigHeight, 1000));
    EXPECT_FALSE(std::filesystem::exists(fresh));
    // An existing file is not cut by a recording that cannot start.
    const auto kept = disk.dir() / "kept.avi";
    std::filesystem::remove(disk.dir() / "filler");
    { std::ofstream(kept) << "an older recording"; }
    disk.fill();
    EXPECT_EQ(12, recorder.start(kept.c_str(), kBigWidth, kBigHeight, 1000));
    EXPECT_EQ(18u, std::filesystem::file_size(kept));
    // Room for the header, not for a frame: the file goes again.
    std::filesystem::remove(disk.dir() / "filler");
    const auto noFrame = disk.dir() / "noframe.avi";
    {
        std::ofstream filler(disk.dir() / "filler", std::ios::binary);
        const std::vector<char> block(disk.freeBytes() - 4096, 'x');  // leaves a page: the header, no frame
        filler.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    ASSERT_EQ(0, recorder.start(noFrame.c_str(), kBigWidth, kBigHeight, 1000));
    ASSERT_TRUE(camera.offer(recorder, 0));
    ASSERT_TRUE(recorder.waitFinished(20000));
    EXPECT_EQ(RecordingEnd::DiskFull, recorder.result().end);
    EXPECT_FALSE(recorder.result().fileKept);
    EXPECT_FALSE(std::filesystem::exists(noFrame));
    for (const auto& entry : std::filesystem::directory_iterator(disk.dir())) {
        EXPECT_TRUE(entry.path().filename() == "filler" || entry.path().filename() == "kept.avi") << entry.path();
    }
}

// A child process records frames at a steady 50 a second until it is
// killed; the file it leaves must tell its length within a second.
TEST(AviRecorderEnding, AKilledRecordingTellsItsLengthWithinASecond) {
    LUMVEK_REQUIRE_TOOL(ffprobe, "ffprobe");
    const auto dir = makeTempDir("rec-killed");
    const std::string path = (dir / "killed.avi").string();
    constexpr int kFramesPerSecond = 50;
    constexpr uint32_t kFramesBeforeKill = 175;  // 3.5 s
    const uint64_t chunk = 8 + avi::frameBytes(kWidth, kHeight);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        OfferedPictures camera;
        AviRecorder recorder(camera);
        if (recorder.start(path.c_str(), kWidth, kHeight, kLongMs) != 0) {
            ::_exit(1);
        }
        // Frames on a fixed clock, as a camera gives them.
        const auto begin = std::chrono::steady_clock::now();
        for (uint32_t n = 0;; ++n) {
            std::this_thread::sleep_until(begin + std::chrono::milliseconds(1000 * n / kFramesPerSecond));
            (void)camera.offer(recorder, n);
        }
    }
    const bool enough = waitUntil(
        [&] {
            std::error_code ignored;
            const auto bytes = std::filesystem::file_size(path, ignored);
            return !ignored && bytes >= avi::kHeaderBytes + kFramesBeforeKill * chunk;
        },
        60000);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(enough);

    const auto probe = runCommand(ffprobe + " -v error -select_streams v:0 -count_frames -show_entries "
                                            "stream=nb_read_frames,duration -of default=noprint_wrappers=1 '" + path + "'");
    const size_t framesAt = probe.output.find("nb_read_frames=");
    const size_t durationAt = probe.output.find("duration=");
    ASSERT_TRUE(framesAt != std::string::npos && durationAt != std::string::npos) << probe.output;
    const double frames = std::atof(probe.output.c_str() + framesAt + 15);
    const double seconds = std::atof(probe.output.c_str() + durationAt + 9);
    EXPECT_GE(frames, kFramesBeforeKill);
    // The frames came 50 a second: that is the length the file must tell.
    EXPECT_LT(std::fabs(seconds - frames / kFramesPerSecond), 1.0) << seconds << " s for " << frames << " frames";
}

TEST(AviRecorderLayout, ARecordingThatMayPassTheFirstRiffIsOpenDmlFromTheStartAndReadsWhole) {
    LUMVEK_REQUIRE_TOOL(ffprobe, "ffprobe");
    const auto dir = makeTempDir("rec-odml");
    const uint32_t F = avi::frameBytes(kWidth, kHeight);
    AviRecorder::Options options;
    options.openDmlRiffBytes = 64 * 1024;
    OfferedPictures camera;
    AviRecorder recorder(camera, {}, options);

    // Too short to pass the first RIFF even at 100 frames a second: the plain layout.
    {
        OfferedPictures small(8, 8);
        AviRecorder briefRecorder(small, {}, options);
        const std::string brief = (dir / "brief.avi").string();
        ASSERT_EQ(0, briefRecorder.start(brief.c_str(), 8, 8, 1));
        for (uint32_t n = 0; briefRecorder.isRecording() && n < 1000; ++n) {  // until a frame comes after the millisecond
            ASSERT_TRUE(small.offer(briefRecorder, n));
        }
        ASSERT_TRUE(briefRecorder.waitFinished(20000));
        EXPECT_EQ("", checkAviStructure(readFileBytes(brief), avi::frameBytes(8, 8)));
    }

    const std::string longer = (dir / "longer.avi").string();
    ASSERT_EQ(0, recorder.start(longer.c_str(), kWidth, kHeight, kLongMs));
    for (uint32_t n = 0; n < 60; ++n) {  // each frame written before the next comes: none skipped
        ASSERT_TRUE(camera.offer(recorder, n));
        ASSERT_TRUE(waitUntil([&] { return recorder.framesRecorded() == n + 1; }));
    }
    recorder.stop();
    const RecordingResult result = recorder.result();
    EXPECT_EQ(0u, result.framesSkipped);
    OpenDmlLayout layout;
    ASSERT_EQ("", checkOpenDmlStructure(readFileBytes(longer), F, layout));
    EXPECT_GE(layout.riffStarts.size(), 3u);
    EXPECT_EQ(result.framesWritten, layout.frameOffsets.size());
    EXPECT_EQ(std::to_string(result.framesWritten), probeAvi(ffprobe, longer)["nb_read_frames"]);
    const int buffers = gstreamerBufferCount(longer);
    if (buffers >= 0) {
        EXPECT_EQ(static_cast<int>(result.framesWritten), buffers);
    }
}

} // namespace
} // namespace lumvek
