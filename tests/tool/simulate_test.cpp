// lumvek end to end against --simulate: the real binary, a simulated R13
// inside the tool's own process, files checked by their bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <csignal>
#include <numeric>
#include <sys/stat.h>

#include "file_checks.h"
#include "tool_process.h"

namespace lumvek::test {
namespace {

constexpr int kWidth = 2336;
constexpr int kHeight = 1752;

std::string pathIn(const ToolEnv& env, const std::string& name) {
    return (env.dir() / name).string();
}

double meanByte(const std::string& bytes) {
    if (bytes.empty()) return 0.0;
    const double sum = std::accumulate(bytes.begin(), bytes.end(), 0.0,
                                       [](double total, char c) { return total + static_cast<unsigned char>(c); });
    return sum / static_cast<double>(bytes.size());
}

TEST(ToolSimulate, ListAndInfoDescribeTheSimulatedCamera) {
    ToolEnv env("list-info");
    const ProcessResult list = lumvek({"--simulate", "list", "--json"}, env);
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(jsonField(list.out, "number"), "0");
    EXPECT_EQ(jsonField(list.out, "name"), "LumvekR13-USB3-K7_01");
    EXPECT_NE(jsonField(list.out, "path").find("pid_3090#sim0#"), std::string::npos) << list.out;

    const ProcessResult info = lumvek({"info", "--simulate", "--json"}, env);
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_EQ(jsonField(info.out, "width"), std::to_string(kWidth));
    EXPECT_EQ(jsonField(info.out, "height"), std::to_string(kHeight));
    EXPECT_EQ(jsonField(info.out, "settingsStore"), env.registryFile().string());
    EXPECT_EQ(jsonField(info.out, "brightness"), "0");
    EXPECT_EQ(jsonField(info.out, "temperature"), "null");  // not on this camera
    EXPECT_NE(jsonField(info.out, "max"), "");

    const ProcessResult text = lumvek({"info", "--simulate"}, env);
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("sensor            2336 x 1752"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("settings store    " + env.registryFile().string()), std::string::npos);
}

TEST(ToolSimulate, ColourPictureAsPngAndJpegFromTheExtension) {
    ToolEnv env("snap-colour");
    const std::string png = pathIn(env, "chart.png");
    const ProcessResult snap = lumvek({"--simulate", "snap", "-o", png, "--mode", "24"}, env);
    ASSERT_EQ(snap.exitCode, 0) << snap.err;
    EXPECT_NE(snap.out.find("saved " + png + " (2336 x 1752, 24 bits, png)"), std::string::npos) << snap.out;
    const std::string bytes = readFile(png);
    ASSERT_EQ(signatureOf(bytes), "png");
    EXPECT_EQ(le32(bytes, 16), 0u + ((kWidth & 0xFF) << 24 | (kWidth >> 8) << 16)) << "IHDR width, big-endian";
    EXPECT_EQ(bytes[25], 2) << "colour type RGB";

    const std::string jpeg = pathIn(env, "chart.JPG");
    const ProcessResult jpg = lumvek({"--simulate", "snap", "-o", jpeg, "--mode", "24"}, env);
    ASSERT_EQ(jpg.exitCode, 0) << jpg.err;
    EXPECT_EQ(signatureOf(readFile(jpeg)), "jpeg");
    EXPECT_NE(jpg.out.find("jpeg100"), std::string::npos);
}

TEST(ToolSimulate, MonochromeBmpRawTiffAndNumberedPictures) {
    ToolEnv env("snap-mono");
    const ProcessResult raw = lumvek({"--simulate", "snap", "-o", pathIn(env, "frame.raw"), "--mode", "8"}, env);
    ASSERT_EQ(raw.exitCode, 0) << raw.err;
    EXPECT_EQ(std::filesystem::file_size(pathIn(env, "frame.raw")), uintmax_t{kWidth} * kHeight);

    const ProcessResult tiff =
        lumvek({"--simulate", "snap", "-o", pathIn(env, "frame.dat"), "--format", "tiff", "--mode", "16"}, env);
    ASSERT_EQ(tiff.exitCode, 0) << tiff.err;
    EXPECT_EQ(signatureOf(readFile(pathIn(env, "frame.dat"))), "tiff");

    const ProcessResult bmp =
        lumvek({"--simulate", "snap", "-o", pathIn(env, "shot.bmp"), "--mode", "8", "--count", "2"}, env);
    ASSERT_EQ(bmp.exitCode, 0) << bmp.err;
    EXPECT_EQ(signatureOf(readFile(pathIn(env, "shot_0001.bmp"))), "bmp");
    EXPECT_EQ(signatureOf(readFile(pathIn(env, "shot_0002.bmp"))), "bmp");
    EXPECT_FALSE(std::filesystem::exists(pathIn(env, "shot.bmp")));
}

TEST(ToolSimulate, PatternAndSceneReachTheSimulatedCamera) {
    ToolEnv env("pattern");
    ASSERT_EQ(lumvek({"--simulate", "--pattern", "black", "snap", "-o", pathIn(env, "b.raw"), "--mode", "8"}, env).exitCode, 0);
    ASSERT_EQ(lumvek({"--simulate", "--pattern", "white", "snap", "-o", pathIn(env, "w.raw"), "--mode", "8"}, env).exitCode, 0);
    EXPECT_LT(meanByte(readFile(pathIn(env, "b.raw"))) + 100, meanByte(readFile(pathIn(env, "w.raw"))));

    // A PGM scene: a picture far darker than the chart.
    const std::string scene = pathIn(env, "scene.pgm");
    {
        std::string pgm = "P5\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
        pgm.append(size_t{kWidth} * kHeight, '\x05');
        FILE* file = std::fopen(scene.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(pgm.data(), 1, pgm.size(), file);
        std::fclose(file);
    }
    const ProcessResult fromScene =
        lumvek({"snap", "--simulate", "--scene", scene, "-o", pathIn(env, "s.raw"), "--mode", "8"}, env);
    ASSERT_EQ(fromScene.exitCode, 0) << fromScene.err;
    EXPECT_LT(meanByte(readFile(pathIn(env, "s.raw"))), 20.0);
}

TEST(ToolSimulate, BadArgumentsAndUnwritableOutputAreOneLineErrors) {
    ToolEnv env("snap-errors");
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string says;
    };
    const std::string missingFolder = pathIn(env, "missing/x.png");
    FILE* plain = std::fopen(pathIn(env, "a.png").c_str(), "wb");
    std::fclose(plain);
    const Case cases[] = {
        {{"--simulate", "snap", "-o", missingFolder}, 1, "cannot write " + missingFolder},
        {{"--simulate", "snap", "-o", env.dir().string() + "/"}, 2, "cannot tell the format"},
        {{"--simulate", "snap", "-o", env.dir().string(), "--format", "png"}, 1, "it is a directory"},
        {{"--simulate", "snap", "-o", pathIn(env, "a.gif")}, 2, "give --format"},
        {{"--simulate", "snap", "-o", pathIn(env, "a.png"), "--mode", "12"}, 2, "--mode must be"},
        {{"--simulate", "snap", "-o", pathIn(env, "a.png"), "--count", "0"}, 2, "outside 1.."},
        {{"--simulate", "snap"}, 2, "-o FILE is required"},
        {{"--simulate", "--scene", pathIn(env, "none.pgm"), "snap", "-o", pathIn(env, "a.png")}, 2, "cannot read"},
        {{"--simulate", "--pattern", "plaid", "list"}, 2, "unknown pattern"},
        {{"--pattern", "chart", "list"}, 2, "need --simulate"},
        {{"--simulate", "snap", "-o", pathIn(env, "a.png/b.png")}, 1, "is not a folder"},
        {{"snap", "--bogus"}, 2, "unknown option --bogus"},
        {{"explode"}, 2, "unknown command"},
        {{"--simulate", "record", "-o", pathIn(env, "r.avi")}, 2, "--ms N is required"},
    };
    for (const auto& c : cases) {
        const ProcessResult result = lumvek(c.args, env);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.args.back() << ": " << result.err;
        EXPECT_EQ(result.errLines(), 1) << result.err;
        EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
    }
    EXPECT_EQ(std::filesystem::file_size(pathIn(env, "a.png")), 0u) << "refused before any picture";
}

TEST(ToolSimulate, FileTheWriterCannotOpenIsNamedWithTheReason) {
    ToolEnv env("writer-refuses");
    // Looks writable to a quick check (as root too), but no file can be made there.
    const ProcessResult result = lumvek({"--simulate", "snap", "-o", "/proc/lumvek-tool-test.bmp", "--mode", "8"}, env);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errLines(), 1) << result.err;
    EXPECT_NE(result.err.find("cannot write /proc/lumvek-tool-test.bmp: "), std::string::npos) << result.err;
}

TEST(ToolSimulate, UnwritableFileIsRefusedBeforeAnyPicture) {
    ToolEnv env("unwritable");
    const std::string locked = pathIn(env, "locked");
    std::filesystem::create_directories(locked);
    chmod(locked.c_str(), 0500);
    if (access(locked.c_str(), W_OK) == 0) GTEST_SKIP() << "running with permissions that ignore modes";
    const ProcessResult result = lumvek({"--simulate", "snap", "-o", locked + "/x.png"}, env);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errLines(), 1);
    EXPECT_NE(result.err.find("Permission denied"), std::string::npos) << result.err;
}

