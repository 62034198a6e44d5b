// Opening, naming and using simulated cameras through the exports.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "LumvekSdk.h"
#include "LumvekWindow.h"

namespace {

// The in-process cameras are made at the library's first look for cameras,
// once per process: every test here sets the same list.
constexpr const char* kCameras =
    "product=0x3090,name=r13a,fps=40,pattern=chart;"
    "product=0x3200,name=other,fps=40;"
    "product=0x3090,name=r13b,fps=40,pattern=ramp";

class CameraApi : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("LUMVEK_SIM_CAMERAS", kCameras, 1); }
    void TearDown() override {
        if (handle_ != 0) {
            EXPECT_EQ(Lumvek_Release(handle_), 1);
        }
    }
    int32_t handle_ = 0;
};

} // namespace

TEST_F(CameraApi, TwoCamerasAreNamedAndNeitherIsOpenedUntilChosen) {
    handle_ = Lumvek_Initialize(nullptr);
    ASSERT_NE(handle_, 0);
    char names[10][256];
    EXPECT_EQ(Lumvek_EnumDevice(handle_, names), 2);
    EXPECT_STREQ(names[0], "LumvekR13-USB3-K7_01");
    EXPECT_STREQ(names[1], "LumvekR13-USB3-K7_02");
    EXPECT_STREQ(names[2], "");
    LUMVEK_WCHAR wide[10][256];
    EXPECT_EQ(Lumvek_EnumDeviceW(handle_, wide), 2);
    EXPECT_EQ(wide[1][17], u'_');

    // Nothing is open yet: the camera refuses the window a snapshot needs.
    std::vector<uint8_t> frame(2336 * 1752);
    EXPECT_EQ(Lumvek_SetColorMode(handle_, 8), 1);
    EXPECT_EQ(Lumvek_SnapShot(handle_, frame.data(), static_cast<int>(frame.size()), 1), 0);
    EXPECT_EQ(Lumvek_GetLastError(handle_), LUMVEK_ERR_WINDOW_SIZE);

    // Number 1 is the second R13 although another product stands between them.
    ASSERT_EQ(Lumvek_SetDeviceNumber(handle_, 1), 1);
    ASSERT_EQ(Lumvek_SnapShot(handle_, frame.data(), static_cast<int>(frame.size()), 1), 1);
    EXPECT_EQ(Lumvek_SetDeviceNumber(handle_, 2), 0);
    EXPECT_EQ(Lumvek_GetLastError(handle_), LUMVEK_ERR_NO_CAMERA);
    char name[32];
    EXPECT_EQ(Lumvek_GetDeviceName(handle_, 1, name, 21), 1);
    EXPECT_STREQ(name, "LumvekR13-USB3-K7_02");
}

