// CSensorR13 against the simulated R13 camera: what the driver's settings
// make reach the device, checked in the camera's own register log and state.
#include <gtest/gtest.h>

#include "r13_expected_init.h"
#include "sensors/ccd/sensor_r13.h"
#include "simulated_r13.h"

namespace lumvek {
namespace {

using sim::Access;
using sim::RegisterAccess;

class R13OnSimulator : public test::SimulatedCameraFixture {
protected:
    void SetUp() override {
        attach("product=0x3090,pattern=black");
        sensor_ = std::make_unique<CSensorR13>(controller_.get(), 0);
    }
    void TearDown() override {
        sensor_.reset();
        SimulatedCameraFixture::TearDown();
    }
    int exposureRegister() { return device().fpgaRegister(0xE3) << 8 | device().fpgaRegister(0xE2); }

    std::unique_ptr<CSensorR13> sensor_;
};

TEST_F(R13OnSimulator, InitialisationWritesReachTheDeviceInOrder) {
    device().log().clear();
    ASSERT_EQ(sensor_->InitializeSensor(), 1);
    const auto expected = test::expectedR13InitWrites();
    const auto writes = accesses(Access::SensorWrite32);
    ASSERT_EQ(writes.size(), expected.size() + 2);
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(writes[i], (RegisterAccess{Access::SensorWrite32, expected[i].first, expected[i].second}))
            << "write " << i;
    }
    EXPECT_EQ(writes[514], (RegisterAccess{Access::SensorWrite32, 0x8005, 350}));
    EXPECT_EQ(writes[515], (RegisterAccess{Access::SensorWrite32, 0x0005, 350}));

    const auto fpga = accesses(Access::FpgaWrite);
    const auto flags = test::expectedR13InitFlags();
    ASSERT_GE(fpga.size(), flags.size() + 4);
    for (size_t i = 0; i < flags.size(); ++i) {
        EXPECT_EQ(fpga[i], (RegisterAccess{Access::FpgaWrite, flags[i], 1})) << "flag " << i;
    }
    EXPECT_EQ(exposureRegister(), 1);
    EXPECT_EQ(device().fpgaRegister(0x3F) & 0x03, 0);
}

TEST_F(R13OnSimulator, ShadowAnswersReadsWithoutAskingTheCamera) {
    ASSERT_EQ(sensor_->InitializeSensor(), 1);
    device().log().clear();
    uint32_t value = 0;
    ASSERT_EQ(sensor_->ReadRegister(0x8044, &value), 1);
    EXPECT_EQ(value, 0x5155u);
    EXPECT_EQ(sensor_->ReadRegister(0x8FFF, &value), 0);
    EXPECT_TRUE(accesses(Access::SensorRead16).empty());
    // The camera itself agrees: its identification text over request 0xD1.
    uint32_t fromCamera = 0;
    ASSERT_EQ(controller_->ReadSensorRegister16(0x8044, &fromCamera), 1);
    EXPECT_EQ(fromCamera, 0x5155u);
}

TEST_F(R13OnSimulator, ExposureTimeProgramsTheInvertedLineRegister) {
    ASSERT_EQ(sensor_->SetExposureTime(1000), 1);
    int stored = 0;
    sensor_->GetExposureTime(&stored);
    EXPECT_EQ(stored, 232);
    EXPECT_EQ(exposureRegister(), 1);
    ASSERT_EQ(sensor_->SetExposureTime(100), 1);
    EXPECT_EQ(exposureRegister(), 514);
    ASSERT_EQ(sensor_->SetExposureTime(1), 1);
    EXPECT_EQ(exposureRegister(), 898);
    EXPECT_EQ(sensor_->SetExposureTime(0), 0);
    EXPECT_EQ(exposureRegister(), 898);
    // Shorter exposure, same readout: the frame period stays the CCD's.
    EXPECT_NEAR(device().framePeriodMs(), 2836.0 * 1952 / 60000, 0.01);
}

TEST_F(R13OnSimulator, GainWordReachesBothBanks) {
    device().log().clear();
    ASSERT_EQ(sensor_->SetGlobalGain(1023), 1);
    ASSERT_EQ(sensor_->SetGlobalGain(15), 1);
    const std::vector<RegisterAccess> expected{{Access::SensorWrite32, 0x8005, 1023},
                                               {Access::SensorWrite32, 0x0005, 1023},
                                               {Access::SensorWrite32, 0x8005, 15},
                                               {Access::SensorWrite32, 0x0005, 15}};
    EXPECT_EQ(accesses(Access::SensorWrite32), expected);
    uint32_t word = 0;
    ASSERT_EQ(controller_->ReadSensorRegister16(0x0005, &word), 1);
    EXPECT_EQ(word, 15u);
}

TEST_F(R13OnSimulator, MirrorsLandInFpga3FKeepingOtherBits) {
    device().setFpgaRegister(0x3F, 0xA4);
    ASSERT_EQ(sensor_->SetMirrorV(1), 1);
    EXPECT_EQ(device().fpgaRegister(0x3F), 0xA6);
    ASSERT_EQ(sensor_->SetMirrorH(1), 1);
    EXPECT_EQ(device().fpgaRegister(0x3F), 0xA7);
    ASSERT_EQ(sensor_->SetMirrorV(0), 1);
    ASSERT_EQ(sensor_->SetMirrorH(0), 1);
    EXPECT_EQ(device().fpgaRegister(0x3F), 0xA4);
}

TEST_F(R13OnSimulator, ChannelGainsAndOffsetsReachFpga70To7F) {
    device().log().clear();
    for (int channel = 1; channel <= 4; ++channel) {
        ASSERT_EQ(sensor_->SetChannelOffset(channel, 0x0100 * channel + 0x11), 1);
        ASSERT_EQ(sensor_->SetChannelGain(channel, 0x1000 + channel), 1);
    }
    for (int channel = 1; channel <= 4; ++channel) {
        const uint8_t offsetReg = static_cast<uint8_t>(0x70 + 2 * (channel - 1));
        const uint8_t gainReg = static_cast<uint8_t>(0x78 + 2 * (channel - 1));
        EXPECT_EQ(device().fpgaRegister(offsetReg), 0x11);
        EXPECT_EQ(device().fpgaRegister(offsetReg + 1), channel);
        EXPECT_EQ(device().fpgaRegister(gainReg), channel);
        EXPECT_EQ(device().fpgaRegister(gainReg + 1), 0x10);
        int value = 0;
        ASSERT_EQ(sensor_->GetChannelGain(channel, &value), 1);
        EXPECT_EQ(value, 0x1000 + channel);
    }
    // Low byte first, to the lower-numbered register.
    const auto writes = accesses(Access::FpgaWrite);
    ASSERT_GE(writes.size(), 2u);
    EXPECT_EQ(writes[0], (RegisterAccess{Access::FpgaWrite, 0x70, 0x11}));
    EXPECT_EQ(writes[1], (RegisterAccess{Access::FpgaWrite, 0x71, 0x01}));
}

} // namespace
} // namespace lumvek
