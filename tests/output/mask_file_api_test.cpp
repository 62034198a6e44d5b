// Mask files through the exported calls against a simulated camera with an
// exact scene: a truncated file is refused with code 14 and the corrected
// picture stays as it was; the whole file does change it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "LumvekSdk.h"
#include "output/mask/mask_file.h"
#include "support/test_env.h"

namespace lumvek {
namespace {

constexpr int kMaskFilterSelector = 103;
constexpr uint8_t kDark8 = 12;
constexpr uint8_t kWhite8 = 180;
constexpr uint16_t kDark16 = 0x0300;
constexpr uint16_t kWhite16 = 0xB000;

void appendU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A whole mask file whose references differ from a fresh instance's (dark 0,
// white full scale), so loading it changes the flat-field correction.
std::vector<uint8_t> distinctMaskFile() {
    std::vector<uint8_t> bytes(kMaskMagic, kMaskMagic + sizeof kMaskMagic);
    appendU32(bytes, kMaskWidth);
    appendU32(bytes, kMaskHeight);
    for (const uint32_t size : {kMaskPlane8Bytes, kMaskPlane8Bytes, kMaskPlane16Bytes, kMaskPlane16Bytes}) {
        appendU32(bytes, size);
    }
    bytes.insert(bytes.end(), kMaskPlane8Bytes, kDark8);
    bytes.insert(bytes.end(), kMaskPlane8Bytes, kWhite8);
    for (const uint16_t word : {kDark16, kWhite16}) {
        for (uint32_t i = 0; i < kMaskPlane16Bytes / 2; ++i) {
            bytes.push_back(static_cast<uint8_t>(word));
            bytes.push_back(static_cast<uint8_t>(word >> 8));
        }
    }
    return bytes;
}

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes, size_t count) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(count));
}

// A full-size 8-bit scene with a gradient in both directions.
std::string writeScene() {
    const auto path = test::processTempDir() / "mask-scene.pgm";
    std::ofstream out(path, std::ios::binary);
    out << "P5\n" << kMaskWidth << " " << kMaskHeight << "\n255\n";
    std::vector<uint8_t> row(kMaskWidth);
    for (int y = 0; y < kMaskHeight; ++y) {
        for (int x = 0; x < kMaskWidth; ++x) row[x] = static_cast<uint8_t>(40 + (x + y) % 160);
        out.write(reinterpret_cast<const char*>(row.data()), static_cast<std::streamsize>(row.size()));
    }
    return path.string();
}

class MaskFileApi : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static const std::string cameras = "product=0x3090,name=maskcam,fps=40,scene=" + writeScene();
        setenv("LUMVEK_SIM_CAMERAS", cameras.c_str(), 1);
    }
    void SetUp() override {
        handle_ = Lumvek_Initialize(nullptr);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Lumvek_SetColorMode(handle_, 8), 1);
        ASSERT_EQ(Lumvek_SetFilterValue(handle_, kMaskFilterSelector, 1), 1);
    }
    void TearDown() override {
        if (handle_ != 0) {
            EXPECT_EQ(Lumvek_Release(handle_), 1);
        }
    }
    std::vector<uint8_t> snap() {
        std::vector<uint8_t> picture(static_cast<size_t>(kMaskWidth) * kMaskHeight);
        EXPECT_EQ(Lumvek_SnapShot(handle_, picture.data(), static_cast<int>(picture.size()), 1), 1)
            << "code " << Lumvek_GetLastError(handle_);
        return picture;
    }
    int32_t handle_ = 0;
};

TEST_F(MaskFileApi, TruncatedFilesAreCodeFourteenAndLeaveTheCorrectedPictureAsItWas) {
    const std::vector<uint8_t> before = snap();
    ASSERT_EQ(before, snap()) << "the scene must give the same picture every time";

    const std::vector<uint8_t> whole = distinctMaskFile();
    ASSERT_EQ(whole.size(), kMaskFileBytes);
    const auto path = test::makeTempDir("mask-api") / "cut.msk";
    const struct {
        const char* name;
        size_t bytes;
    } cuts[] = {
        {"header only", kMaskHeaderBytes},
        {"half the file", kMaskFileBytes / 2},
        {"one byte short", kMaskFileBytes - 1},
    };
    while (Lumvek_GetLastError(handle_) != 0) {
    }
    for (const auto& cut : cuts) {
        writeFile(path, whole, cut.bytes);
        EXPECT_EQ(Lumvek_LoadMaskFile(handle_, path.string().c_str()), 0) << cut.name;
        EXPECT_EQ(Lumvek_GetLastError(handle_), 14) << cut.name;
        EXPECT_EQ(Lumvek_GetLastError(handle_), 0) << cut.name << ": one code per failure";
        EXPECT_TRUE(snap() == before) << cut.name << " changed the corrected picture";
    }

    // The same bytes whole do change it: the comparison above can see a load.
    writeFile(path, whole, whole.size());
    ASSERT_EQ(Lumvek_LoadMaskFile(handle_, path.string().c_str()), 1);
    EXPECT_FALSE(snap() == before);
}

} // namespace
} // namespace lumvek
