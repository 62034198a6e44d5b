// One camera, two programs: the one that opened it keeps it; the other is
// refused without disturbing its recording or the camera's stored settings.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "file_checks.h"
#include "tool_process.h"

namespace lumvek::test {
namespace {

constexpr const char* kCamera = "product=0x3090,name=cam0,pattern=chart";

TEST(ToolExclusiveAccess, ASecondProgramIsRefusedAndTheFirstKeepsRecording) {
    ToolEnv env("exclusive");
    Daemon daemon(env, {kCamera});
    ASSERT_TRUE(daemon.ready());
    // The channel block (gains and offsets) the camera keeps in its serial ROM.
    const auto channelBlock = [&env] {
        std::string values;
        for (const char* name : {"channel-gain-1", "channel-gain-2", "channel-gain-3", "channel-gain-4",
                                 "channel-offset-1", "channel-offset-4"}) {
            values += lumvek({"get", name}, env).out;
        }
        return values;
    };
    const std::string romBefore = channelBlock();
    ASSERT_NE(romBefore.find("4096"), std::string::npos) << romBefore;

    const std::filesystem::path avi = env.dir() / "first.avi";
    Background first(LUMVEK_TOOL_PATH, {"record", "-o", avi.string(), "--ms", "3000", "--mode", "8"}, env);
    ASSERT_TRUE(waitUntil(
        [&] {
            std::error_code ignored;
            return std::filesystem::file_size(avi, ignored) > uint64_t{2336} * 1752 && !ignored;
        },
        20000));

    // The second program does not see the camera as one it can open.
    const ProcessResult snap = lumvek({"snap", "-o", (env.dir() / "second.bmp").string()}, env);
    EXPECT_NE(snap.exitCode, 0) << snap.out;
    EXPECT_FALSE(std::filesystem::exists(env.dir() / "second.bmp"));
    const ProcessResult list = lumvek({"list"}, env);
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("in use by another program"), std::string::npos) << list.out;

    // The first finishes its recording whole.
    const ProcessResult recorded = first.wait(30000);
    EXPECT_EQ(recorded.exitCode, 0) << recorded.err;
    EXPECT_GE(finalisedAviFrames(avi), 20u) << "about 3 s at the camera's 10.8 frames/s";

    // Free again, and its stored settings untouched.
    const ProcessResult again = lumvek({"snap", "-o", (env.dir() / "third.bmp").string()}, env);
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(channelBlock(), romBefore);
}

} // namespace
} // namespace lumvek::test

namespace lumvek::test {
namespace {

// The process serving the camera dies mid-recording (as a camera pulled out
// with its hub would): the recording ends with what it has, finalised, and
// the tool says the camera was lost, well within the time-outs.
TEST(ToolCameraFaults, ADaemonKilledMidRecordingEndsItCleanlyWithCode13) {
    ToolEnv env("daemon-killed");
    Daemon daemon(env, {kCamera});
    ASSERT_TRUE(daemon.ready());
    const std::filesystem::path avi = env.dir() / "cut.avi";
    Background record(LUMVEK_TOOL_PATH, {"record", "-o", avi.string(), "--ms", "20000", "--mode", "8"}, env);
    ASSERT_TRUE(waitUntil(
        [&] {
            std::error_code ignored;
            return std::filesystem::file_size(avi, ignored) > uint64_t{2} * 2336 * 1752 * 3 && !ignored;  // two 24-bit frames
        },
        20000));
    const auto killed = std::chrono::steady_clock::now();
    daemon.killHard();
    const ProcessResult result = record.wait(30000);
    EXPECT_LT(std::chrono::steady_clock::now() - killed, std::chrono::seconds(25));
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find("SDK error 13"), std::string::npos) << result.err;
    EXPECT_GE(finalisedAviFrames(avi), 2u) << "the file keeps what was recorded, finalised";
}

} // namespace
} // namespace lumvek::test
