// CSensorR13 logic: register shadow, gain, exposure conversion, channel
// gains and offsets, black level and mirrors, over a recording controller.
#include <gtest/gtest.h>

#include "recording_controller.h"
#include "sensors/ccd/sensor_r13.h"

namespace lumvek {
namespace {

using test::ControllerAccess;
using test::RecordingController;
using Kind = ControllerAccess::Kind;

class R13Driver : public ::testing::Test {
protected:
    RecordingController controller;
    CSensorR13 sensor{&controller, 0};

    int exposureRegister() const { return controller.fpga[0xE3] << 8 | controller.fpga[0xE2]; }
};

TEST_F(R13Driver, ShadowAnswersOnlyRegistersWrittenPerBank) {
    uint32_t value = 0;
    for (uint32_t address : {0x0000u, 0x0005u, 0x0FFFu, 0x8000u, 0x8005u, 0x8FFFu}) {
        EXPECT_EQ(sensor.ReadRegister(address, &value), 0) << std::hex << address;
    }
    ASSERT_EQ(sensor.WriteRegister(0x8005, 0x120), 1);
    ASSERT_EQ(sensor.ReadRegister(0x8005, &value), 1);
    EXPECT_EQ(value, 0x120u);
    EXPECT_EQ(sensor.ReadRegister(0x0005, &value), 0) << "bank 0 is a separate table";
    ASSERT_EQ(sensor.WriteRegister(0x0005, 0x77), 1);
    ASSERT_EQ(sensor.ReadRegister(0x0005, &value), 1);
    EXPECT_EQ(value, 0x77u);
    // Reads never reach the camera.
    EXPECT_EQ(controller.sensorWrites().size(), 2u);
    EXPECT_EQ(controller.log.size(), 2u);
}

TEST_F(R13Driver, FailedWriteStillUpdatesShadowAndReportsFailure) {
    controller.failSensorWrites = true;
    EXPECT_EQ(sensor.WriteRegister(0x8044, 0x5155), 0);
    uint32_t value = 0;
    ASSERT_EQ(sensor.ReadRegister(0x8044, &value), 1);
    EXPECT_EQ(value, 0x5155u);
    EXPECT_EQ(sensor.ReadRegister(0x8044, nullptr), 0);
}

TEST_F(R13Driver, GlobalGainMasksToTenBitsAndWritesBothBanks) {
    ASSERT_EQ(sensor.SetGlobalGain(0x7FF), 1);
    int gain = 0;
    ASSERT_EQ(sensor.GetGlobalGain(&gain), 1);
    EXPECT_EQ(gain, 0x3FF);
    const std::vector<ControllerAccess> expected{{Kind::SensorWrite32, 0x8005, 0x3FF},
                                                 {Kind::SensorWrite32, 0x0005, 0x3FF}};
    EXPECT_EQ(controller.sensorWrites(), expected);
    int low = 0, high = 0, def = 0;
    sensor.GetGlobalGainMin(&low);
    sensor.GetGlobalGainMax(&high);
    sensor.GetGlobalGainDefault(&def);
    EXPECT_EQ(low, 15);
    EXPECT_EQ(high, 1023);
    EXPECT_EQ(def, 350);

    controller.failSensorWrites = true;
    EXPECT_EQ(sensor.SetGlobalGain(100), 0);
    sensor.GetGlobalGain(&gain);
    EXPECT_EQ(gain, 0x3FF) << "a refused gain keeps the old value";
}

TEST_F(R13Driver, ExposureTimeConvertsToInvertedLines) {
    struct Case {
        uint32_t time;
        int lines;
        int stored;
    };
    for (const Case c : {Case{1, 898, 1}, Case{100, 514, 100}, Case{232, 2, 232}, Case{233, 1, 232},
                         Case{1000, 1, 232}, Case{8191, 1, 232}, Case{8192, 1, 232}, Case{0xFFFFFFFF, 1, 232}}) {
        ASSERT_EQ(sensor.SetExposureTime(c.time), 1) << c.time;
        EXPECT_EQ(exposureRegister(), c.lines) << c.time;
        int lines = 0, stored = 0;
        sensor.GetExposureLines(&lines);
        sensor.GetExposureTime(&stored);
        EXPECT_EQ(lines, c.lines) << c.time;
        EXPECT_EQ(stored, c.stored) << c.time;
    }
    // Low byte first, to the lower-numbered register.
    controller.log.clear();
    ASSERT_EQ(sensor.SetExposureTime(1), 1);
    const std::vector<ControllerAccess> expected{{Kind::FpgaWrite, 0xE2, 898 & 0xFF}, {Kind::FpgaWrite, 0xE3, 898 >> 8}};
    EXPECT_EQ(controller.fpgaWrites(), expected);
}

TEST_F(R13Driver, RefusedExposureLeavesEverythingUnchanged) {
    ASSERT_EQ(sensor.SetExposureTime(100), 1);
    controller.log.clear();
    EXPECT_EQ(sensor.SetExposureTime(0), 0);
    EXPECT_TRUE(controller.log.empty());
    controller.failFpgaWrites = true;
    EXPECT_EQ(sensor.SetExposureTime(1000), 0);
    int stored = 0, lines = 0;
    sensor.GetExposureTime(&stored);
    sensor.GetExposureLines(&lines);
    EXPECT_EQ(stored, 100);
    EXPECT_EQ(lines, 514);
    int minimum = 0, maximum = 0, def = 0;
    sensor.GetExposureTimeMin(&minimum);
    sensor.GetExposureTimeMax(&maximum);
    sensor.GetExposureTimeDefault(&def);
    EXPECT_EQ(minimum, 1);
    EXPECT_EQ(maximum, 8191);
    EXPECT_EQ(def, 774);
}

TEST_F(R13Driver, MirrorsChangeOnlyTheirBitOfFpga3F) {
    controller.fpga[0x3F] = 0xA4;
    ASSERT_EQ(sensor.SetMirrorV(1), 1);
    ASSERT_EQ(sensor.SetMirrorH(0), 1);
    EXPECT_EQ(controller.fpga[0x3F], 0xA6);
    ASSERT_EQ(sensor.SetMirrorH(1), 1);
    EXPECT_EQ(controller.fpga[0x3F], 0xA7);
    ASSERT_EQ(sensor.SetMirrorV(0), 1);
    EXPECT_EQ(controller.fpga[0x3F], 0xA5);
    int v = -1, h = -1;
    sensor.GetMirrorV(&v);
    sensor.GetMirrorH(&h);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(sensor.IsMirrorVInSensor(), 1);
    EXPECT_EQ(sensor.IsMirrorHInSensor(), 1);

    controller.failFpgaReads = true;
    EXPECT_EQ(sensor.SetMirrorV(1), 0);
    sensor.GetMirrorV(&v);
    EXPECT_EQ(v, 0) << "a failed read-modify-write keeps the stored state";
}

TEST_F(R13Driver, ChannelGainsAndOffsetsUseTheirFpgaPairs) {
    for (int channel = 1; channel <= 4; ++channel) {
        ASSERT_EQ(sensor.SetChannelGain(channel, 0x1200 + channel), 1);
        ASSERT_EQ(sensor.SetChannelOffset(channel, 0x0300 + channel), 1);
    }
    for (int channel = 1; channel <= 4; ++channel) {
        const int gainReg = 0x78 + 2 * (channel - 1);
        const int offsetReg = 0x70 + 2 * (channel - 1);
        EXPECT_EQ(controller.fpga[gainReg], channel);
        EXPECT_EQ(controller.fpga[gainReg + 1], 0x12);
        EXPECT_EQ(controller.fpga[offsetReg], channel);
        EXPECT_EQ(controller.fpga[offsetReg + 1], 0x03);
        int value = 0;
        ASSERT_EQ(sensor.GetChannelGain(channel, &value), 1);
        EXPECT_EQ(value, 0x1200 + channel);
        ASSERT_EQ(sensor.GetChannelOffset(channel, &value), 1);
        EXPECT_EQ(value, 0x0300 + channel);
    }
    int value = 0;
    sensor.GetChannelGainDefault(&value);
    EXPECT_EQ(value, 4096);
    sensor.GetChannelGainMax(&value);
    EXPECT_EQ(value, 0xFFFF);
    sensor.GetChannelOffsetDefault(&value);
    EXPECT_EQ(value, 0);
}

TEST_F(R13Driver, ChannelOutsideOneToFourTouchesNothing) {
    int value = 0;
    EXPECT_EQ(sensor.SetChannelGain(5, 1), 0);
    EXPECT_EQ(sensor.SetChannelGain(0, 1), 0);
    EXPECT_EQ(sensor.SetChannelOffset(-1, 1), 0);
    EXPECT_EQ(sensor.GetChannelGain(0, &value), 0);
    EXPECT_EQ(sensor.GetChannelOffset(5, &value), 0);
    EXPECT_TRUE(controller.log.empty());
}

TEST_F(R13Driver, ChannelGainWriteFailureStillReportsSuccessButReadFailureDoesNot) {
    controller.failFpgaWrites = true;
    EXPECT_EQ(sensor.SetChannelGain(1, 42), 1);
    controller.failFpgaReads = true;
    int value = 0;
    EXPECT_EQ(sensor.GetChannelGain(1, &value), 0);
}

TEST_F(R13Driver, BlackLevelProgramsFpgaAndBothBanksButIsNotOffered) {
    EXPECT_EQ(sensor.IsBlackLevelAvailable(), 0);
    ASSERT_EQ(sensor.SetBlackLevel(0x1234), 1);
    EXPECT_EQ(controller.fpga[0xA2], 0x34);
    EXPECT_EQ(controller.fpga[0xA3], 0x12);
    const std::vector<ControllerAccess> expected{{Kind::SensorWrite32, 0x8006, 0x234},
                                                 {Kind::SensorWrite32, 0x0006, 0x234}};
    EXPECT_EQ(controller.sensorWrites(), expected);
    int value = 0;
    EXPECT_EQ(sensor.GetBlackLevel(&value), 0) << "returns the available flag";
    EXPECT_EQ(value, 0x234);
}

TEST_F(R13Driver, CaptureWindowIsFixedAndTriggerNeedsNoHardware) {
    EXPECT_EQ(sensor.SetCaptureWindow(100, 640, 50, 480, 1), 1);
    EXPECT_EQ(sensor.SetTriggerMode(1), 1);
    int x = -1, w = -1, y = -1, h = -1, mode = -1;
    ASSERT_EQ(sensor.GetCaptureWindow(&x, &w, &y, &h, &mode), 1);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(w, 2336);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(h, 1752);
    EXPECT_EQ(mode, 0);
    EXPECT_TRUE(controller.log.empty());
    EXPECT_EQ(sensor.AccessSubRegister(0, nullptr), 1);
    EXPECT_EQ(sensor.IsReady(), 1);
}

TEST(R13WithoutController, HardwareOperationsFailDescriptorAnswers) {
    CSensorR13 sensor(nullptr, 0);
    EXPECT_EQ(sensor.InitializeSensor(), 0);
    EXPECT_EQ(sensor.WriteRegister(0x8005, 1), 0);
    uint32_t value = 0;
    EXPECT_EQ(sensor.ReadRegister(0x8005, &value), 0) << "a refused write leaves no shadow entry";
    EXPECT_EQ(sensor.SetGlobalGain(100), 0);
    EXPECT_EQ(sensor.SetExposureTime(100), 0);
    EXPECT_EQ(sensor.SetExposureLines(5), 0);
    EXPECT_EQ(sensor.SetMirrorV(1), 0);
    EXPECT_EQ(sensor.SetChannelGain(1, 1), 0);
    EXPECT_EQ(sensor.SetBlackLevel(1), 0);
    EXPECT_EQ(sensor.PulseFpgaReset(), 0);
    int gain = 0, time = 0;
    EXPECT_EQ(sensor.GetGlobalGain(&gain), 1);
    EXPECT_EQ(gain, 350);
    EXPECT_EQ(sensor.GetExposureTime(&time), 1);
    EXPECT_EQ(time, 774);
}

} // namespace
} // namespace lumvek