TEST(ToolSimulate, SetAndGetByNamePersistAndOutOfRangeIsTheSdkCodeInWords) {
    ToolEnv env("get-set");
    const ProcessResult set = lumvek({"--simulate", "set", "brightness", "-20"}, env);
    ASSERT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(set.out, "brightness = -20\n");
    ASSERT_EQ(lumvek({"--simulate", "set", "MIRROR_V", "on"}, env).exitCode, 0);

    // A new process reads what the settings store kept.
    const ProcessResult get = lumvek({"--simulate", "get", "brightness"}, env);
    ASSERT_EQ(get.exitCode, 0) << get.err;
    EXPECT_EQ(get.out, "-20\n");
    const ProcessResult all = lumvek({"--simulate", "get", "--json"}, env);
    ASSERT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(jsonField(all.out, "brightness"), "-20");
    EXPECT_EQ(jsonField(all.out, "gamma"), "100");
    EXPECT_EQ(jsonField(all.out, "peltier"), "null");

    const ProcessResult tooBright = lumvek({"--simulate", "set", "brightness", "256"}, env);
    EXPECT_EQ(tooBright.exitCode, 1);
    EXPECT_EQ(tooBright.errLines(), 1);
    EXPECT_NE(tooBright.err.find("SDK error 9: value out of range"), std::string::npos) << tooBright.err;
    EXPECT_NE(tooBright.err.find("-255..255"), std::string::npos) << tooBright.err;
    const ProcessResult tooLong = lumvek({"--simulate", "set", "exposure", "100000"}, env);
    EXPECT_NE(tooLong.err.find("SDK error 9"), std::string::npos) << tooLong.err;
    // auto-iris 3 is only posted, never pushed: the tool still names the code.
    const ProcessResult iris = lumvek({"--simulate", "set", "auto-iris", "3"}, env);
    EXPECT_EQ(iris.exitCode, 1);
    EXPECT_NE(iris.err.find("SDK error 9"), std::string::npos) << iris.err;
    const ProcessResult peltier = lumvek({"--simulate", "get", "peltier"}, env);
    EXPECT_EQ(peltier.exitCode, 1);
    EXPECT_NE(peltier.err.find("SDK error 11: not supported"), std::string::npos) << peltier.err;

    EXPECT_EQ(lumvek({"--simulate", "get", "brightness"}, env).out, "-20\n") << "refused values change nothing";
    const ProcessResult transient = lumvek({"--simulate", "set", "dot-filter", "1"}, env);
    EXPECT_EQ(transient.exitCode, 0);
    EXPECT_EQ(transient.err, "note: the SDK does not keep dot-filter after this run\n");
    EXPECT_EQ(lumvek({"--simulate", "get", "dot-filter"}, env).out, "0\n");
    EXPECT_EQ(lumvek({"--simulate", "set", "sparkle", "1"}, env).exitCode, 2);
    EXPECT_EQ(lumvek({"--simulate", "set", "temperature", "1"}, env).exitCode, 2);
    EXPECT_EQ(lumvek({"--simulate", "set", "mirror-h", "2"}, env).exitCode, 2);
    EXPECT_EQ(lumvek({"--simulate", "get", "gray-measure"}, env).exitCode, 2);
}