TEST_F(CameraApi, CameraInformationAndDeviceSettingsReachTheCamera) {
    handle_ = Lumvek_Initialize(nullptr);
    ASSERT_EQ(Lumvek_SetDeviceNumber(handle_, 0), 1);
    alignas(8) uint8_t bytes[64];
    std::memset(bytes, 0xCD, sizeof bytes);
    auto* info = reinterpret_cast<LumvekCameraInfo*>(bytes);
    info->size = 36;
    ASSERT_EQ(Lumvek_GetCameraInfo(handle_, info), 1);
    EXPECT_EQ(info->fullWidth, 2336);
    EXPECT_EQ(info->globalGainMin, 15);
    EXPECT_EQ(info->globalGainMax, 1023);
    EXPECT_EQ(bytes[40], 0xCD);
    info->size = 35;
    EXPECT_EQ(Lumvek_GetCameraInfo(handle_, info), 0);
    EXPECT_EQ(Lumvek_GetLastError(handle_), LUMVEK_ERR_MEMORY);

    EXPECT_EQ(Lumvek_SetGlobalGain(handle_, 1024), 0);
    EXPECT_EQ(Lumvek_GetLastError(handle_), LUMVEK_ERR_ARGUMENT);
    EXPECT_EQ(Lumvek_SetGlobalGain(handle_, 512), 1);
    int ok = 0;
    EXPECT_EQ(Lumvek_GetGlobalGain(handle_, &ok), 512);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Lumvek_SetExposureTime(handle_, 0), 0);
    EXPECT_EQ(Lumvek_SetExposureTime(handle_, 8192), 0);
    EXPECT_EQ(Lumvek_SetExposureTime(handle_, 1000), 1);

    // Features this camera does not have.
    EXPECT_EQ(Lumvek_SetExposureTimeEx(handle_, 0.1), 0);
    EXPECT_EQ(Lumvek_GetLastError(handle_), LUMVEK_ERR_UNSUPPORTED);
    EXPECT_EQ(Lumvek_GetTemperatureEx(handle_, &ok), 0.0);
    EXPECT_EQ(Lumvek_GetLastError(handle_), LUMVEK_ERR_UNSUPPORTED);
    EXPECT_EQ(Lumvek_SetFilterValue(handle_, 106, 1), 0);
    EXPECT_EQ(Lumvek_GetLastError(handle_), LUMVEK_ERR_UNSUPPORTED);
    EXPECT_EQ(Lumvek_SetPeltier(handle_, 1), 0);
    EXPECT_EQ(Lumvek_GetLastError(handle_), LUMVEK_ERR_UNSUPPORTED);

    // Sensor registers: the R13 answers from the shadow of what was written.
    EXPECT_EQ(Lumvek_ReadRegisterEx(handle_, 0x8044, &ok), 0x5155);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Lumvek_ReadRegisterEx(handle_, 0x0FFF, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Lumvek_GetLastError(handle_), LUMVEK_ERR_TRANSFER);
    // 1000 x 0.1 ms is longer than the CCD can expose: it reports what it does.
    EXPECT_EQ(Lumvek_GetExposureTime(handle_, &ok), 232);

    // The I/O port is FPGA register 7.
    EXPECT_EQ(Lumvek_SetIOPort(handle_, 0x5A), 1);
    unsigned char port = 0;
    EXPECT_EQ(Lumvek_GetIOPort(handle_, &port), 1);
    EXPECT_EQ(port, 0x5A);
    EXPECT_EQ(Lumvek_Fpga_ReadRegister(handle_, 7, &ok), 0x5A);
}

TEST_F(CameraApi, ProcessedColourFramesAndStillFilesThroughTheExports) {
    handle_ = Lumvek_Initialize(nullptr);
    ASSERT_EQ(Lumvek_SetDeviceNumber(handle_, 0), 1);
    ASSERT_EQ(Lumvek_SetColorMode(handle_, 24), 1);
    ASSERT_EQ(Lumvek_SetGamma(handle_, 150), 1);
    ASSERT_EQ(Lumvek_SetSharpness(handle_, 5), 1);
    const int stride = (2336 * 3 + 3) & ~3;
    std::vector<uint8_t> picture(static_cast<size_t>(stride) * 1752);
    ASSERT_EQ(Lumvek_SnapShot(handle_, picture.data(), static_cast<int>(picture.size()) - 1, 1), 0);
    EXPECT_EQ(Lumvek_GetLastError(handle_), LUMVEK_ERR_MEMORY);
    ASSERT_EQ(Lumvek_SnapShot(handle_, picture.data(), static_cast<int>(picture.size()), 1), 1);
    // The chart is in colour: some pixel has clearly different channels.
    bool colour = false;
    for (size_t i = 0; i + 2 < picture.size() && !colour; i += 3 * 97) {
        colour = std::abs(picture[i] - picture[i + 2]) > 40;
    }
    EXPECT_TRUE(colour);
    const std::string dir = ::testing::TempDir();
    const std::string png = dir + "/lumvek-e2e.png";
    EXPECT_EQ(Lumvek_SaveImage(handle_, png.c_str(), LUMVEK_FILE_PNG), 1);
    EXPECT_EQ(Lumvek_SaveImageW(handle_, u"/nonexistent-dir/x.bmp", LUMVEK_FILE_BMP), 0);
    std::remove(png.c_str());
}
