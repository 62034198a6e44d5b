// lumvek through the system's libusb: `lumvek-camsim usb-run ... -- lumvek ...`
// exactly as outside tests run it, with no daemon and no in-process cameras.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "file_checks.h"
#include "tool_process.h"

namespace lumvek::test {
namespace {

#ifdef LUMVEK_HAVE_USBRUN
constexpr const char* kCam0 = "product=0x3090,name=cam0,pattern=chart";
constexpr const char* kCam1 = "product=0x3090,name=cam1,pattern=ramp";

std::vector<std::string> usbRun(const ToolEnv& env, const std::vector<std::string>& cameras,
                                const std::vector<std::string>& command) {
    std::vector<std::string> args{"usb-run", "--dir", (env.dir() / "usbctl").string()};
    std::filesystem::create_directories(env.dir() / "usbctl");
    for (const auto& camera : cameras) {
        args.push_back("--camera");
        args.push_back(camera);
    }
    args.push_back("--");
    args.insert(args.end(), command.begin(), command.end());
    return args;
}

TEST(ToolUsbRun, ListSnapAndSerialRomThroughLibusb) {
    ToolEnv env("usbrun-two");
    const ProcessResult list = run(LUMVEK_CAMSIM_PATH, usbRun(env, {kCam0, kCam1}, {LUMVEK_TOOL_PATH, "list"}), env);
    ASSERT_EQ(list.exitCode, 0) << list.err;
    // The simulated cameras' serial numbers (their names unless told) are their ids.
    EXPECT_NE(list.out.find("0   LumvekR13-USB3-K7_01     \\\\?\\usb#vid_04b4&pid_3090#cam0#"), std::string::npos)
        << list.out;
    EXPECT_NE(list.out.find("1   LumvekR13-USB3-K7_02     \\\\?\\usb#vid_04b4&pid_3090#cam1#"), std::string::npos);

    const std::string bmp = (env.dir() / "cam1.bmp").string();
    const ProcessResult snap = run(
        LUMVEK_CAMSIM_PATH, usbRun(env, {kCam0, kCam1}, {LUMVEK_TOOL_PATH, "snap", "-d", "1", "-o", bmp, "--mode", "8"}),
        env);
    ASSERT_EQ(snap.exitCode, 0) << snap.err;
    EXPECT_EQ(signatureOf(readFile(bmp)), "bmp");

    // Two tool processes one after the other on the same camera: the serial ROM keeps what the first wrote.
    const std::string tool = LUMVEK_TOOL_PATH;
    const ProcessResult rom = run(
        LUMVEK_CAMSIM_PATH,
        usbRun(env, {kCam0}, {"/bin/sh", "-c", tool + " regs write 0x100 0xA5 --srom && " + tool + " regs read 0x100 --srom"}),
        env);
    EXPECT_EQ(rom.out, "srom 0x0100 <- 0xA5\nsrom 0x0100 = 0xA5 (165)\n") << rom.err;
}

// The tool's own instance opens the only camera; listing it must not turn
// that into a second line saying another program holds it.
TEST(ToolUsbRun, TheOnlyCameraIsListedOnceAndNotAsInUse) {
    ToolEnv env("usbrun-one");
    const ProcessResult list = run(LUMVEK_CAMSIM_PATH, usbRun(env, {kCam0}, {LUMVEK_TOOL_PATH, "list"}), env);
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.out.find("in use"), std::string::npos) << list.out;
    const size_t first = list.out.find("LumvekR13-USB3-K7_01");
    ASSERT_NE(first, std::string::npos) << list.out;
    EXPECT_EQ(list.out.find("CSensorR13"), std::string::npos) << list.out;
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 1) << list.out;

    const ProcessResult json = run(LUMVEK_CAMSIM_PATH, usbRun(env, {kCam0}, {LUMVEK_TOOL_PATH, "list", "--json"}), env);
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_NE(json.out.find("\"products\":[]"), std::string::npos) << json.out;
}

