// lumvek end to end against the lumvek-camsim daemon: cameras that outlive
// one tool process and can be unplugged while the tool records.
#include <gtest/gtest.h>

#include <filesystem>

#include "file_checks.h"
#include "tool_process.h"

namespace lumvek::test {
namespace {

constexpr const char* kCam0 = "product=0x3090,name=cam0,pattern=chart";
constexpr const char* kCam1 = "product=0x3090,name=cam1,pattern=ramp";

TEST(ToolDaemon, ListInfoSnapAndSerialRomAcrossProcesses) {
    ToolEnv env("daemon-two");
    Daemon daemon(env, {kCam0, kCam1});
    ASSERT_TRUE(daemon.ready());

    const ProcessResult list = lumvek({"list"}, env);
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("0   LumvekR13-USB3-K7_01     \\\\?\\usb#vid_04b4&pid_3090#cam0#"), std::string::npos)
        << list.out;
    EXPECT_NE(list.out.find("1   LumvekR13-USB3-K7_02     \\\\?\\usb#vid_04b4&pid_3090#cam1#"), std::string::npos);

    const ProcessResult info = lumvek({"info", "-d", "1", "--json"}, env);
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_EQ(jsonField(info.out, "number"), "1");
    EXPECT_NE(jsonField(info.out, "path").find("#cam1#"), std::string::npos) << info.out;

    const ProcessResult unknown = lumvek({"info", "-d", "2"}, env);
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("camera 2 cannot be opened: present: 0, 1"), std::string::npos) << unknown.err;

    const std::string bmp = (env.dir() / "cam1.bmp").string();
    const ProcessResult snap = lumvek({"snap", "-d", "1", "-o", bmp, "--mode", "8"}, env);
    ASSERT_EQ(snap.exitCode, 0) << snap.err;
    EXPECT_EQ(signatureOf(readFile(bmp)), "bmp");

    // The daemon's camera keeps its serial ROM between tool processes.
    ASSERT_EQ(lumvek({"regs", "write", "0x100", "0xA5", "--srom", "-d", "1"}, env).exitCode, 0);
    const ProcessResult read = lumvek({"regs", "read", "0x100", "--srom", "-d", "1"}, env);
    EXPECT_EQ(read.out, "srom 0x0100 = 0xA5 (165)\n") << read.err;
    EXPECT_NE(lumvek({"regs", "read", "0x100", "--srom", "-d", "0"}, env).out, read.out);
}

TEST(ToolDaemon, RecordFailsClearlyWhenTheCameraIsUnplugged) {
    ToolEnv env("daemon-unplug");
    Daemon daemon(env, {kCam0});
    ASSERT_TRUE(daemon.ready());
    const std::filesystem::path avi = env.dir() / "lost.avi";
    Background record(LUMVEK_TOOL_PATH, {"record", "-o", avi.string(), "--ms", "20000"}, env);
    // Unplug once the first frames are in the file.
    const uint64_t firstFrames = 232 + 2 * (8 + uint64_t{2336} * 1752 * 3);
    ASSERT_TRUE(waitUntil(
        [&] {
            std::error_code ignored;
            return std::filesystem::file_size(avi, ignored) >= firstFrames && !ignored;
        },
        15000));
    ASSERT_EQ(daemon.ctl({"unplug", "cam0"}).exitCode, 0);
    const ProcessResult result = record.wait(15000);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errLines(), 1) << result.err;
    EXPECT_NE(result.err.find("camera was lost after"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("SDK error 13"), std::string::npos) << result.err;
    EXPECT_GE(finalisedAviFrames(avi), 2u) << "the file keeps what was recorded, finalised";
}

TEST(ToolDaemon, DoctorSeesServedAndAbandonedSockets) {
    ToolEnv env("daemon-doctor");
    {
        Daemon daemon(env, {kCam0});
        ASSERT_TRUE(daemon.ready());
        const ProcessResult served = lumvek({"doctor"}, env);
        EXPECT_EQ(served.exitCode, 0) << served.out;
        EXPECT_NE(served.out.find("ok       simulator       1 simulated camera socket(s) answering"),
                  std::string::npos)
            << served.out;
        EXPECT_NE(served.out.find("ok       cameras         1 found: 0 LumvekR13-USB3-K7_01"), std::string::npos);
        daemon.killHard();  // leaves its sockets behind
    }
    const ProcessResult abandoned = lumvek({"doctor"}, env);
    EXPECT_EQ(abandoned.exitCode, 1);
    EXPECT_NE(abandoned.out.find("problem  simulator       sockets in " + env.deviceDir().string() +
                                 " that nobody serves: 04b4_3090_cam0.sock"),
              std::string::npos)
        << abandoned.out;
}

} // namespace
} // namespace lumvek::test
