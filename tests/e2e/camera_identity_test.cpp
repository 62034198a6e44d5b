// Camera ids through the exports of LumvekDevice.h: a camera is found by its
// id whichever number the open-device table gave it, and the raw frames of
// colour modes 8 and 16 are the simulator's exact scene, mirrored as asked,
// with the Bayer order named to match.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "LumvekDevice.h"
#include "LumvekSdk.h"
#include "support/camsim_process.h"
#include "support/test_env.h"

using lumvek::test::CamsimProcess;

#ifdef LUMVEK_CAMSIM_PATH
extern char** environ;

namespace {

constexpr int kReadyTimeoutMs = 15000;
constexpr int kWidth = 2336;
constexpr int kHeight = 1752;

// lumvek-camsim serving `description` in the current device folder until destroyed.
class ServedCamera {
public:
    explicit ServedCamera(const std::string& description) : process_(LUMVEK_CAMSIM_PATH, description) {
        ready_ = process_.waitReady(kReadyTimeoutMs);
    }
    [[nodiscard]] bool ready() const { return ready_; }

private:
    CamsimProcess process_;
    bool ready_ = false;
};

std::string idOf(int number) {
    char id[LUMVEK_DEVICE_ID_BYTES] = {};
    return LumvekDevice_GetId(number, id, sizeof id) ? std::string(id) : std::string("(none)");
}

// Mean of an 8-bit snapshot of the camera with id `id`, opened by its id.
double meanOfCameraWithId(const char* id) {
    const int number = LumvekDevice_FindNumber(id);
    EXPECT_GE(number, 0) << id;
    const int32_t handle = Lumvek_Initialize(nullptr);
    EXPECT_EQ(Lumvek_SetDeviceNumber(handle, number), 1);
    EXPECT_EQ(Lumvek_SetColorMode(handle, 8), 1);
    std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight);
    EXPECT_EQ(Lumvek_SnapShot(handle, frame.data(), static_cast<int>(frame.size()), 1), 1);
    EXPECT_EQ(Lumvek_Release(handle), 1);
    return std::accumulate(frame.begin(), frame.end(), 0.0) / static_cast<double>(frame.size());
}

// The camera started first takes number 0 while the table lives: `first`
// and `second` are names, "black" and "white" their patterns.
void startInOrderAndSelectById(const std::string& first, const std::string& second) {
    lumvek::test::ScopedEnv devices("LUMVEK_DEVICE_DIR", lumvek::test::makeTempDir("ids").string());
    const int32_t holder = Lumvek_Initialize(nullptr);  // keeps the table alive between the starts
    ASSERT_NE(holder, 0);
    char names[10][256];
    ServedCamera a("product=0x3090,fps=40,name=" + first + ",pattern=" + (first == "black-cam" ? "black" : "white"));
    ASSERT_TRUE(a.ready());
    ASSERT_EQ(Lumvek_EnumDevice(holder, names), 1);
    ServedCamera b("product=0x3090,fps=40,name=" + second + ",pattern=" + (second == "black-cam" ? "black" : "white"));
    ASSERT_TRUE(b.ready());
    ASSERT_EQ(Lumvek_EnumDevice(holder, names), 2);

    EXPECT_EQ(idOf(0), first);
    EXPECT_EQ(idOf(1), second);
    EXPECT_EQ(LumvekDevice_FindNumber(first.c_str()), 0);
    EXPECT_EQ(LumvekDevice_FindNumber(second.c_str()), 1);
    EXPECT_EQ(LumvekDevice_FindNumber("no-such-cam"), -1);
    EXPECT_EQ(LumvekDevice_FindNumber(nullptr), -1);
    // Whichever number it has, the id opens the same camera.
    EXPECT_LT(meanOfCameraWithId("black-cam"), 20.0);
    EXPECT_GT(meanOfCameraWithId("white-cam"), 200.0);
    EXPECT_EQ(Lumvek_Release(holder), 1);
}

} // namespace