TEST(ToolUsbRun, ASerialNumberIsTheIdElseTheBusAndPort) {
    ToolEnv env("usbrun-serial");
    const ProcessResult list = run(
        LUMVEK_CAMSIM_PATH,
        usbRun(env, {"product=0x3090,name=cam0,serial=SN-0042", "product=0x3090,name=cam1,serial="},
               {"/bin/sh", "-c", std::string(LUMVEK_TOOL_PATH) + " list && " + LUMVEK_TOOL_PATH + " info -d usb2-2 --json"}),
        env);
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("pid_3090#SN-0042#{328184c5-93e6-49b7-94b8-2ada13aabb39}  id SN-0042\n"), std::string::npos)
        << list.out;
    EXPECT_NE(list.out.find("pid_3090#usb2-2#{328184c5-93e6-49b7-94b8-2ada13aabb39}  id usb2-2\n"), std::string::npos)
        << list.out;
    EXPECT_NE(list.out.find("\"number\":1"), std::string::npos) << list.out;
}

TEST(ToolUsbRun, ExitsWithTheCommandsStatusAndRefusesBadArguments) {
    ToolEnv env("usbrun-status");
    EXPECT_EQ(run(LUMVEK_CAMSIM_PATH, usbRun(env, {kCam0}, {"/bin/sh", "-c", "exit 7"}), env).exitCode, 7);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"usb-run", "--", "true"}, {"usb-run", "--camera", kCam0},
          {"usb-run", "--camera", "product=zz", "--", "true"}, {"usb-run", "--bogus", "--", "true"}}) {
        const ProcessResult result = run(LUMVEK_CAMSIM_PATH, args, env);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.errLines(), 1) << result.err;
    }
}

TEST(ToolUsbRun, RecordFailsClearlyWhenTheCameraIsUnplugged) {
    ToolEnv env("usbrun-unplug");
    const std::filesystem::path avi = env.dir() / "lost.avi";
    Background record(LUMVEK_CAMSIM_PATH,
                      usbRun(env, {kCam0}, {LUMVEK_TOOL_PATH, "record", "-o", avi.string(), "--ms", "20000"}), env);
    const uint64_t firstFrames = 232 + 2 * (8 + uint64_t{2336} * 1752 * 3);
    ASSERT_TRUE(waitUntil(
        [&] {
            std::error_code ignored;
            return std::filesystem::file_size(avi, ignored) >= firstFrames && !ignored;
        },
        30000));
    const ProcessResult unplug =
        run(LUMVEK_CAMSIM_PATH, {"ctl", "--dir", (env.dir() / "usbctl").string(), "unplug", "cam0"}, env);
    ASSERT_EQ(unplug.exitCode, 0) << unplug.err;
    const ProcessResult result = record.wait(30000);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("camera was lost after"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("SDK error 13"), std::string::npos) << result.err;
    EXPECT_GE(finalisedAviFrames(avi), 2u) << "the file keeps what was recorded, finalised";
}
TEST(ToolUsbRun, DoctorNamesLinkSpeedAccessAndTheUsbfsMemoryLimit) {
    ToolEnv env("usbrun-doctor");
    const ProcessResult doctor = run(
        LUMVEK_CAMSIM_PATH,
        usbRun(env, {kCam0, "product=0x3090,name=slow,usb-speed=480"}, {LUMVEK_TOOL_PATH, "doctor"}), env);
    EXPECT_EQ(doctor.exitCode, 1) << doctor.out;
    EXPECT_NE(doctor.out.find("ok       usb link        04b4:3090 at 2-1 at 5000 Mbit/s"), std::string::npos)
        << doctor.out;
    EXPECT_NE(doctor.out.find("problem  usb link        04b4:3090 at 2-2 runs at 480 Mbit/s: it is on a USB 2 port"),
              std::string::npos);
    EXPECT_NE(doctor.out.find("ok       usb access      /dev/bus/usb/002/002 can be opened"), std::string::npos);
    EXPECT_NE(doctor.out.find("problem  usb memory      usbfs memory limit is 16 MB"), std::string::npos);
    EXPECT_NE(doctor.out.find("usbcore.usbfs_memory_mb=256"), std::string::npos);
    EXPECT_NE(doctor.out.find("ok       cameras         2 found"), std::string::npos);
}
#else
TEST(ToolUsbRun, NeedsUmockdev) {
    GTEST_SKIP() << "lumvek-camsim was built without umockdev: no usb-run";
}
#endif

} // namespace
} // namespace lumvek::test
