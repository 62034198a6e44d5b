// How `lumvek record` and `lumvek snap` end on a disk that fills up, and
// what the tool reads from the recorder's files: plain and OpenDML, with
// the recorder's note of what it could not keep.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "avi_progress.h"
#include "file_checks.h"
#include "output/avi/avi_writer.h"
#include "output/small_disk.h"
#include "tool_process.h"

namespace lumvek::test {
namespace {


std::vector<std::string> filesIn(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ToolRecordEndings, AFullDiskIsReportedAsSuchWithTheFramesKept) {
    ToolEnv env("record-full");
    SmallDisk disk(env.dir() / "disk", 40 << 20);  // three full frames and a bit
    LUMVEK_REQUIRE_SMALL_DISK(disk);
    const auto avi = disk.dir() / "r.avi";
    const ProcessResult result = lumvek({"--simulate", "record", "-o", avi.string(), "--ms", "20000"}, env);
    EXPECT_EQ(result.exitCode, 1) << result.out;
    EXPECT_EQ(result.errLines(), 1) << result.err;
    EXPECT_NE(result.err.find("record: disk full after 3 frames, file kept; "), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("stalled"), std::string::npos) << result.err;
    EXPECT_EQ(finalisedAviFrames(avi), 3u);
    if (access("/usr/bin/ffprobe", X_OK) == 0) {
        const ProcessResult probe = run("/usr/bin/ffprobe", {"-v", "error", "-count_frames", "-show_entries",
                                                             "stream=nb_read_frames", "-of", "csv=p=0", avi}, env);
        EXPECT_EQ(probe.out, "3\n") << probe.err;
    }
    EXPECT_EQ(filesIn(disk.dir()), std::vector<std::string>{"r.avi"}) << "no temporary left";
}

TEST(ToolRecordEndings, NothingIsLeftOfWritesThatFailAtTheStart) {
    ToolEnv env("full-start");
    SmallDisk disk(env.dir() / "disk", 1 << 20);
    LUMVEK_REQUIRE_SMALL_DISK(disk);
    disk.fill();
    const ProcessResult record =
        lumvek({"--simulate", "record", "-o", (disk.dir() / "r.avi").string(), "--ms", "1000"}, env);
    EXPECT_EQ(record.exitCode, 1);
    EXPECT_EQ(record.errLines(), 1) << record.err;
    EXPECT_NE(record.err.find("record: cannot start recording to"), std::string::npos) << record.err;
    for (const char* name : {"s.png", "s.bmp", "s.jpg", "s.tif", "s.raw"}) {
        const ProcessResult snap = lumvek({"--simulate", "snap", "-o", (disk.dir() / name).string()}, env);
        EXPECT_EQ(snap.exitCode, 1) << name;
        EXPECT_EQ(snap.errLines(), 1) << name << ": one line of the tool's, no library's\n" << snap.err;
        EXPECT_EQ(snap.err.find("libpng"), std::string::npos) << snap.err;
        EXPECT_NE(snap.err.find("snap: cannot write"), std::string::npos) << snap.err;
    }
    EXPECT_EQ(filesIn(disk.dir()), std::vector<std::string>{"filler"}) << "no empty or partial file left";
}

// The figures the tool and the Python package read back, from files the
// recorder's own writer made.
TEST(ToolRecordEndings, ProgressReadsPlainAndOpenDmlFilesAndTheRecordersNote) {
    ToolEnv env("progress");
    constexpr int kWidth = 40;
    constexpr int kHeight = 30;
    ImageBuffer frame;
    ASSERT_TRUE(frame.create(kWidth, kHeight, 24));

    const std::string growing = (env.dir() / "growing.avi").string();
    AviWriter open;
    ASSERT_TRUE(open.open(growing.c_str(), kWidth, kHeight));
    for (int n = 0; n < 3; ++n) ASSERT_EQ(open.appendFrame(frame), AviWriter::AppendResult::Appended);
    tool::AviProgress progress = tool::readAviProgress(growing);
    EXPECT_FALSE(progress.finalised);
    EXPECT_EQ(progress.framesWritten, 3u);

    const std::string longer = (env.dir() / "odml.avi").string();
    {
        AviWriter writer(avi::kMaxRiffBytes, 32 * 1024);
        ASSERT_TRUE(writer.open(longer.c_str(), kWidth, kHeight, AviWriter::Layout::OpenDml));
        for (int n = 0; n < 40; ++n) ASSERT_EQ(writer.appendFrame(frame), AviWriter::AppendResult::Appended);
        progress = tool::readAviProgress(longer);
        EXPECT_FALSE(progress.finalised) << "a file still being written";
        EXPECT_NEAR(progress.framesWritten, 40, 2);
        ASSERT_TRUE(writer.finalize(2000, "lumvek recorder: frames=40 skipped=155 end=disk-full"));
    }
    progress = tool::readAviProgress(longer);
    EXPECT_TRUE(progress.finalised);
    EXPECT_GE(progress.riffs, 4u);
    EXPECT_EQ(progress.framesWritten, 40u) << "all RIFFs, not the first one's";
    EXPECT_EQ(progress.microsPerFrame, 50000u);
    EXPECT_TRUE(progress.noted);
    EXPECT_EQ(progress.end, "disk-full");
    EXPECT_EQ(tool::skippedFramesText(progress), "155 frames skipped: the writes fell behind the camera");

    (void)open.finalize(100);
    progress = tool::readAviProgress(growing);
    EXPECT_TRUE(progress.finalised);
    EXPECT_FALSE(progress.noted);
    EXPECT_EQ(tool::skippedFramesText(progress), "");
    EXPECT_EQ(progress.framesWritten, 3u);
}

} // namespace
} // namespace lumvek::test
