// What a new user meets first: versions and help texts, format aliases, a
// recording refused or cut short with the reason, a clamped setting told as
// such, and several cameras without -d.
#include <gtest/gtest.h>

#include <filesystem>

#include "file_checks.h"
#include "tool_process.h"

namespace lumvek::test {
namespace {

TEST(ToolNewUser, VersionsAndTheSimulatorsKeys) {
    ToolEnv env("versions");
    const ProcessResult tool = lumvek({"--version"}, env);
    EXPECT_EQ(tool.exitCode, 0);
    // The library's version word 0x01FD0520 read byte by byte, beside the word.
    EXPECT_EQ(tool.out, "lumvek 1.0.0\nSDK library 1.253.5.32 (0x01FD0520)\n");

    const ProcessResult camsim = run(LUMVEK_CAMSIM_PATH, {"--version"}, env);
    EXPECT_EQ(camsim.exitCode, 0);
    EXPECT_EQ(camsim.out, "lumvek-camsim 1.0.0\n");

    const ProcessResult help = run(LUMVEK_CAMSIM_PATH, {"--help"}, env);
    EXPECT_EQ(help.exitCode, 0);
    for (const char* key : {"product=0x3090", "pattern=chart|still|ramp|black|white", "scene=FILE.pgm", "fps=N",
                            "stall-ms=T", "drop-headers=N", "fail-control=N"}) {
        EXPECT_NE(help.out.find(key), std::string::npos) << key << "\n" << help.out;
    }

    const ProcessResult unknown = run(LUMVEK_CAMSIM_PATH, {"--camera", "name=cam0,bogus=1"}, env);
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("unknown camera key 'bogus' (keys: product, name, vid, scene, pattern"),
              std::string::npos)
        << unknown.err;
    EXPECT_NE(unknown.err.find("faults: drop-headers, short-data"), std::string::npos) << unknown.err;
}

TEST(ToolNewUser, SnapTakesJpgAndTifAsFormatNames) {
    ToolEnv env("aliases");
    const std::string jpeg = (env.dir() / "picture.out").string();
    ASSERT_EQ(lumvek({"--simulate", "snap", "-o", jpeg, "--format", "jpg", "--mode", "8"}, env).exitCode, 0);
    EXPECT_EQ(signatureOf(readFile(jpeg)), "jpeg");
    const std::string tiff = (env.dir() / "picture.img").string();
    ASSERT_EQ(lumvek({"--simulate", "snap", "-o", tiff, "--format", "TIF", "--mode", "8"}, env).exitCode, 0);
    EXPECT_EQ(signatureOf(readFile(tiff)), "tiff");
    const ProcessResult bad = lumvek({"--simulate", "snap", "-o", tiff, "--format", "gif"}, env);
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("jpeg100 or jpg"), std::string::npos) << bad.err;
}

TEST(ToolNewUser, RecordIntoMp4IsRefusedWithTheGStreamerPipeline) {
    ToolEnv env("mp4");
    const std::filesystem::path mp4 = env.dir() / "clip.mp4";
    const ProcessResult result = lumvek({"--simulate", "record", "-o", mp4.string(), "--ms", "500"}, env);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("uncompressed AVI only"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("lumveksrc ! videoconvert ! x264enc ! mp4mux ! filesink location=" + mp4.string()),
              std::string::npos)
        << result.err;
    EXPECT_FALSE(std::filesystem::exists(mp4));
}

TEST(ToolNewUser, AnExposureTheSensorShortensIsToldAsSuch) {
    ToolEnv env("clamp");
    const ProcessResult longest = lumvek({"--simulate", "set", "exposure", "500"}, env);
    ASSERT_EQ(longest.exitCode, 0) << longest.err;
    EXPECT_EQ(longest.out, "exposure = 232 (the sensor's longest exposure is 232; 232 was set, not 500)\n");
    const ProcessResult plain = lumvek({"--simulate", "set", "exposure", "100"}, env);
    EXPECT_EQ(plain.out, "exposure = 100\n");
}

TEST(ToolNewUser, SeveralCamerasWithoutDeviceNumberSayHowToChoose) {
    ToolEnv env("two");
    Daemon daemon(env, {"product=0x3090,name=cam0,pattern=chart", "product=0x3090,name=cam1,pattern=ramp"});
    ASSERT_TRUE(daemon.ready());
    const ProcessResult info = lumvek({"info"}, env);
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_EQ(info.err, "lumvek: 2 cameras found; choose one with -d N or -d ID (present: 0, 1; see lumvek list)\n");
    EXPECT_EQ(lumvek({"info", "-d", "1"}, env).exitCode, 0);
}

TEST(ToolNewUser, ARecordingTheCameraCutShortSaysWhatItHoldsAndFails) {
    ToolEnv env("stalled");
    Daemon daemon(env, {"product=0x3090,name=cam0,fps=20,pattern=chart"});
    ASSERT_TRUE(daemon.ready());
    const std::filesystem::path avi = env.dir() / "stalled.avi";
    Background record(LUMVEK_TOOL_PATH, {"record", "-o", avi.string(), "--ms", "3000"}, env);
    // Stall the camera once the first frame is in the file.
    const uint64_t firstFrame = 232 + 8 + uint64_t{2336} * 1752 * 3;
    ASSERT_TRUE(waitUntil(
        [&] {
            std::error_code ignored;
            return std::filesystem::file_size(avi, ignored) >= firstFrame && !ignored;
        },
        15000));
    ASSERT_EQ(daemon.ctl({"fault", "cam0", "stall-ms=600000"}).exitCode, 0);
    const ProcessResult result = record.wait(30000);
    EXPECT_EQ(result.exitCode, 1) << result.out;
    EXPECT_EQ(result.out, "") << "no success line for a recording cut short";
    EXPECT_NE(result.err.find("record: the camera stopped delivering frames"), std::string::npos) << result.err;
    const uint32_t frames = finalisedAviFrames(avi);
    EXPECT_GE(frames, 1u);
    EXPECT_NE(result.err.find(avi.string() + " holds " + std::to_string(frames) + " frames, "), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find(" s of the 3.0 s asked"), std::string::npos) << result.err;
}

} // namespace
} // namespace lumvek::test
