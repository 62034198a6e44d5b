// The controller against the camera simulator, which decodes the real
// request packets: what it logged, frames it streamed, and its faults.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/fx3/driver_request.h"
#include "sim/in_process_camera.h"
#include "usb/quelro_cy3_cam.h"

namespace lumvek::test {
namespace {

using sim::Access;

class ControllerOnSimulator : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::string error;
        camera_ = sim::InProcessCamera::create("product=0x3090,name=" + name + ",pattern=ramp,fps=400", error);
        ASSERT_TRUE(camera_) << error;
        controller_ = std::make_unique<CQuelroCy3Cam>();
        const int entry = controller_->FindDeviceEntry(0x3090, 0);
        ASSERT_GE(entry, 0);
        ASSERT_EQ(controller_->SelectDevice(entry), 1);
        ASSERT_EQ(controller_->AllocateTransferBuffer(), 1);
        camera_->device().log().clear();
    }
    void TearDown() override {
        controller_.reset();
        camera_.reset();
    }
    void setWindow(uint16_t width, uint16_t height, uint8_t depth) {
        ASSERT_EQ(controller_->WriteFpgaRegister(0x44, static_cast<uint8_t>(width)), 1);
        ASSERT_EQ(controller_->WriteFpgaRegister(0x45, static_cast<uint8_t>(width >> 8)), 1);
        ASSERT_EQ(controller_->WriteFpgaRegister(0x40, static_cast<uint8_t>(height)), 1);
        ASSERT_EQ(controller_->WriteFpgaRegister(0x41, static_cast<uint8_t>(height >> 8)), 1);
        ASSERT_EQ(controller_->WriteFpgaRegister(60, depth), 1);
    }

    std::unique_ptr<sim::InProcessCamera> camera_;
    std::unique_ptr<CQuelroCy3Cam> controller_;
};

TEST_F(ControllerOnSimulator, RequestsArriveAsTheDeviceDecodesThem) {
    ASSERT_EQ(controller_->WriteSensorRegister32(0x8123, 0x00ABCDEF), 1);
    ASSERT_EQ(controller_->WriteSensorRegister32(0x0123, 0x00000042), 1);
    ASSERT_EQ(controller_->WriteFpgaRegister(0x07, 0x5A), 1);
    uint8_t value = 0;
    ASSERT_EQ(controller_->ReadFpgaRegister(0x07, &value), 1);
    EXPECT_EQ(value, 0x5A);

    const auto requests = camera_->device().log().requests();
    ASSERT_GE(requests.size(), 5u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.header.length, 102);
        EXPECT_EQ(request.header.timeoutMs, 3000u);
        EXPECT_EQ(request.header.dataOffset, 38u);
        EXPECT_EQ(request.header.dataLength, 64u);
    }
    EXPECT_EQ(requests[0].header.requestType, 0x40);
    EXPECT_EQ(requests[0].header.requestCode, 0xD0);
    const auto sensorWrites = camera_->device().log().accesses(Access::SensorWrite32);
    ASSERT_EQ(sensorWrites.size(), 2u);
    EXPECT_EQ(sensorWrites[0], (sim::RegisterAccess{Access::SensorWrite32, 0x8123, 0x00ABCDEF}));
    EXPECT_EQ(sensorWrites[1], (sim::RegisterAccess{Access::SensorWrite32, 0x0123, 0x42}));
    const auto fpgaWrites = camera_->device().log().accesses(Access::FpgaWrite);
    ASSERT_EQ(fpgaWrites.size(), 1u);
    EXPECT_EQ(fpgaWrites[0].address, 0x07u);
    EXPECT_EQ(fpgaWrites[0].value, 0x5Au);
}

TEST_F(ControllerOnSimulator, StreamsAWholeFrameIntoTheDestination) {
    setWindow(640, 9, 1);
    ASSERT_EQ(controller_->OpenStream(), 1);
    std::vector<uint8_t> pixels(640 * 9 + 512, 0xA5);
    FrameRecord record;
    record.destination = pixels.data();
    record.capacity = 640 * 9;
    ASSERT_EQ(controller_->ReadFrameHeader(&record), 1);
    EXPECT_EQ(record.pixelDataBytes(), 640u * 9u);
    ASSERT_EQ(controller_->ReadFrameData(&record, 3000), 1);
    EXPECT_EQ(pixels[640 * 9], 0xA5);  // nothing past the frame
    // The ramp pattern, as an R13 sends it (each row right to left).
    EXPECT_EQ(pixels[0], 255);
    EXPECT_EQ(pixels[639], 0);
    EXPECT_EQ(pixels[640], 255);
}

TEST_F(ControllerOnSimulator, LostHeadersArePulsedAway) {
    setWindow(64, 4, 1);
    std::string error;
    ASSERT_TRUE(camera_->device().faults().set("drop-headers", "2", error)) << error;
    camera_->device().log().clear();
    FrameRecord record;
    ASSERT_EQ(controller_->ReadFrameHeader(&record), 1);
    EXPECT_EQ(record.pixelDataBytes(), 64u * 4u);
    std::vector<std::pair<uint32_t, uint32_t>> pulses;
    for (const auto& access : camera_->device().log().accesses(Access::FpgaWrite)) {
        pulses.emplace_back(access.address, access.value);
    }
    EXPECT_EQ(pulses, (std::vector<std::pair<uint32_t, uint32_t>>{{0x6C, 1}, {0x6C, 0}, {0x6C, 1}, {0x6C, 0}}));
}

TEST_F(ControllerOnSimulator, OversizedAndShortFramesAreRefused) {
    setWindow(256, 8, 1);
    ASSERT_EQ(controller_->OpenStream(), 1);
    std::vector<uint8_t> pixels(256 * 8);
    FrameRecord record;
    record.destination = pixels.data();
    record.capacity = static_cast<uint32_t>(pixels.size());
    std::string error;
    ASSERT_TRUE(camera_->device().faults().set("oversize", "1", error)) << error;
    ASSERT_EQ(controller_->ReadFrameHeader(&record), 1);
    EXPECT_GT(record.pixelDataBytes(), record.capacity);
    EXPECT_EQ(controller_->ReadFrameData(&record, 300), 0);

    ASSERT_TRUE(camera_->device().faults().set("short-data", "1", error)) << error;
    ASSERT_EQ(controller_->ReadFrameHeader(&record), 1);
    EXPECT_EQ(controller_->ReadFrameData(&record, 300), 0);

    // The next frame is whole again.
    ASSERT_EQ(controller_->ReadFrameHeader(&record), 1);
    EXPECT_EQ(controller_->ReadFrameData(&record, 3000), 1);
}

TEST_F(ControllerOnSimulator, UnplugMidStreamFailsRequestsAndReads) {
    setWindow(64, 4, 1);
    ASSERT_EQ(controller_->OpenStream(), 1);
    camera_->unplug();
    FrameRecord record;
    EXPECT_EQ(controller_->ReadFrameHeader(&record), 0);
    EXPECT_EQ(controller_->WriteFpgaRegister(1, 1), 0);
    EXPECT_EQ(controller_->CountDevicesOfProduct(0x3090), 0);
    EXPECT_EQ(controller_->EnumerateDevices(), 1);
}

} // namespace
} // namespace lumvek::test
