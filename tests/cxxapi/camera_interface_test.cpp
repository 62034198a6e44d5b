// lumvek::Camera and lumvek::listCameras against simulated cameras the
// library creates itself from LUMVEK_SIM_CAMERAS (set before its first use).
#include <gtest/gtest.h>

#include <cstdlib>
#include <lumvek/camera.hpp>
#include <vector>

namespace {

class CameraInterface : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Read by the library when it first looks for cameras.
        ::setenv("LUMVEK_SIM_CAMERAS",
                 "product=0x32D0,name=r12,pattern=ramp;product=0x3180,name=r05;"
                 "product=0x3090,name=r13;product=0x3220,name=g1467x",
                 1);
    }
};

const lumvek::CameraEntry* find(const std::vector<lumvek::CameraEntry>& list, int product) {
    for (const auto& entry : list) {
        if (entry.productId == product) return &entry;
    }
    return nullptr;
}

TEST_F(CameraInterface, ListsCamerasOfEveryProduct) {
    lumvek::Error error = lumvek::Error::Failed;
    const auto cameras = lumvek::listCameras(&error);
    EXPECT_EQ(error, lumvek::Error::None);
    ASSERT_EQ(cameras.size(), 4u);
    const auto* r13 = find(cameras, 0x3090);
    ASSERT_NE(r13, nullptr);
    EXPECT_EQ(r13->name, "Lumvek-D08-USB3-K7_00");
    EXPECT_TRUE(r13->openable);
    const auto* r12 = find(cameras, 0x32D0);
    ASSERT_NE(r12, nullptr);
    EXPECT_EQ(r12->name, "CSensorR12") << "products without a device name show their driver";
    EXPECT_EQ(r12->deviceNumber, 0);
}

TEST_F(CameraInterface, R12SnapsAFrameOfItsWindowAndReadsItsTemperature) {
    lumvek::Error error{};
    auto camera = lumvek::Camera::open(0x32D0, 0, error);
    ASSERT_TRUE(camera) << lumvek::errorText(error);
    const lumvek::CameraInfo info = camera->info();
    EXPECT_EQ(info.fullWidth, 4096);
    EXPECT_EQ(info.exposureMax, 10000000);
    EXPECT_TRUE(info.blackLevelAvailable);
    EXPECT_TRUE(info.exposureSecondsAvailable);
    ASSERT_EQ(camera->setWindow({0, 0, 512, 256, 0}), lumvek::Error::None);
    EXPECT_EQ(camera->frameBytes(), 512u * 256);
    std::vector<uint8_t> frame(camera->frameBytes() - 1);
    size_t written = 7;
    EXPECT_EQ(camera->snap(frame.data(), frame.size(), written, 5000), lumvek::Error::BufferTooSmall);
    EXPECT_EQ(written, 0u);
    frame.resize(camera->frameBytes());
    ASSERT_EQ(camera->snap(frame.data(), frame.size(), written, 5000), lumvek::Error::None);
    EXPECT_EQ(written, 512u * 256);
    EXPECT_LT(frame[0], frame[511]) << "the ramp, left to right";
    double celsius = 0;
    ASSERT_EQ(camera->temperature(celsius), lumvek::Error::None);
    EXPECT_NEAR(celsius, 25.0, 0.5);
    ASSERT_EQ(camera->setExposureSeconds(0.02), lumvek::Error::None);
    double seconds = 0;
    EXPECT_EQ(camera->exposureSeconds(seconds), lumvek::Error::None);
    EXPECT_DOUBLE_EQ(seconds, 0.02);
    EXPECT_EQ(camera->setBlackLevel(20000), lumvek::Error::InvalidArgument);
    EXPECT_EQ(camera->setBlackLevel(1000), lumvek::Error::None);
    EXPECT_EQ(camera->sendText("n\r\n"), lumvek::Error::Unsupported) << "only the R05 has a text link";
}

TEST_F(CameraInterface, R05ExchangesText) {
    lumvek::Error error{};
    auto camera = lumvek::Camera::open(0x3180, 0, error);
    ASSERT_TRUE(camera) << lumvek::errorText(error);
    EXPECT_TRUE(camera->info().textLink);
    ASSERT_EQ(camera->sendText("n\r\n"), lumvek::Error::None);
    std::string line;
    ASSERT_EQ(camera->receiveText(line), lumvek::Error::None);
    EXPECT_EQ(line, "LUMVEK-R05-CL\r\n");
    EXPECT_EQ(camera->setGain(256), lumvek::Error::InvalidArgument);
    ASSERT_EQ(camera->setGain(200), lumvek::Error::None);
    int gain = 0;
    camera->gain(gain);
    EXPECT_EQ(gain, 200);
}

TEST_F(CameraInterface, CoolingAndRangesOfTheG1467x) {
    lumvek::Error error{};
    auto camera = lumvek::Camera::open(0x3220, 0, error);
    ASSERT_TRUE(camera) << lumvek::errorText(error);
    double celsius = 0;
    EXPECT_NE(camera->temperature(celsius), lumvek::Error::None) << "cooler off";
    ASSERT_EQ(camera->setCooling(true), lumvek::Error::None);
    bool on = false;
    ASSERT_EQ(camera->cooling(on), lumvek::Error::None);
    EXPECT_TRUE(on);
    ASSERT_EQ(camera->temperature(celsius), lumvek::Error::None);
    EXPECT_NEAR(celsius, 25.0, 0.1);
    EXPECT_EQ(camera->setExposure(499), lumvek::Error::InvalidArgument);
    EXPECT_EQ(camera->setExposureSeconds(0.1), lumvek::Error::Unsupported);
}

TEST_F(CameraInterface, AbsentCamerasAndBadArgumentsAreErrors) {
    lumvek::Error error{};
    EXPECT_FALSE(lumvek::Camera::open(0x32D0, 1, error));
    EXPECT_EQ(error, lumvek::Error::NotFound);
    EXPECT_FALSE(lumvek::Camera::open(0x3300, 0, error));
    EXPECT_EQ(error, lumvek::Error::NotFound);
    auto camera = lumvek::Camera::open(0x3090, 0, error);
    ASSERT_TRUE(camera) << lumvek::errorText(error);
    size_t written = 0;
    EXPECT_EQ(camera->copyFrame(nullptr, 100, written), lumvek::Error::InvalidArgument);
    EXPECT_EQ(camera->waitFrame(-1), lumvek::Error::InvalidArgument);
    EXPECT_EQ(camera->setWindow({0, 0, 0, 10, 0}), lumvek::Error::InvalidArgument);
    EXPECT_STRNE(lumvek::errorText(lumvek::Error::Timeout), lumvek::errorText(lumvek::Error::Failed));
}

} // namespace
