// lumvek against the lumvek-camsim daemon: camera ids in list and -d, the
// files `snap --product` writes (read back by ImageMagick), window refusals
// that name the rule, and the trigger through --product.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "file_checks.h"
#include "tool_process.h"

namespace lumvek::test {
namespace {

constexpr const char* kIdentify = "/usr/bin/identify";
constexpr const char* kConvert = "/usr/bin/convert";

// A binary PGM that changes from pixel to pixel, so that every sample of a
// file read back is compared with its own; the simulator delivers it exactly.
std::string writeScene(const std::filesystem::path& path, int width, int height, int maxval) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return {};
    std::fprintf(file, "P5\n%d %d\n%d\n", width, height, maxval);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int v = (x * 7 + y * 13) % (maxval + 1);
            if (maxval > 255) std::fputc(v >> 8, file);
            std::fputc(v & 0xFF, file);
        }
    }
    std::fclose(file);
    return path.string();
}

bool haveImageMagick() { return std::filesystem::exists(kIdentify) && std::filesystem::exists(kConvert); }

// "width height colourspace depth" as ImageMagick reads the file.
std::string identify(const std::string& path, const ToolEnv& env) {
    const ProcessResult r = run(kIdentify, {"-format", "%w %h %[colorspace] %z", path}, env);
    return r.exitCode == 0 ? r.out : "identify failed: " + r.err;
}

// The samples ImageMagick decodes, as `map` (gray or rgb) at `depth` bits, big-endian.
std::string decoded(const std::string& path, const char* map, int depth, const ToolEnv& env) {
    const ProcessResult r =
        run(kConvert, {path, "-depth", std::to_string(depth), "-endian", "MSB", std::string(map) + ":-"}, env);
    return r.exitCode == 0 ? r.out : std::string();
}

TEST(ToolIdentity, ListShowsEachCamerasIdAndMinusDTakesIt) {
    ToolEnv env("ids-list");
    Daemon daemon(env, {"product=0x3090,name=alpha,pattern=black", "product=0x3090,name=beta,pattern=white"});
    ASSERT_TRUE(daemon.ready());
    const ProcessResult list = lumvek({"list"}, env);
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("#alpha#{328184c5-93e6-49b7-94b8-2ada13aabb39}  id alpha\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("#beta#{328184c5-93e6-49b7-94b8-2ada13aabb39}  id beta\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("stored settings follow the number"), std::string::npos) << list.out;
    const ProcessResult json = lumvek({"list", "--json"}, env);
    EXPECT_NE(json.out.find("\"id\":\"beta\""), std::string::npos) << json.out;

    const ProcessResult info = lumvek({"info", "-d", "beta", "--json"}, env);
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_EQ(jsonField(info.out, "number"), "1");
    EXPECT_EQ(jsonField(info.out, "id"), "beta");

    // get by id says where the stored value lives.
    const ProcessResult get = lumvek({"get", "-d", "alpha", "exposure"}, env);
    ASSERT_EQ(get.exitCode, 0) << get.err;
    EXPECT_NE(get.err.find("camera 'alpha' is number 0 now; stored settings follow the number"), std::string::npos)
        << get.err;

    const ProcessResult unknown = lumvek({"info", "-d", "gamma"}, env);
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("no camera has the id 'gamma' (present: alpha, beta; see lumvek list)"),
              std::string::npos)
        << unknown.err;
    EXPECT_EQ(lumvek({"list", "-d", "alpha"}, env).exitCode, 2);
}

TEST(ToolIdentity, ProductCamerasByIdAndItsProduct) {
    ToolEnv env("ids-product");
    Daemon daemon(env, {"product=0x32D0,name=r12-left,pattern=ramp", "product=0x32D0,name=r12-right,pattern=ramp"});
    ASSERT_TRUE(daemon.ready());
    const ProcessResult list = lumvek({"list"}, env);
    EXPECT_NE(list.out.find("(--product 0x32D0 -d 1)  id r12-right"), std::string::npos) << list.out;
    const ProcessResult info = lumvek({"info", "--product", "0x32D0", "-d", "r12-right", "--json"}, env);
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const ProcessResult wrong = lumvek({"info", "--product", "0x3180", "-d", "r12-right"}, env);
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_NE(wrong.err.find("camera 'r12-right' is a product 0x32D0, not 0x3180"), std::string::npos) << wrong.err;
    const ProcessResult absent = lumvek({"info", "--product", "0x32D0", "-d", "r12-middle"}, env);
    EXPECT_NE(absent.err.find("no camera has this id"), std::string::npos) << absent.err;
}