TEST(ToolSimulate, UnknownCameraNumberNamesThePresentOnes) {
    ToolEnv env("unknown-camera");
    const ProcessResult result = lumvek({"--simulate", "-d", "3", "info"}, env);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errLines(), 1);
    EXPECT_NE(result.err.find("camera 3 cannot be opened: present: 0"), std::string::npos) << result.err;
    EXPECT_EQ(lumvek({"--simulate", "-d", "32", "info"}, env).exitCode, 2);
}

TEST(ToolSimulate, RecordWritesAFinalisedAvi) {
    ToolEnv env("record");
    const std::string avi = pathIn(env, "clip.avi");
    const ProcessResult result = lumvek({"--simulate", "record", "-o", avi, "--ms", "400"}, env);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const uint32_t frames = finalisedAviFrames(avi);
    EXPECT_GT(frames, 0u);
    EXPECT_NE(result.out.find("recorded " + std::to_string(frames) + " frames (2336 x 1752)"), std::string::npos)
        << result.out;
    EXPECT_EQ(result.err, "") << "no progress bar off a terminal";
    if (access("/usr/bin/ffprobe", X_OK) == 0) {
        const ProcessResult probe = run("/usr/bin/ffprobe", {"-v", "error", "-show_entries",
                                                             "stream=width,height", "-of", "csv=p=0", avi}, env);
        EXPECT_EQ(probe.out, "2336,1752\n") << probe.err;
    }
    const ProcessResult noFolder = lumvek({"--simulate", "record", "-o", pathIn(env, "no/clip.avi"), "--ms", "100"}, env);
    EXPECT_EQ(noFolder.exitCode, 1);
    EXPECT_NE(noFolder.err.find("cannot write"), std::string::npos) << noFolder.err;
}

