// The device object's own rules: the frame time-out that follows the
// exposure, the exposure of the product that is reprogrammed only between
// frames, the acquisition modes driven by the FPGA frame tag, and the
// optional sensor features it passes on for products that have them.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "device_fixture.h"
#include "platform/diag/thread_start.h"
#include "sensors/sensor_base.h"

namespace lumvek::test {
namespace {

constexpr uint8_t kFrameTagRegister = 8;

using DeviceObject = ScriptedDeviceTest;

TEST_F(DeviceObject, TheFrameTimeoutFollowsTheExposure) {
    EXPECT_EQ(device_->frameTimeoutMs(), 5000);
    (void)device_->SetExposure(50001);  // the R13 refuses it; the time-out is set first all the same
    EXPECT_EQ(device_->frameTimeoutMs(), 10000);
    (void)device_->SetExposure(50000);
    EXPECT_EQ(device_->frameTimeoutMs(), 5000);
    (void)device_->SetExposure(123456);
    EXPECT_EQ(device_->frameTimeoutMs(), 24691);

    // In seconds: only exposures above 2 s lengthen it, to one second more.
    (void)device_->SetExposure(1);
    (void)device_->SetExposureSeconds(2.0);
    EXPECT_EQ(device_->frameTimeoutMs(), 5000);
    (void)device_->SetExposureSeconds(3.5);
    EXPECT_EQ(device_->frameTimeoutMs(), 4500);
    (void)device_->SetExposureSeconds(2.0009);
    EXPECT_EQ(device_->frameTimeoutMs(), 3000);
}

TEST_F(DeviceObject, ModeThreeReadsOneHeaderAndKeepsItsTag) {
    queueFrame(0x2A);  // the header carries tag 0x2A
    ASSERT_EQ(device_->StartAcquisition(3), 1);
    ASSERT_EQ(device_->stepWaitAcquisitionEnd(5000), 1);
    EXPECT_EQ(device_->lastFrameTag(), 0x2A);
    EXPECT_EQ(device_->framesStored(), 0u);
    EXPECT_EQ(device_->WaitFrame(100), 2);
    ASSERT_EQ(camera_->bulkReads().size(), 1u);  // no pixel data was asked for
    EXPECT_EQ(camera_->bulkReads()[0].asked, 64u);
}

TEST_F(DeviceObject, ModeTwoStoresOneFrameOnceTheFrameTagMoves) {
    ASSERT_EQ(device_->WriteFpgaRegister(kFrameTagRegister, 4), 1);
    queueFrame(0x11);
    ASSERT_EQ(device_->StartAcquisition(2), 1);
    EXPECT_EQ(device_->lastFrameTag(), 4);  // read when the mode was set
    EXPECT_EQ(device_->WaitFrame(300), 2);
    EXPECT_TRUE(camera_->bulkReads().empty());  // no transfer while the tag stands still

    ASSERT_EQ(device_->WriteFpgaRegister(kFrameTagRegister, 5), 1);
    EXPECT_EQ(device_->WaitFrame(5000), 3);
    ASSERT_EQ(device_->stepWaitAcquisitionEnd(5000), 1);
    EXPECT_EQ(device_->framesStored(), 1u);
    EXPECT_EQ(device_->lastFrameTag(), 5);  // the register's tag, not the header's
    std::vector<uint8_t> frame(frameBytes_);
    ASSERT_EQ(device_->GetLatestFrame(frame.data(), frame.size(), 1), 0);
    EXPECT_EQ(frame[0], 0x11);
}

TEST_F(DeviceObject, ChangingTheModeStopsARunningAcquisition) {
    queueFrame(1);
    ASSERT_EQ(device_->StartAcquisition(0), 1);
    ASSERT_TRUE(waitForStoredFrames(1));
    EXPECT_TRUE(device_->acquisitionRunning());
    // The thread now waits for a header that never comes. Stopping cuts its
    // 30 re-armed attempts short instead of letting them run out.
    ASSERT_EQ(device_->SetAcquisitionMode(1), 1);
    EXPECT_FALSE(device_->acquisitionRunning());
    EXPECT_LT(camera_->controls(0xC2).size(), 20u);  // arm requests
    EXPECT_EQ(device_->WaitFrame(0), 2);            // a stop is not a failed transfer
    EXPECT_EQ(device_->SetAcquisitionMode(1), 1);  // unchanged: nothing to stop

    // Frame reads work again after the stop.
    queueFrame(2);
    ASSERT_EQ(device_->StartAcquisition(1), 1);
    EXPECT_EQ(device_->WaitFrame(5000), 3);
}

// Product 0x3200's sensor is reprogrammed only between frames.
class DeferredExposureProduct : public ScriptedDeviceTest {
protected:
    void SetUp() override { openProduct(0x3200); }
};

TEST_F(DeferredExposureProduct, TheTransferThreadAppliesTheExposureBeforeTheNextFrame) {
    EXPECT_EQ(device_->SetExposure(60000), 1);  // accepted now, applied later
    EXPECT_EQ(device_->frameTimeoutMs(), 12000);
    EXPECT_TRUE(device_->deferredExposurePending());
    queueFrame(9);
    ASSERT_EQ(device_->StartAcquisition(1), 1);
    EXPECT_EQ(device_->WaitFrame(5000), 3);
    EXPECT_FALSE(device_->deferredExposurePending());
}

TEST_F(DeviceObject, TheR13OffersNoneOfTheOptionalFeatures) {
    double seconds = -1.0;
    int value = -1;
    EXPECT_EQ(device_->IsExposureTimeExAvailable(), 0);
    EXPECT_EQ(device_->SetExposureSeconds(0.5), 0);
    EXPECT_EQ(device_->IsBlackLevelAvailable(), 0);
    EXPECT_EQ(device_->IsTemperatureAvailable(), 0);
    EXPECT_EQ(device_->GetTemperature(&seconds), 0);
    EXPECT_EQ(device_->IsCoolingSupported(), 0);
    EXPECT_EQ(device_->SetCooling(1), 0);
    EXPECT_EQ(device_->IsShortExposureModeAvailable(), 0);
    EXPECT_EQ(device_->GetShortExposureMode(&value), 0);
    EXPECT_EQ(device_->GetGainMode(), -1);
}

// The seconds exposure and black level of a product that has them, through
// the camera simulator (the SDK instance itself opens only the R13).
TEST(ForwardedFeatures, SecondsExposureAndBlackLevelOfProduct32D0) {
    std::string error;
    auto camera = sim::InProcessCamera::create("product=0x32D0,name=" + currentTestName(), error);
    ASSERT_TRUE(camera) << error;
    CLumvekUSB3K7SimpleSdk device;
    ASSERT_EQ(device.SetProductId(0x32D0), 1);
    ASSERT_EQ(device.CreateController(nullptr), 1);
    (void)device.CreateSensor(0);  // its start-up arrives with the family drivers
    ASSERT_NE(device.sensor(), nullptr);

    EXPECT_EQ(device.IsExposureTimeExAvailable(), 1);
    double seconds = 0.0;
    EXPECT_EQ(device.GetExposureTimeExMin(&seconds), 1);
    EXPECT_DOUBLE_EQ(seconds, 0.0001);
    EXPECT_EQ(device.GetExposureTimeExMax(&seconds), 1);
    EXPECT_DOUBLE_EQ(seconds, 1000.0);
    EXPECT_EQ(device.GetExposureTimeExDefault(&seconds), 1);
    EXPECT_DOUBLE_EQ(seconds, 0.01);
    (void)device.SetExposureSeconds(4.25);
    EXPECT_EQ(device.frameTimeoutMs(), 5250);

    EXPECT_EQ(device.IsBlackLevelAvailable(), 1);
    int level = 0;
    EXPECT_EQ(device.GetBlackLevelDefault(&level), 1);
    EXPECT_EQ(level, 15680);
    EXPECT_EQ(device.sensor()->descriptor().blackLevel.maximum, 16383);
}

} // namespace
} // namespace lumvek::test

namespace lumvek::test {
namespace {

// A transfer thread the system refuses to start leaves no running flag
// behind: the stop that follows returns at once (it used to wait for ever
// on an end event nobody would set), and the next start works.
TEST_F(DeviceObject, ATransferThreadThatCannotStartLeavesNothingToWaitFor) {
    platform::failNextThreadStarts(1);
    EXPECT_EQ(device_->StartAcquisition(0), 0);
    const auto stopping = std::chrono::steady_clock::now();
    EXPECT_EQ(device_->StopAcquisition(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(1));

    queueFrame(7);
    ASSERT_EQ(device_->StartAcquisition(1), 1);
    EXPECT_EQ(device_->WaitFrame(5000), 3);
}

} // namespace
} // namespace lumvek::test
