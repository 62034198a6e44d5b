// The capture states, single frames and exact delivery of raw scenes.
#include <cstring>
#include <numeric>

#include "instance/lumvek_internals.h"
#include "capture_fixture.h"

using namespace lumvek;
using namespace lumvek::test;

namespace {

constexpr int kW = 2336;
constexpr int kH = 1752;

std::vector<uint16_t> sceneSamples(int maxval) {
    std::vector<uint16_t> samples(static_cast<size_t>(kW) * kH);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            // Rising along both axes, so a turned row or column shows, and
            // smooth, so the always-on spike filter finds nothing to repair.
            samples[static_cast<size_t>(y) * kW + x] =
                static_cast<uint16_t>((static_cast<int64_t>(x) * maxval / (kW - 1) + static_cast<int64_t>(y) * maxval / (kH - 1)) / 2);
        }
    }
    return samples;
}

} // namespace

TEST_F(CaptureTest, AnExactEightBitSceneComesBackSampleForSample) {
    const auto samples = sceneSamples(255);
    const auto path = writePgm((makeTempDir("scene") / "scene8.pgm").string(), kW, kH, 255, samples);
    addCamera("product=0x3090,name=cam0,fps=40,scene=" + path);
    CLumvek& self = start();
    ASSERT_EQ(self.SetColorMode(8), 1);

    std::vector<uint8_t> frame(static_cast<size_t>(kW) * kH);
    ASSERT_EQ(self.SnapShot(frame.data(), static_cast<int>(frame.size()), 1), 1) << self.GetLastError();
    EXPECT_EQ(internals(self).captureState(), 0);  // a snapshot in idle stays idle
    size_t mismatches = 0;
    for (size_t i = 0; i < frame.size(); ++i) {
        mismatches += frame[i] != samples[i];
    }
    EXPECT_EQ(mismatches, 0u);

    // Top-down flag 0: the same rows, last first.
    std::vector<uint8_t> reversed(frame.size());
    ASSERT_EQ(self.SnapShot(reversed.data(), static_cast<int>(reversed.size()), 0), 1);
    EXPECT_EQ(std::memcmp(reversed.data(), frame.data() + static_cast<size_t>(kH - 1) * kW, kW), 0);
    EXPECT_EQ(std::memcmp(reversed.data() + static_cast<size_t>(kH - 1) * kW, frame.data(), kW), 0);
}

TEST_F(CaptureTest, AnExactSixteenBitSceneComesBackInMode16) {
    const auto samples = sceneSamples(1023);
    const auto path = writePgm((makeTempDir("scene") / "scene16.pgm").string(), kW, kH, 65535, samples);
    addCamera("product=0x3090,name=cam0,fps=40,scene=" + path);
    CLumvek& self = start();
    ASSERT_EQ(self.SetColorMode(16), 1);
    std::vector<uint16_t> frame(static_cast<size_t>(kW) * kH);
    ASSERT_EQ(self.SnapShot(frame.data(), static_cast<int>(frame.size() * 2), 1), 1) << self.GetLastError();
    EXPECT_EQ(frame, samples);
}

TEST_F(CaptureTest, APresetWindowDeliversExactlyThatRegionOfTheScene) {
    const auto samples = sceneSamples(255);
    const auto path = writePgm((makeTempDir("scene") / "scene8.pgm").string(), kW, kH, 255, samples);
    addCamera("product=0x3090,name=cam0,fps=40,scene=" + path);
    CLumvek& self = start();
    // A global preset of 640 x 480 at (100, 200).
    {
        RegistryKey key;
        ASSERT_TRUE(RegistryKey::openWrite(std::string(kSettingsRoot) + "\\Size_00", key));
        ASSERT_TRUE(key.writeDword("EH", 640) && key.writeDword("EV", 480) && key.writeDword("EHS", 100) &&
                    key.writeDword("EVS", 200));
    }
    ASSERT_EQ(self.SetCaptureWindow(640, 480), 1);
    EXPECT_EQ(self.Width(), 640);
    ASSERT_EQ(self.SetColorMode(8), 1);
    std::vector<uint8_t> frame(640 * 480);
    ASSERT_EQ(self.SnapShot(frame.data(), static_cast<int>(frame.size()), 1), 1) << self.GetLastError();
    size_t mismatches = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            mismatches += frame[static_cast<size_t>(y) * 640 + x] != samples[static_cast<size_t>(y + 200) * kW + x + 100];
        }
    }
    EXPECT_EQ(mismatches, 0u);

    EXPECT_EQ(self.SetCaptureWindow(1000, 1000), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_WINDOW);
}