TEST(ToolSimulate, RecordStoppedBySignalStillClosesTheFile) {
    ToolEnv env("record-stopped");
    const std::filesystem::path avi = env.dir() / "stopped.avi";
    Background record(LUMVEK_TOOL_PATH, {"--simulate", "record", "-o", avi.string(), "--ms", "60000"}, env);
    const uint64_t twoFrames = 232 + 2 * (8 + uint64_t{kWidth} * kHeight * 3);
    ASSERT_TRUE(waitUntil(
        [&] {
            std::error_code ignored;
            return std::filesystem::file_size(avi, ignored) >= twoFrames && !ignored;
        },
        15000));
    record.kill(SIGTERM);
    const ProcessResult result = record.wait(15000);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errLines(), 1) << result.err;
    EXPECT_NE(result.err.find("record: interrupted; "), std::string::npos) << result.err;
    EXPECT_GE(finalisedAviFrames(avi), 2u);
}

TEST(ToolSimulate, MaskReferencesAreSavedAndLoadedAndBadFilesRefused) {
    ToolEnv env("mask");
    const std::string mask = pathIn(env, "dark.mask");
    const ProcessResult dark = lumvek({"--simulate", "--pattern", "black", "mask", "dark", "save", mask}, env);
    ASSERT_EQ(dark.exitCode, 0) << dark.err;
    EXPECT_EQ(dark.out, "dark reference taken (8 and 16 bits)\nsaved mask file " + mask + "\n");
    const std::string bytes = readFile(mask);
    ASSERT_EQ(bytes.size(), 24556072u);
    EXPECT_EQ(bytes.compare(0, 16, std::string("QUELRO MASK1000\0", 16)), 0);

    const ProcessResult load = lumvek({"--simulate", "mask", "load", mask}, env);
    EXPECT_EQ(load.exitCode, 0) << load.err;

    const std::string junk = pathIn(env, "junk.mask");
    FILE* file = std::fopen(junk.c_str(), "wb");
    std::fputs("not a mask", file);
    std::fclose(file);
    const ProcessResult bad = lumvek({"--simulate", "mask", "load", junk}, env);
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("SDK error 14"), std::string::npos) << bad.err;
    const ProcessResult badSnap = lumvek({"--simulate", "snap", "--mask", junk, "-o", pathIn(env, "m.raw")}, env);
    EXPECT_EQ(badSnap.exitCode, 1);
    EXPECT_NE(badSnap.err.find("snap: mask file " + junk + ": SDK error 14"), std::string::npos) << badSnap.err;
    const ProcessResult corrected =
        lumvek({"--simulate", "snap", "--mask", mask, "-o", pathIn(env, "m.raw"), "--mode", "8"}, env);
    EXPECT_EQ(corrected.exitCode, 0) << corrected.err;
    EXPECT_EQ(lumvek({"--simulate", "mask", "save"}, env).exitCode, 2);
    EXPECT_EQ(lumvek({"--simulate", "mask", "grey"}, env).exitCode, 2);
}