TEST(ToolProductSnap, ThreeBytePixelsGoToPpmAndPngAndRefuseAPgm) {
    if (!haveImageMagick()) GTEST_SKIP() << "ImageMagick (identify, convert) is not installed";
    ToolEnv env("snap-3130");
    // The converter sends three samples per pixel: the scene is three times as wide.
    Daemon daemon(env, {"product=0x3130,name=conv,scene=" + writeScene(env.dir() / "conv.pgm", 3 * 1920, 1080, 255)});
    ASSERT_TRUE(daemon.ready());
    const std::string raw = (env.dir() / "p.raw").string();
    const std::string ppm = (env.dir() / "p.ppm").string();
    const std::string png = (env.dir() / "p.png").string();
    for (const std::string& path : {raw, ppm, png}) {
        const ProcessResult snap = lumvek({"snap", "--product", "0x3130", "-o", path}, env);
        ASSERT_EQ(snap.exitCode, 0) << path << ": " << snap.err;
        EXPECT_EQ(snap.out, "saved " + path + " (1920 x 1080, 8 bits)\n");
    }
    EXPECT_EQ(identify(ppm, env), "1920 1080 sRGB 8");
    EXPECT_EQ(identify(png, env), "1920 1080 sRGB 8");
    // The camera's blue, green, red bytes come out as red, green, blue.
    const std::string bytes = readFile(raw);
    ASSERT_EQ(bytes.size(), 1920u * 1080 * 3);
    std::string rgb = bytes;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) std::swap(rgb[i], rgb[i + 2]);
    EXPECT_TRUE(decoded(ppm, "rgb", 8, env) == rgb) << "PPM pixels differ from the delivered frame";
    EXPECT_TRUE(decoded(png, "rgb", 8, env) == rgb) << "PNG pixels differ from the delivered frame";

    const ProcessResult pgm = lumvek({"snap", "--product", "0x3130", "-o", (env.dir() / "p.pgm").string()}, env);
    EXPECT_EQ(pgm.exitCode, 1);
    EXPECT_NE(pgm.err.find("pixels have three samples (blue, green, red): write .ppm, .png or .raw"),
              std::string::npos)
        << pgm.err;
    EXPECT_FALSE(std::filesystem::exists(env.dir() / "p.pgm"));
    const ProcessResult jpg = lumvek({"snap", "--product", "0x3130", "-o", (env.dir() / "p.jpg").string()}, env);
    EXPECT_EQ(jpg.exitCode, 2);
    EXPECT_NE(jpg.err.find("name a .pgm, .ppm, .png or .raw file"), std::string::npos) << jpg.err;
}

