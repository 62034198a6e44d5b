// Streaming from the camera simulator through the whole stack: sensor
// driver, device object, controller and driver stand-in.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "device_fixture.h"
#include "sim/register_log.h"
#include "usb/quelro_cy3_cam.h"

namespace lumvek::test {
namespace {

class SimulatorStreaming : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        camera_ = sim::InProcessCamera::create("product=0x3090,name=" + currentTestName() + ",pattern=ramp,fps=100",
                                               error);
        ASSERT_TRUE(camera_) << error;
        device_ = std::make_unique<CLumvekUSB3K7SimpleSdk>();
        ASSERT_EQ(device_->SetProductId(0x3090), 1);
        ASSERT_EQ(device_->CreateController(nullptr), 1);
        ASSERT_EQ(device_->CountDevices(0x3090), 1);
        ASSERT_EQ(device_->IsDeviceNumberPresent(0), 1);
        ASSERT_EQ(device_->CreateSensor(0), 1);
    }
    // Waits for a new frame with a generous bound; 3, or the last result.
    int waitForNewFrame() {
        int result = 2;
        for (int i = 0; i < 60 && result == 2; ++i) {
            result = device_->WaitFrame(1000);
        }
        return result;
    }
    void TearDown() override {
        device_.reset();
        camera_.reset();
    }
    std::unique_ptr<sim::InProcessCamera> camera_;
    std::unique_ptr<CLumvekUSB3K7SimpleSdk> device_;
};

TEST_F(SimulatorStreaming, ContinuousFramesArriveAndCopyOut) {
    ASSERT_EQ(device_->StartAcquisition(0), 1);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(waitForNewFrame(), 3) << i;
        std::vector<uint8_t> frame(static_cast<size_t>(device_->frameByteCount()));
        ASSERT_EQ(device_->GetLatestFrame(frame.data(), frame.size(), 1), 0);
        // The ramp, with the R13's right-to-left rows undone: dark on the left.
        EXPECT_LT(frame[0], frame[frame.size() / 2 - 1]);
    }
    EXPECT_EQ(device_->StopAcquisition(), 1);
    EXPECT_FALSE(device_->acquisitionRunning());
}

TEST_F(SimulatorStreaming, UnplugWhileStreamingEndsInAFailedTransfer) {
    ASSERT_EQ(device_->StartAcquisition(0), 1);
    ASSERT_EQ(waitForNewFrame(), 3);
    camera_->unplug();
    int result = 0;
    for (int i = 0; i < 60 && result != 1; ++i) {
        result = device_->WaitFrame(500);
    }
    EXPECT_EQ(result, 1);
    EXPECT_EQ(device_->stepWaitAcquisitionEnd(10000), 1);
    EXPECT_EQ(device_->StopAcquisition(), 1);
    EXPECT_EQ(device_->IsDeviceNumberPresent(0), 0);
}

// A second device object in the same process opening another camera must
// not touch the one already streaming. Its controller starts out bound to
// table entry 0 (this fixture's camera) until it selects its own, and the
// stop that precedes every open used to send the FPGA reset pulse and the
// stream restart there: the streaming camera lost the frame in flight.
TEST_F(SimulatorStreaming, OpeningAnotherCameraLeavesAStreamingOneAlone) {
    std::string error;
    auto second = sim::InProcessCamera::create(
        "product=0x3090,name=" + currentTestName() + "-second,pattern=ramp,fps=100", error);
    ASSERT_TRUE(second) << error;
    ASSERT_EQ(device_->StartAcquisition(0), 1);
    ASSERT_EQ(waitForNewFrame(), 3);
    camera_->device().log().clear();

    auto other = std::make_unique<CLumvekUSB3K7SimpleSdk>();
    ASSERT_EQ(other->SetProductId(0x3090), 1);
    ASSERT_EQ(other->CreateController(nullptr), 1);
    // The streaming camera is held by this fixture's device object: only the
    // second counts as openable for another one, as for another process.
    ASSERT_EQ(other->CountDevices(0x3090), 1);
    ASSERT_EQ(other->CreateSensor(1), 1);
    ASSERT_EQ(other->StartAcquisition(0), 1);
    ASSERT_EQ(other->StopAcquisition(), 1);
    other.reset();

    EXPECT_TRUE(camera_->device().log().accesses(sim::Access::FpgaWrite).empty());
    for (const sim::ControlRecord& request : camera_->device().log().requests()) {
        EXPECT_NE(request.header.requestCode, vendor::kRestartStream);
    }
    // The second camera did get its own stop steps.
    EXPECT_FALSE(second->device().log().accesses(sim::Access::FpgaWrite).empty());
    EXPECT_EQ(waitForNewFrame(), 3);
    EXPECT_EQ(device_->StopAcquisition(), 1);
}

TEST_F(SimulatorStreaming, AnAbsentDeviceNumberDoesNotOpen) {
    EXPECT_EQ(device_->OpenDeviceNumber(1), -1);
    EXPECT_FALSE(device_->acquisitionRunning());
    EXPECT_EQ(device_->OpenDeviceNumber(0), 0);
}

} // namespace
} // namespace lumvek::test