TEST(CameraIdentity, SelectingByIdFindsTheCameraStartedFirst) {
    startInOrderAndSelectById("black-cam", "white-cam");
}

TEST(CameraIdentity, SelectingByIdFindsTheCameraStartedSecond) {
    startInOrderAndSelectById("white-cam", "black-cam");
}

TEST(CameraIdentity, IdBuffersAndEntries) {
    lumvek::test::ScopedEnv devices("LUMVEK_DEVICE_DIR", lumvek::test::makeTempDir("idbuf").string());
    ServedCamera other("product=0x3200,fps=40,name=head");
    ServedCamera r13("product=0x3090,fps=40,name=the-r13");
    ASSERT_TRUE(other.ready() && r13.ready());
    char id[LUMVEK_DEVICE_ID_BYTES];
    ASSERT_EQ(LumvekDevice_GetId(0, id, sizeof id), 1);
    EXPECT_STREQ(id, "the-r13");
    char small[7];
    EXPECT_EQ(LumvekDevice_GetId(0, small, sizeof small), 0) << "the-r13 and its end take 8 bytes";
    EXPECT_EQ(LumvekDevice_GetId(0, nullptr, 64), 0);
    EXPECT_EQ(LumvekDevice_GetId(1, id, sizeof id), 0) << "only R13 cameras have device numbers here";
    EXPECT_EQ(LumvekDevice_FindNumber("head"), -1) << "not an R13";
    // Table entries of every product, in discovery order (socket names sort the daemon's cameras).
    std::vector<std::string> entries;
    for (int entry = 0; entry < 4; ++entry) {
        if (LumvekDevice_GetEntryId(entry, id, sizeof id)) entries.emplace_back(id);
    }
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_NE(std::find(entries.begin(), entries.end(), "head"), entries.end());
}

namespace {

// Smooth and rising along both axes: a turned row or column shows, and the
// always-on spike filter finds nothing to change.
std::vector<uint8_t> smoothScene() {
    std::vector<uint8_t> scene(static_cast<size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            scene[static_cast<size_t>(y) * kWidth + x] =
                static_cast<uint8_t>((x * 255 / (kWidth - 1) + y * 255 / (kHeight - 1)) / 2);
        }
    }
    return scene;
}

// The colour of pixel (y, x) under an order name such as "bggr".
char colourAt(const std::string& order, int y, int x) { return order[static_cast<size_t>(2 * (y & 1) + (x & 1))]; }

const char* const kOrderNames[4] = {"gbrg", "rggb", "bggr", "grbg"};

} // namespace