TEST(ToolProductSnap, OneSamplePixelsGoToPgmAndPngAtEightAndSixteenBits) {
    if (!haveImageMagick()) GTEST_SKIP() << "ImageMagick (identify, convert) is not installed";
    ToolEnv env("snap-imx250");
    Daemon daemon(env, {"product=0x31B0,name=imx250,scene=" + writeScene(env.dir() / "imx.pgm", 2448, 2048, 4095)});
    ASSERT_TRUE(daemon.ready());
    for (const int bits : {8, 16}) {
        const std::string stem = (env.dir() / ("r" + std::to_string(bits))).string();
        for (const char* ext : {".raw", ".pgm", ".png"}) {
            const ProcessResult snap = lumvek(
                {"snap", "--product", "0x31B0", "--mode", std::to_string(bits), "--window", "640x480", "-o", stem + ext},
                env);
            ASSERT_EQ(snap.exitCode, 0) << ext << ": " << snap.err;
        }
        EXPECT_EQ(identify(stem + ".pgm", env), "640 480 Gray " + std::to_string(bits));
        EXPECT_EQ(identify(stem + ".png", env), "640 480 Gray " + std::to_string(bits));
        std::string expected = readFile(stem + ".raw");
        ASSERT_EQ(expected.size(), 640u * 480 * (bits / 8));
        if (bits == 16) {
            for (size_t i = 0; i + 1 < expected.size(); i += 2) std::swap(expected[i], expected[i + 1]);
        }
        EXPECT_TRUE(decoded(stem + ".pgm", "gray", bits, env) == expected) << bits << "-bit PGM";
        EXPECT_TRUE(decoded(stem + ".png", "gray", bits, env) == expected) << bits << "-bit PNG";
    }
    const ProcessResult ppm = lumvek({"snap", "--product", "0x31B0", "-o", (env.dir() / "r.ppm").string()}, env);
    EXPECT_EQ(ppm.exitCode, 1);
    EXPECT_NE(ppm.err.find("pixels have one sample: write .pgm, .png or .raw"), std::string::npos) << ppm.err;
}

TEST(ToolWindows, RefusalsNameTheRuleAndWhatWouldBeAccepted) {
    ToolEnv env("windows");
    Daemon daemon(env, {"product=0x32D0,name=r12,pattern=ramp", "product=0x3090,name=cam0"});
    ASSERT_TRUE(daemon.ready());
    const std::string out = (env.dir() / "w.pgm").string();
    const ProcessResult narrow = lumvek({"snap", "--product", "0x32D0", "--window", "8x8", "-o", out}, env);
    EXPECT_EQ(narrow.exitCode, 1);
    EXPECT_NE(narrow.err.find("--window 8x8: capture window 8 x 8 at (0, 0) refused: width 8 is below the minimum "
                              "16; accepted: width 16..4096 with x >= 0 and x + width <= 4096"),
              std::string::npos)
        << narrow.err;
    const ProcessResult edge =
        lumvek({"snap", "--product", "0x32D0", "--window", "640x480+4000+0", "-o", out}, env);
    EXPECT_NE(edge.err.find("refused: x + width = 4640 passes the sensor's edge at 4096"), std::string::npos)
        << edge.err;
    const ProcessResult placed = lumvek({"snap", "--product", "0x32D0", "--window", "640x480+16+8", "-o", out}, env);
    EXPECT_EQ(placed.exitCode, 0) << placed.err;
    // The R13 through the C++ interface: a CCD that reads out whole frames.
    const ProcessResult ccd = lumvek({"snap", "--product", "0x3090", "--window", "640x480", "-o", out}, env);
    EXPECT_EQ(ccd.exitCode, 1);
    EXPECT_NE(ccd.err.find("refused: this camera cannot narrow the width: width must be 2336 and x 0"),
              std::string::npos)
        << ccd.err;
    EXPECT_EQ(lumvek({"snap", "--product", "0x32D0", "--window", "640x", "-o", out}, env).exitCode, 2);
}

TEST(ToolTrigger, SetThroughTheProductInterface) {
    ToolEnv env("trigger");
    Daemon daemon(env, {"product=0x32D0,name=r12,pattern=ramp"});
    ASSERT_TRUE(daemon.ready());
    const ProcessResult on = lumvek({"set", "--product", "0x32D0", "trigger", "1"}, env);
    EXPECT_EQ(on.exitCode, 0) << on.err;
    const ProcessResult off = lumvek({"set", "--product", "0x32D0", "trigger", "0"}, env);
    EXPECT_EQ(off.exitCode, 0) << off.err;
    const ProcessResult negative = lumvek({"set", "--product", "0x32D0", "trigger", "-1"}, env);
    EXPECT_EQ(negative.exitCode, 1);
    EXPECT_NE(negative.err.find("set: trigger: value out of range"), std::string::npos) << negative.err;
}

} // namespace
} // namespace lumvek::test