TEST(ToolSimulate, RegistersReadWithRangesCheckedPerTarget) {
    ToolEnv env("regs");
    // The factory channel block: gain 1 is 0x1000, low byte first.
    const ProcessResult srom = lumvek({"--simulate", "regs", "read", "0x62", "--srom"}, env);
    ASSERT_EQ(srom.exitCode, 0) << srom.err;
    EXPECT_EQ(srom.out.rfind("srom 0x0062 = ", 0), 0u) << srom.out;
    const ProcessResult fpga = lumvek({"--simulate", "regs", "read", "0x3F", "--fpga"}, env);
    EXPECT_EQ(fpga.exitCode, 0) << fpga.err;
    EXPECT_EQ(lumvek({"--simulate", "regs", "read", "0x100", "--fpga"}, env).exitCode, 2);
    EXPECT_EQ(lumvek({"--simulate", "regs", "write", "0x10", "0x100", "--srom"}, env).exitCode, 2);
    EXPECT_EQ(lumvek({"--simulate", "regs", "read", "0x10", "--srom", "--fpga"}, env).exitCode, 2);
    // The CCD's registers read back only what this run wrote.
    const ProcessResult sensor = lumvek({"--simulate", "regs", "read", "0x10"}, env);
    EXPECT_EQ(sensor.exitCode, 1);
    EXPECT_NE(sensor.err.find("SDK error 6"), std::string::npos) << sensor.err;
}

TEST(ToolSimulate, RegExportShowsTheSettingsStoreAndRefusesOtherFiles) {
    ToolEnv env("reg-export");
    const ProcessResult missing = lumvek({"reg", "export"}, env);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("no settings store"), std::string::npos) << missing.err;

    ASSERT_EQ(lumvek({"--simulate", "set", "gamma", "120"}, env).exitCode, 0);
    const ProcessResult text = lumvek({"reg", "export"}, env);
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
    EXPECT_NE(text.out.find("[HKEY_CURRENT_USER\\Software\\Quelro\\LumvekR13K7Sdk\\Camera_00]\n"), std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("\"Color\"=dword:00000002\n"), std::string::npos);
    EXPECT_NE(text.out.find("\"Gamma\"=dword:00000078\n"), std::string::npos);

    const std::string copy = pathIn(env, "settings.reg");
    ASSERT_EQ(lumvek({"reg", "export", "-o", copy}, env).exitCode, 0);
    EXPECT_EQ(readFile(copy), text.out);

    const std::string other = pathIn(env, "other.sqlite3");
    FILE* file = std::fopen(other.c_str(), "wb");
    std::fputs("SQLite format 3", file);
    std::fclose(file);
    const ProcessResult notStore = lumvek({"reg", "export", "--store", other}, env);
    EXPECT_EQ(notStore.exitCode, 1);
    EXPECT_EQ(notStore.errLines(), 1);
}

TEST(ToolSimulate, EveryCommandHasHelp) {
    ToolEnv env("help");
    for (const char* command : {"list", "info", "snap", "record", "get", "set", "mask", "regs", "reg", "doctor"}) {
        const ProcessResult help = lumvek({command, "--help"}, env);
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_EQ(help.out.rfind(std::string("usage: lumvek ") + command, 0), 0u) << help.out;
        EXPECT_EQ(lumvek({"help", command}, env).out, help.out);
    }
    const ProcessResult set = lumvek({"set", "--help"}, env);
    EXPECT_NE(set.out.find("brightness          -255..255"), std::string::npos) << set.out;
    EXPECT_NE(set.out.find("channel-offset-4"), std::string::npos);
    EXPECT_EQ(lumvek({}, env).exitCode, 2);
}

TEST(ToolDoctor, NoCameraAndNoDaemonSaysHowToStartTheSimulator) {
    ToolEnv env("doctor-empty");
    env.set("LUMVEK_DEVICE_DIR", pathIn(env, "no-such-folder"));
    const ProcessResult doctor = lumvek({"doctor"}, env);
    EXPECT_EQ(doctor.exitCode, 1);
    EXPECT_NE(doctor.out.find("ok       simulator       no device folder"), std::string::npos) << doctor.out;
    EXPECT_NE(doctor.out.find("problem  cameras         no camera found"), std::string::npos) << doctor.out;
    EXPECT_NE(doctor.out.find("lumvek-camsim --dir " + pathIn(env, "no-such-folder")), std::string::npos);
    EXPECT_NE(doctor.out.find("settings store"), std::string::npos);
}

} // namespace
} // namespace lumvek::test
