// Still images, recordings and mask files through the instance, with the
// files read back by tools we did not write where the format is standard.
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "instance/lumvek_internals.h"
#include "capture_fixture.h"
#include "imaging/correction/defect_planes.h"

using namespace lumvek;
using namespace lumvek::test;

namespace {

constexpr int kW = 2336;
constexpr int kH = 1752;

std::string run(const std::string& command) {
    std::string output;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) {
        return output;
    }
    std::array<char, 256> chunk;
    while (std::fgets(chunk.data(), chunk.size(), pipe.get()) != nullptr) {
        output += chunk.data();
    }
    return output;
}

// An instrumented build records far fewer frames in the same time.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr bool kInstrumented = true;
#else
constexpr bool kInstrumented = false;
#endif

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

TEST_F(CaptureTest, SaveImageNeedsAProcessedFrameAndWritesTheOutputPicture) {
    addCamera("product=0x3090,name=cam0,fps=40,pattern=chart");
    CLumvek& self = start();
    const auto dir = makeTempDir("files");
    const std::string bmp = (dir / "frame.bmp").string();
    EXPECT_EQ(self.SaveImage(bmp.c_str(), 0), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_STATE);

    ASSERT_EQ(self.SetColorMode(24), 1);
    auto& picture = callbackBuffer(static_cast<size_t>(kW) * 3 * kH);
    ASSERT_EQ(self.SnapShot(picture.data(), static_cast<int>(picture.size()), 1), 1);
    ASSERT_EQ(self.SaveImage(bmp.c_str(), 0), 1);
    const auto file = readFile(bmp);
    ASSERT_EQ(file.size(), 54u + picture.size());
    // Stored bottom line first: the file's first pixel row is the picture's last.
    EXPECT_EQ(std::memcmp(file.data() + 54, picture.data() + static_cast<size_t>(kH - 1) * kW * 3, kW * 3), 0);
    EXPECT_EQ(self.SaveImage(bmp.c_str(), 7), 0);
    EXPECT_EQ(self.GetLastError(), 0);
    EXPECT_EQ(self.SaveImage((dir / "no-such-dir" / "x.png").string().c_str(), 5), 0);
    EXPECT_EQ(self.SaveImage(nullptr, 5), 0);

    EXPECT_EQ(self.Close(), 1);
    EXPECT_EQ(self.SaveImage(bmp.c_str(), 0), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_STATE);
}

