// CSensorR13::InitializeSensor: the power-up writes in order with their
// values, the FPGA flags, the defaults applied afterwards, and the shadow it
// leaves behind.
#include <gtest/gtest.h>

#include "r13_expected_init.h"
#include "recording_controller.h"
#include "sensors/ccd/sensor_r13.h"

namespace lumvek {
namespace {

using test::ControllerAccess;
using Kind = ControllerAccess::Kind;

TEST(R13Initialisation, SendsThe514WritesInOrderThenTheDefaults) {
    test::RecordingController controller;
    controller.fpga[0x3F] = 0xF3;  // mirror bits set, others must survive
    CSensorR13 sensor(&controller, 0);
    ASSERT_EQ(sensor.InitializeSensor(), 1);

    const auto expected = test::expectedR13InitWrites();
    ASSERT_EQ(expected.size(), 514u);
    const auto writes = controller.sensorWrites();
    ASSERT_EQ(writes.size(), 516u) << "514 power-up writes and the default gain in both banks";
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(writes[i].address, expected[i].first) << "write " << i;
        EXPECT_EQ(writes[i].value, expected[i].second) << "write " << i;
    }
    EXPECT_EQ(writes[514], (ControllerAccess{Kind::SensorWrite32, 0x8005, 350}));
    EXPECT_EQ(writes[515], (ControllerAccess{Kind::SensorWrite32, 0x0005, 350}));

    // FPGA: 0x21 between the reset passes, the flags after the script, then
    // exposure lines 1 (low, high) and the two mirror read-modify-writes.
    std::vector<ControllerAccess> fpga;
    for (const auto& a : controller.log) {
        if (a.kind == Kind::FpgaWrite || a.kind == Kind::FpgaRead) fpga.push_back(a);
    }
    const auto flags = test::expectedR13InitFlags();
    ASSERT_EQ(fpga.size(), flags.size() + 2 + 4);
    for (size_t i = 0; i < flags.size(); ++i) {
        EXPECT_EQ(fpga[i], (ControllerAccess{Kind::FpgaWrite, flags[i], 1})) << "flag " << i;
    }
    EXPECT_EQ(fpga[8], (ControllerAccess{Kind::FpgaWrite, 0xE2, 1}));
    EXPECT_EQ(fpga[9], (ControllerAccess{Kind::FpgaWrite, 0xE3, 0}));
    EXPECT_EQ(fpga[10], (ControllerAccess{Kind::FpgaRead, 0x3F, 0xF3}));
    EXPECT_EQ(fpga[11], (ControllerAccess{Kind::FpgaWrite, 0x3F, 0xF2}));
    EXPECT_EQ(fpga[12], (ControllerAccess{Kind::FpgaRead, 0x3F, 0xF2}));
    EXPECT_EQ(fpga[13], (ControllerAccess{Kind::FpgaWrite, 0x3F, 0xF0}));

    // The 0x21 flag sits between the two reset passes.
    size_t sensorWritesBeforeFlag = 0;
    for (const auto& a : controller.log) {
        if (a.kind == Kind::FpgaWrite) break;
        if (a.kind == Kind::SensorWrite32) ++sensorWritesBeforeFlag;
    }
    EXPECT_EQ(sensorWritesBeforeFlag, 9u);
}

TEST(R13Initialisation, LeavesEveryWrittenValueInTheShadow) {
    test::RecordingController controller;
    CSensorR13 sensor(&controller, 0);
    ASSERT_EQ(sensor.InitializeSensor(), 1);
    uint32_t value = 0;
    ASSERT_EQ(sensor.ReadRegister(0x8044, &value), 1);
    EXPECT_EQ(value, 0x5155u);
    ASSERT_EQ(sensor.ReadRegister(0x004D, &value), 1);
    EXPECT_EQ(value, 0x4000u);
    ASSERT_EQ(sensor.ReadRegister(0x804D, &value), 1);
    EXPECT_EQ(value, 0x4018u);
    ASSERT_EQ(sensor.ReadRegister(0x04B8, &value), 1);
    EXPECT_EQ(value, 0x3FFFFFFu);
    ASSERT_EQ(sensor.ReadRegister(0x8005, &value), 1);
    EXPECT_EQ(value, 350u) << "the default gain overwrote the script's gain word";
    EXPECT_EQ(sensor.ReadRegister(0x8FFF, &value), 0);
    EXPECT_EQ(sensor.ReadRegister(0x0016, &value), 0);
    EXPECT_EQ(sensor.ReadRegister(0x8003, &value), 0);
}

TEST(R13Initialisation, KeepsGoingWhenWritesFail) {
    test::RecordingController controller;
    controller.failSensorWrites = true;
    controller.failFpgaWrites = true;
    CSensorR13 sensor(&controller, 0);
    EXPECT_EQ(sensor.InitializeSensor(), 1);
    EXPECT_EQ(controller.sensorWrites().size(), 515u) << "the default gain stops at its first refused write";
}

} // namespace
} // namespace lumvek