TEST(RawFrames, TheMosaicIsTheSceneMirroredAsAskedWithItsBayerOrder) {
    lumvek::test::ScopedEnv devices("LUMVEK_DEVICE_DIR", lumvek::test::makeTempDir("raw").string());
    const std::vector<uint8_t> scene = smoothScene();
    const std::string scenePath = lumvek::test::makeTempDir("scene").string() + "/scene.pgm";
    std::FILE* file = std::fopen(scenePath.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fprintf(file, "P5\n%d %d\n255\n", kWidth, kHeight);
    ASSERT_EQ(std::fwrite(scene.data(), 1, scene.size(), file), scene.size());
    std::fclose(file);
    ServedCamera camera("product=0x3090,fps=40,name=exact,scene=" + scenePath);
    ASSERT_TRUE(camera.ready());

    const int32_t handle = Lumvek_Initialize(nullptr);
    ASSERT_EQ(Lumvek_SetDeviceNumber(handle, 0), 1);
    ASSERT_EQ(Lumvek_SetColorMode(handle, 8), 1);
    std::vector<uint8_t> frame(scene.size());
    for (int stored = 0; stored < 4; ++stored) {
        ASSERT_EQ(Lumvek_SetBayerMode(handle, stored), 1);
        for (int mirrors = 0; mirrors < 4; ++mirrors) {
            const bool h = (mirrors & 1) != 0;
            const bool v = (mirrors & 2) != 0;
            ASSERT_EQ(Lumvek_SetMirrorH(handle, h), 1);
            ASSERT_EQ(Lumvek_SetMirrorV(handle, v), 1);
            ASSERT_EQ(Lumvek_SnapShot(handle, frame.data(), static_cast<int>(frame.size()), 1), 1);
            const int order = LumvekDevice_GetRawBayerOrder(handle);
            ASSERT_GE(order, 0);
            ASSERT_LE(order, 3);
            size_t wrongPixels = 0;
            size_t wrongColours = 0;
            for (int y = 0; y < kHeight; ++y) {
                for (int x = 0; x < kWidth; ++x) {
                    // The sensor pixel this output pixel shows.
                    const int sy = v ? kHeight - 1 - y : y;
                    const int sx = h ? kWidth - 1 - x : x;
                    wrongPixels += frame[static_cast<size_t>(y) * kWidth + x] != scene[static_cast<size_t>(sy) * kWidth + sx];
                    wrongColours += colourAt(kOrderNames[order], y, x) != colourAt(kOrderNames[stored], sy, sx);
                }
            }
            EXPECT_EQ(wrongPixels, 0u) << "stored " << stored << " mirror h " << h << " v " << v;
            EXPECT_EQ(wrongColours, 0u) << "stored " << stored << " mirror h " << h << " v " << v << ": named "
                                        << kOrderNames[order];
        }
    }
    EXPECT_EQ(LumvekDevice_GetRawBayerOrder(0), -1);
    EXPECT_EQ(Lumvek_Release(handle), 1);
}

TEST(CaptureWindowRule, TheCheckAgreesWithSetCaptureWindowExAndSaysWhy) {
    lumvek::test::ScopedEnv devices("LUMVEK_DEVICE_DIR", lumvek::test::makeTempDir("window").string());
    ServedCamera camera("product=0x3090,fps=40,name=win");
    ASSERT_TRUE(camera.ready());
    const int32_t handle = Lumvek_Initialize(nullptr);
    ASSERT_EQ(Lumvek_SetDeviceNumber(handle, 0), 1);
    struct Case {
        int x, y, width, height;
    };
    for (const Case c : {Case{0, 0, 2336, 1752}, Case{100, 100, 640, 480}, Case{0, 0, 2336, 1000}, Case{0, 0, 2000, 1752},
                         Case{0, 0, 2337, 1752}}) {
        char reason[512] = "unchanged";
        const int accepted = LumvekDevice_CheckCaptureWindow(handle, c.x, c.y, c.width, c.height, reason, sizeof reason);
        const int set = Lumvek_SetCaptureWindowEx(handle, 2336, c.x, c.width, 1752, c.y, c.height);
        while (Lumvek_GetLastError(handle) != 0) {
        }
        EXPECT_EQ(accepted, set) << c.width << " x " << c.height << ": " << reason;
        if (accepted == 1) {
            EXPECT_STREQ(reason, "");
        } else {
            EXPECT_NE(std::string(reason).find(" refused: "), std::string::npos) << reason;
            EXPECT_NE(std::string(reason).find("accepted: width 2336 at x 0"), std::string::npos) << reason;
        }
    }
    char cut[20];
    EXPECT_EQ(LumvekDevice_CheckCaptureWindow(handle, 1, 0, 2336, 1752, cut, sizeof cut), 0);
    EXPECT_EQ(std::string(cut), "capture window 2336");
    EXPECT_EQ(LumvekDevice_CheckCaptureWindow(handle, 0, 0, 2336, 1752, nullptr, 0), 1);
    EXPECT_EQ(LumvekDevice_CheckCaptureWindow(0, 0, 0, 2336, 1752, nullptr, 0), -1);
    ASSERT_EQ(Lumvek_SetCaptureWindowEx(handle, 2336, 0, 2336, 1752, 0, 1752), 1);
    EXPECT_EQ(Lumvek_Release(handle), 1);
}

#endif // LUMVEK_CAMSIM_PATH