TEST_F(CaptureTest, ARecordingOfTheRunningPreviewIsAValidAviFile) {
    if (run("command -v ffprobe").empty()) {
        GTEST_SKIP() << "ffprobe is not installed";
    }
    addCamera("product=0x3090,name=cam0,pattern=chart");  // the R13's own ~10.8 frames/s
    CLumvek& self = start();
    ASSERT_EQ(self.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(self.SetColorMode(8), 1);
    const std::string avi = (makeTempDir("files") / "clip.avi").string();
    EXPECT_EQ(self.Record("", 1000, 0), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_ARGUMENT);
    ASSERT_EQ(self.Record(avi.c_str(), 1500, 0), 1);
    EXPECT_EQ(internals(self).captureState(), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(kInstrumented ? 8000 : 2500));
    ASSERT_EQ(self.Close(), 1);

    const std::string probe = run("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                                  "stream=codec_name,pix_fmt,width,height,nb_read_frames,r_frame_rate -of default=nw=1 '" +
                                  avi + "'");
    EXPECT_NE(probe.find("codec_name=rawvideo"), std::string::npos) << probe;
    EXPECT_NE(probe.find("pix_fmt=bgr24"), std::string::npos) << probe;
    EXPECT_NE(probe.find("width=2336"), std::string::npos) << probe;
    EXPECT_NE(probe.find("height=1752"), std::string::npos) << probe;
    int frames = 0;
    const auto at = probe.find("nb_read_frames=");
    ASSERT_NE(at, std::string::npos) << probe;
    frames = std::atoi(probe.c_str() + at + 15);
    EXPECT_GE(frames, kInstrumented ? 1 : 8);
    EXPECT_LE(frames, 20);
}

TEST_F(CaptureTest, ARecordingStoppedEarlyIsStillReadable) {
    if (run("command -v ffprobe").empty()) {
        GTEST_SKIP() << "ffprobe is not installed";
    }
    addCamera("product=0x3090,name=cam0,fps=20,pattern=chart");
    CLumvek& self = start();
    ASSERT_EQ(self.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(self.SetColorMode(8), 1);
    const std::string avi = (makeTempDir("files") / "early.avi").string();
    ASSERT_EQ(self.Record(avi.c_str(), 60000, 0), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(kInstrumented ? 8000 : 600));
    ASSERT_EQ(self.StopPreview(), 1);
    const std::string probe =
        run("ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of default=nw=1 '" + avi + "'");
    const auto at = probe.find("nb_read_frames=");
    ASSERT_NE(at, std::string::npos) << probe;
    EXPECT_GE(std::atoi(probe.c_str() + at + 15), 1);
}

TEST_F(CaptureTest, MaskFilesSaveLoadAndRefuseWhatIsNotOne) {
    addCamera("product=0x3090,name=cam0,fps=40,pattern=chart");
    CLumvek& self = start();
    const auto dir = makeTempDir("mask");
    const std::string path = (dir / "fresh.msk").string();
    ASSERT_EQ(self.SaveMaskFile(path.c_str()), 1);
    const auto bytes = readFile(path);
    ASSERT_EQ(bytes.size(), 24556072u);
    EXPECT_EQ(std::memcmp(bytes.data(), "QUELRO MASK1000", 16), 0);
    EXPECT_EQ(bytes[40], 0);                 // dark 8-bit
    EXPECT_EQ(bytes[40 + 4092672], 255);     // white 8-bit
    EXPECT_EQ(bytes[40 + 2 * 4092672], 0);   // dark 16-bit
    EXPECT_EQ(bytes.back(), 0xFF);           // white 16-bit

    auto broken = bytes;
    broken[8] = 0x1F;  // width 2335 (0x91F)
    {
        std::ofstream out(dir / "width.msk", std::ios::binary);
        out.write(reinterpret_cast<const char*>(broken.data()), 40);
    }
    EXPECT_EQ(self.LoadMaskFile((dir / "width.msk").string().c_str()), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_MASK_FILE);
    EXPECT_EQ(self.LoadMaskFile((dir / "missing.msk").string().c_str()), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_MASK_FILE);
    EXPECT_EQ(self.LoadMaskFile(path.c_str()), 1);
    EXPECT_EQ(self.SaveMaskFile((dir / "no-dir" / "x.msk").string().c_str()), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_MASK_FILE);
}

TEST_F(CaptureTest, ADarkFrameGivesADarkMaskOfExactlyItsHotPixels) {
    // A dark scene with an 8 x 8 block at 193 inside the border (a lone hot
    // pixel would be taken out by the always-on spike filter first).
    std::vector<uint16_t> samples(static_cast<size_t>(kW) * kH, 10);
    for (int y = 500; y < 508; ++y) {
        for (int x = 700; x < 708; ++x) {
            samples[static_cast<size_t>(y) * kW + x] = 193;
        }
    }
    const auto scene = writePgm((makeTempDir("scene") / "dark.pgm").string(), kW, kH, 255, samples);
    addCamera("product=0x3090,name=cam0,fps=40,scene=" + scene);
    CLumvek& self = start();
    ASSERT_EQ(self.SetColorMode(8), 1);
    std::vector<uint8_t> frame(static_cast<size_t>(kW) * kH);
    ASSERT_EQ(self.SnapShot(frame.data(), static_cast<int>(frame.size()), 1), 1);

    EXPECT_EQ(self.UpdateMaskData(2), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_CONVERSION);
    ASSERT_EQ(self.UpdateMaskData(0), 1);
    auto access = internals(self).defectPlanes()->access();
    const ImageBuffer& mask = access.mask(PlaneDepth::Bits8, ReferenceKind::Dark);
    size_t expected = 0;
    size_t wrong = 0;
    for (int y = 2; y < kH - 2; ++y) {
        for (int x = 2; x < kW - 2; ++x) {
            const bool hot = frame[static_cast<size_t>(y) * kW + x] > 192;
            expected += hot;
            wrong += (mask.row(y)[x] == 1) != hot;
        }
    }
    EXPECT_GE(expected, 36u);  // at least the block's inside survives the spike filter
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(mask.row(503)[703], 1);
    EXPECT_EQ(mask.row(0)[0], 0);
}

TEST_F(CaptureTest, TheMaskFilterTurnsTheWhiteReferenceWhiteAndTheDarkReferenceBlack) {
    // Two cameras with two flat scenes: one frame of each becomes a reference.
    const auto dir = makeTempDir("scene");
    const auto bright = writePgm((dir / "bright.pgm").string(), kW, kH, 255,
                                 std::vector<uint16_t>(static_cast<size_t>(kW) * kH, 180));
    const auto dim = writePgm((dir / "dim.pgm").string(), kW, kH, 255,
                              std::vector<uint16_t>(static_cast<size_t>(kW) * kH, 40));
    addCamera("product=0x3090,name=cam0,fps=40,scene=" + bright);
    addCamera("product=0x3090,name=cam1,fps=40,scene=" + dim);
    CLumvek& self = start();
    ASSERT_EQ(self.SetColorMode(8), 1);
    std::vector<uint8_t> frame(static_cast<size_t>(kW) * kH);
    ASSERT_EQ(self.SetDeviceNumber(0), 1);
    ASSERT_EQ(self.SnapShot(frame.data(), static_cast<int>(frame.size()), 1), 1);
    ASSERT_EQ(self.UpdateMaskData(1), 1);  // white reference: 180 everywhere
    ASSERT_EQ(self.SetDeviceNumber(1), 1);
    ASSERT_EQ(self.SnapShot(frame.data(), static_cast<int>(frame.size()), 1), 1);
    ASSERT_EQ(self.UpdateMaskData(0), 1);  // dark reference: 40 everywhere

    ASSERT_EQ(self.SetFilterValue(103, 1), 1);
    ASSERT_EQ(self.SnapShot(frame.data(), static_cast<int>(frame.size()), 1), 1);
    EXPECT_EQ(frame[static_cast<size_t>(kH / 2) * kW + kW / 2], 0);
    ASSERT_EQ(self.SetDeviceNumber(0), 1);
    ASSERT_EQ(self.SnapShot(frame.data(), static_cast<int>(frame.size()), 1), 1);
    EXPECT_EQ(frame[static_cast<size_t>(kH / 2) * kW + kW / 2], 255);
    EXPECT_EQ(frame[static_cast<size_t>(100) * kW + 2000], 255);
}