TEST_F(CaptureTest, StateRulesForCaptureSnapshotAndPreview) {
    addCamera("product=0x3090,name=cam0,fps=40,pattern=ramp");
    CLumvek& self = start();
    ASSERT_EQ(self.SetColorMode(8), 1);
    std::vector<uint8_t> frame(static_cast<size_t>(kW) * kH);

    EXPECT_EQ(self.GetImage(frame.data(), static_cast<int>(frame.size()), 1), 0);  // nothing processed yet
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_MEMORY);

    ASSERT_EQ(self.Capture(), 1);
    EXPECT_EQ(internals(self).captureState(), 2);
    EXPECT_EQ(self.Capture(), 1);
    EXPECT_EQ(self.StartPreview(), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_STATE);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(self.SnapShot(frame.data(), static_cast<int>(frame.size()), 1), 1) << self.GetLastError();
    }
    EXPECT_EQ(self.GetImage(frame.data(), static_cast<int>(frame.size()), 1), 1);
    EXPECT_EQ(self.StopPreview(), 1);
    EXPECT_EQ(internals(self).captureState(), 0);

    ASSERT_EQ(self.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(self.StartPreview(), 1);
    EXPECT_EQ(self.StartPreview(), 1);
    EXPECT_EQ(internals(self).captureState(), 1);
    EXPECT_EQ(self.SnapShot(frame.data(), static_cast<int>(frame.size()), 1), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_STATE);
    EXPECT_EQ(self.Capture(), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_STATE);
    EXPECT_EQ(self.Close(), 1);
    EXPECT_EQ(internals(self).captureState(), 0);
    EXPECT_EQ(self.GetImage(frame.data(), static_cast<int>(frame.size()), 1), 0);  // Close clears the image
}

TEST_F(CaptureTest, WithoutAnOpenCameraConfigureFailsWithCode2) {
    CLumvek& self = start();
    std::vector<uint8_t> frame(16);
    EXPECT_EQ(self.SnapShot(frame.data(), 16, 1), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_NO_CAMERA);
    EXPECT_EQ(self.Capture(), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_NO_CAMERA);
}

TEST_F(CaptureTest, AnInvalidWindowIsCode7AndTheWidthRuleCode9) {
    addCamera("product=0x3090,name=cam0,fps=40,pattern=ramp");
    CLumvek& self = start();
    EXPECT_EQ(self.SetCaptureWindowEx(2336, 0, 1000, 1752, 0, 1752), 0);  // the R13's width is fixed
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_ARGUMENT);
    EXPECT_EQ(self.SetCaptureWindowEx(2336, 10, 2336, 1752, 0, 1752), 0);  // EH + EHS beyond the sensor
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_WINDOW_SIZE);
    EXPECT_EQ(self.Capture(), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_WINDOW_SIZE);
    EXPECT_EQ(self.SetCaptureWindowEx(2336, 0, 2336, 1752, 0, 1752), 1);
    EXPECT_EQ(self.Capture(), 1);
}

// The chart's colour patches (red, green, blue first) come out in their
// colours through the default Bayer mode, also when the sensor mirrors and
// the mosaic's phase moves with the picture.
TEST_F(CaptureTest, TheChartsPatchesKeepTheirColoursWithEveryMirror) {
    addCamera("product=0x3090,name=cam0,fps=40,pattern=chart");
    CLumvek& self = start();
    ASSERT_EQ(self.SetColorMode(24), 1);
    const int stride = (kW * 3 + 3) & ~3;
    std::vector<uint8_t> picture(static_cast<size_t>(stride) * kH);
    for (int mirrors = 0; mirrors < 4; ++mirrors) {
        const bool horizontal = (mirrors & 1) != 0;
        const bool vertical = (mirrors & 2) != 0;
        ASSERT_EQ(self.SetMirrorH(horizontal ? 1 : 0), 1);
        ASSERT_EQ(self.SetMirrorV(vertical ? 1 : 0), 1);
        ASSERT_EQ(self.SnapShot(picture.data(), static_cast<int>(picture.size()), 1), 1) << self.GetLastError();
        // A row of the patch band clear of the moving square.
        const int y = vertical ? kH - 1 - 1100 : 1100;
        for (int patch = 0; patch < 3; ++patch) {
            const int centre = (2 * patch + 1) * kW / 12;
            const int x = horizontal ? kW - 1 - centre : centre;
            const uint8_t* bgr = picture.data() + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3;
            const int strongest = patch == 0 ? 2 : patch == 1 ? 1 : 0;  // red, green, blue
            for (int other = 0; other < 3; ++other) {
                if (other != strongest) {
                    EXPECT_GT(bgr[strongest], bgr[other] + 60)
                        << "patch " << patch << ", mirrors H " << horizontal << " V " << vertical;
                }
            }
        }
    }
}
