// The only camera streams in another program: the commands that need it say
// it is in use and by which process, not that no camera was found.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "tool_process.h"

namespace lumvek::test {
namespace {

constexpr const char* kCamera = "product=0x3090,name=cam0,pattern=chart";

// With a second camera free, list still marks the held one, and doctor names its holder.
TEST(ToolCameraInUse, DoctorNamesTheHolderOfOneOfTwoCameras) {
    ToolEnv env("in-use-two");
    Daemon daemon(env, {kCamera, "product=0x3090,name=cam1,pattern=ramp"});
    ASSERT_TRUE(daemon.ready());
    const std::filesystem::path avi = env.dir() / "holder.avi";
    Background holder(LUMVEK_TOOL_PATH, {"record", "-d", "0", "-o", avi.string(), "--ms", "30000", "--mode", "8"},
                      env);
    ASSERT_TRUE(waitUntil(
        [&] {
            std::error_code ignored;
            return std::filesystem::file_size(avi, ignored) > uint64_t{2336} * 1752 && !ignored;
        },
        20000));
    const ProcessResult list = lumvek({"list"}, env);
    EXPECT_NE(list.out.find("in use by another program"), std::string::npos) << list.out;
    const ProcessResult doctor = lumvek({"doctor"}, env);
    EXPECT_NE(doctor.out.find("is in use by process " + std::to_string(holder.pid()) + " (lumvek)"),
              std::string::npos)
        << doctor.out;
    holder.kill(SIGINT);
    EXPECT_NE(holder.wait(30000).exitCode, -1);
}

TEST(ToolCameraInUse, CommandsNameTheProcessThatHoldsTheCamera) {
    ToolEnv env("in-use");
    Daemon daemon(env, {kCamera});
    ASSERT_TRUE(daemon.ready());
    const std::filesystem::path avi = env.dir() / "holder.avi";
    Background holder(LUMVEK_TOOL_PATH, {"record", "-o", avi.string(), "--ms", "30000", "--mode", "8"}, env);
    ASSERT_TRUE(waitUntil(
        [&] {
            std::error_code ignored;
            return std::filesystem::file_size(avi, ignored) > uint64_t{2336} * 1752 && !ignored;
        },
        20000));
    const std::string named = "cam0 (simulated) is in use by process " + std::to_string(holder.pid()) + " (lumvek)";

    const ProcessResult snap = lumvek({"snap", "-o", (env.dir() / "s.bmp").string()}, env);
    EXPECT_NE(snap.exitCode, 0);
    EXPECT_NE(snap.err.find(named), std::string::npos) << snap.err;
    EXPECT_EQ(snap.err.find("no camera found"), std::string::npos) << snap.err;

    const ProcessResult info = lumvek({"info"}, env);
    EXPECT_NE(info.exitCode, 0);
    EXPECT_NE(info.err.find(named), std::string::npos) << info.err;

    const ProcessResult chosen = lumvek({"get", "exposure", "-d", "0"}, env);
    EXPECT_NE(chosen.exitCode, 0);
    EXPECT_NE(chosen.err.find("camera 0 cannot be opened"), std::string::npos) << chosen.err;
    EXPECT_NE(chosen.err.find(named), std::string::npos) << chosen.err;

    const ProcessResult doctor = lumvek({"doctor"}, env);
    EXPECT_NE(doctor.out.find(named), std::string::npos) << doctor.out;

    holder.kill(SIGINT);
    EXPECT_NE(holder.wait(30000).exitCode, -1);
    // Free again: nothing is said to hold it.
    const ProcessResult free = lumvek({"snap", "-o", (env.dir() / "free.bmp").string()}, env);
    EXPECT_EQ(free.exitCode, 0) << free.err;
}

} // namespace
} // namespace lumvek::test
