// The family drivers' edge cases and bad input: the readings at their
// extremes, probes that never become ready, text replies that never end,
// firmware below every gate, the R05 debug state shared by all its drivers,
// the R03 sampling thread and the 0x31E0 last-row rule.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>

#include "family_camera.h"
#include "platform/sync/clock.h"
#include "recording_controller.h"
#include "sensors/family/family_drivers.h"
#include "support/test_env.h"

namespace lumvek::test {
namespace {

// ---- temperature formulas at their extremes ----

TEST(FamilyTemperatures, ThermistorAtTenKiloOhmIsTwentyFiveDegrees) {
    FamilyCamera c = openFamilyCamera(0x3220, "g1467x25");
    ASSERT_EQ(c.opened, 1);
    ASSERT_EQ(c.device->SetCooling(1), 1);
    // 9994.24 / (10 + 9.76) = 505.8: the word the divider gives at 10 kilo-ohm.
    c.model->setSensorRegister(4, 506 & 0xFF);
    c.model->setSensorRegister(5, 506 >> 8);
    double t = 0;
    ASSERT_EQ(c.device->GetTemperature(&t), 1);
    EXPECT_NEAR(t, 25.0, 0.05);
    EXPECT_EQ(c.registerWrites(0x54), (std::vector<uint8_t>{2}));
    EXPECT_EQ(c.registerWrites(0x52), (std::vector<uint8_t>{0, 2}));
}

TEST(FamilyTemperatures, ThermistorExtremesFailCleanly) {
    double t = 123.0;
    EXPECT_FALSE(thermistorCelsius(0, &t)) << "no division by zero";
    EXPECT_FALSE(thermistorCelsius(0xFFFF, &t)) << "a resistance below zero has no temperature";
    EXPECT_EQ(t, 123.0);
    ASSERT_TRUE(thermistorCelsius(1, &t));
    EXPECT_TRUE(std::isfinite(t));
    EXPECT_LT(t, -50.0);
    // The target conversion is the inverse of the reading.
    for (int celsius : {-40, -10, 0, 25, 60}) {
        const uint32_t raw = thermistorRaw(celsius);
        ASSERT_NE(raw, 0u) << celsius;
        ASSERT_TRUE(thermistorCelsius(raw, &t));
        EXPECT_NEAR(t, celsius, 0.5);
    }
    EXPECT_EQ(thermistorRaw(-300.0), 0u);
}

TEST(FamilyTemperatures, SwirAndR03Formulas) {
    EXPECT_DOUBLE_EQ(swirTemperature(0x00, 0x00), 0.0);
    EXPECT_DOUBLE_EQ(swirTemperature(0xFF, 0xFF), -0.125) << "two's complement, 1/8 degree";
    EXPECT_DOUBLE_EQ(swirTemperature(0x07, 0x00), 0.875);
    // The R03 head's conversion at the mid-scale sample.
    const double m = 2048.0;
    EXPECT_NEAR(r03Temperature(m), (0.75 - ((m * 3.3 / 4096 - 0.07 - 2.5) / 20.1 + 0.865 + 0.015)) / 0.00133 + 49.607,
                1e-9);
}

TEST(FamilyTemperatures, G1467xRefusesWhileTheCoolerIsOff) {
    RecordingController controller;
    CSensorG1467x sensor(&controller, 0x6C);
    controller.fpga[144] = 8;
    double t = 0;
    int target = 0;
    EXPECT_EQ(sensor.GetTemperature(&t), 0);
    EXPECT_EQ(sensor.SetTargetTemperature(-5), 0);
    EXPECT_EQ(sensor.GetSensorTemperature(&target), 0);
    EXPECT_EQ(sensor.IsTemperatureAvailable(), 0);
    for (const auto& a : controller.log) EXPECT_NE(a.kind, ControllerAccess::Kind::I2cWrite) << "no sensor access";
}

// ---- probes that never become ready ----

TEST(FamilyProbes, R08StatusNeverReadyFailsAfterItsTwentyTries) {
    FamilyCamera c = openFamilyCamera(0x31E0, "r08busy");
    ASSERT_EQ(c.opened, 1);
    c.model->setDevice95(true, 0x01);
    const uint32_t start = platform::tickMs();
    EXPECT_EQ(c.sensor()->IsReady(), 0);
    EXPECT_LT(platform::tickMs() - start, 200u) << "a busy answer ends the probe at once";
    c.model->setDevice95(false, 0);
    const uint32_t silent = platform::tickMs();
    EXPECT_EQ(c.sensor()->IsReady(), 0);
    const uint32_t took = platform::tickMs() - silent;
    EXPECT_GE(took, 1800u) << "twenty tries, 100 ms apart";
    EXPECT_LE(took, 5500u);
    c.model->setDevice95(true, 0x10);
    EXPECT_EQ(c.sensor()->IsReady(), 1) << "only the low four bits count";
}

TEST(FamilyProbes, R05OpensItsLinkWhenTheHeadIsNotReady) {
    FamilyCamera c = openFamilyCamera(0x3180, "r05link");
    ASSERT_EQ(c.opened, 1);
    EXPECT_EQ(c.fpgaWrites(0xFF), (std::vector<uint8_t>{4}));
    EXPECT_EQ(c.fpgaWrites(60).front(), 2) << "16-bit samples set before the start command";
}

TEST(FamilyProbes, GluxReadyAtOnceWhenRegister33ReadsThree) {
    FamilyCamera c = openFamilyCamera(0x32C0, "gluxready");
    ASSERT_EQ(c.opened, 1);
    const uint32_t start = platform::tickMs();
    EXPECT_EQ(c.sensor()->IsReady(), 1);
    EXPECT_LT(platform::tickMs() - start, 1000u);
}

TEST(FamilyProbes, SerialBridgeThatNeverComesUpIsLoggedAsFailure) {
    RecordingController controller;  // register 129 never shows bit 1
    ScopedEnv log("LUMVEK_LOG", "sensor");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(resetSerialBridge(controller));
    const std::string text = testing::internal::GetCapturedStderr();
    EXPECT_NE(text.find("::SerReset:: failure."), std::string::npos) << text;
    const auto writes = controller.fpgaWrites();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0], (ControllerAccess{ControllerAccess::Kind::FpgaWrite, 129, 1}));
    EXPECT_EQ(writes[1], (ControllerAccess{ControllerAccess::Kind::FpgaWrite, 129, 0}));
}

TEST(FamilyProbes, SerialBridgeAlreadyUpNeedsNoPulse) {
    RecordingController controller;
    controller.fpga[129] = 0x02;
    ScopedEnv log("LUMVEK_LOG", std::nullopt);
    EXPECT_TRUE(resetSerialBridge(controller));
    EXPECT_TRUE(controller.fpgaWrites().empty());
}

// ---- the R05 text link ----

TEST(R05TextLink, IdentifyReplyAndAnEndlessReply) {
    FamilyCamera c = openFamilyCamera(0x3180, "r05text");
    ASSERT_EQ(c.opened, 1);
    const char identify[] = {'n', '\r', '\n'};
    ASSERT_EQ(c.device->SendText(identify, 3), 1);
    char reply[64];
    std::memset(reply, '#', sizeof reply);
    const int count = c.device->ReceiveText(reply, 40);
    ASSERT_EQ(count, 15);
    EXPECT_EQ(std::string(reply, 15), "LUMVEK-R05-CL\r\n");
    EXPECT_EQ(reply[15], '#');

    c.model->setEndlessReply(true);
    std::memset(reply, '#', sizeof reply);
    EXPECT_EQ(c.device->ReceiveText(reply, 8), 0) << "no line end within 256 bytes";
    EXPECT_EQ(reply[0], '#');
    c.model->setEndlessReply(false);
    // The line ended at the carriage return; the head's own line feed is
    // still waiting and comes as the next line.
    EXPECT_EQ(c.device->ReceiveText(reply, 8), 1);
    EXPECT_EQ(reply[0], '\n');
    EXPECT_EQ(c.device->ReceiveText(reply, 8), 0) << "nothing more to read: an empty line";
}

TEST(R05TextLink, DebugModeIsSharedByEveryR05Driver) {
    CSensorR05::forgetDebugMode();
    FamilyCamera first = openFamilyCamera(0x3180, "r05first");
    ASSERT_EQ(first.opened, 1);
    ASSERT_EQ(first.sensor()->SetTriggerMode(1), 1);
    EXPECT_TRUE(CSensorR05::debugModeEntered());
    const auto commands = first.model->textCommands();
    const std::vector<std::string> tail(commands.end() - 4, commands.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"d -y 5273846\r\n", "q -w x30 x01\n", "q -w x3c x00\n", "q -w x3c x01\n"}));
    EXPECT_EQ(first.model->headFpgaRegister(48), 1);

    // A second R05 driver in the process finds the heads in debug mode already.
    CSensorR05 second(first.sensor()->controller(), 0x48);
    ASSERT_EQ(second.SetTriggerMode(0), 1);
    const auto after = first.model->textCommands();
    EXPECT_EQ(after.size(), commands.size() + 3) << "no second debug-mode entry";
    EXPECT_EQ(after[commands.size()], "q -w x30 x00\n");
    CSensorR05::forgetDebugMode();
}

TEST(R05TextLink, ExposureIsSentAsLines) {
    FamilyCamera c = openFamilyCamera(0x3180, "r05expo");
    ASSERT_EQ(c.opened, 1);
    ASSERT_EQ(c.device->SetExposure(70), 1);
    EXPECT_EQ(c.model->textCommands().back(), "i -v 4000\n") << "70 x 40 x 100 / 70";
    EXPECT_EQ(c.device->GetExposure(), 70);
}

// ---- firmware below every gate ----

TEST(FamilyFirmwareGates, OldFirmwareLeavesGatedFeaturesOff) {
    FamilyCamera r03 = openFamilyCamera(0x3200, "r03old", "firmware=255");
    ASSERT_EQ(r03.opened, 1);
    EXPECT_EQ(r03.sensor()->IsCoolingAvailable(), 0);
    EXPECT_EQ(r03.sensor()->SetCooling(1), 0);
    EXPECT_TRUE(r03.fpgaWrites(151).empty());

    FamilyCamera swir = openFamilyCamera(0x3260, "swirold", "firmware=4");
    ASSERT_EQ(swir.opened, 1);
    EXPECT_EQ(swir.device->HasFirmwareFeature(), 0);

    FamilyCamera r08 = openFamilyCamera(0x31E0, "r08old", "firmware=22");
    ASSERT_EQ(r08.opened, 1);
    EXPECT_EQ(r08.device->IsExtUnitAvailable(), 0);
    EXPECT_EQ(r08.device->SetExtUnitMode(1), 0);
    int present = 7;
    EXPECT_EQ(r08.device->IsExtUnitPresent(&present), 0);
    EXPECT_EQ(present, 7);
}

// ---- R03 sampling thread ----

TEST(R03Sampling, ThreadRunsWhileCapturingAndAveragesItsSamples) {
    FamilyCamera c = openFamilyCamera(0x3200, "r03thread");
    ASSERT_EQ(c.opened, 1);
    auto* r03 = dynamic_cast<CSensorR03*>(c.sensor());
    ASSERT_NE(r03, nullptr);
    double t = 0;
    EXPECT_EQ(r03->GetTemperature(&t), 0) << "no samples yet";
    c.model->setTemperatureSample(2000);
    ASSERT_EQ(c.device->StartAcquisition(0), 1);
    EXPECT_TRUE(r03->samplingRunning());
    bool sampled = false;
    for (int i = 0; i < 100 && !sampled; ++i) {
        sampled = r03->GetTemperature(&t) == 1;
        if (!sampled) (void)c.device->WaitFrame(50);
    }
    ASSERT_TRUE(sampled);
    EXPECT_NEAR(t, r03Temperature(2000), 1e-9);
    ASSERT_EQ(c.device->StopAcquisition(), 1);
    EXPECT_FALSE(r03->samplingRunning()) << "stopped with the capture";
    ASSERT_EQ(c.device->StartAcquisition(0), 1);
    EXPECT_TRUE(r03->samplingRunning());
    c.device.reset();  // the destructor stops it as well
}

// ---- gain modes and stages that read back something unexpected ----

TEST(FamilyModes, UnknownReadBacksGiveMinusOne) {
    RecordingController controller;
    CSensorR12 r12(&controller, 0x6C);
    controller.fpga[96] = 42;
    EXPECT_EQ(r12.GetGainMode(), -1);
    controller.failFpgaReads = true;
    EXPECT_EQ(r12.GetGainMode(), -1);
    CSensorR08 r08(&controller, 0x6C);
    EXPECT_EQ(r08.GetGainMode(), -1);
    CSensorIMX250 imx(&controller, 0x48);
    EXPECT_EQ(imx.GetGainMode(), -1) << "no gain mode on the IMX250";
    EXPECT_EQ(imx.GetSecondMode(), -1);
    EXPECT_EQ(r12.SetGainMode(2), 0) << "only 0 and 1";
}

// ---- exposure conversion ----

TEST(FamilyExposure, ZeroFailsAndLongTimesClampToTheRegister) {
    RecordingController controller;
    CSensorMT9F001 mt9(&controller, 0x20);
    int before = 0;
    mt9.GetExposureTime(&before);
    EXPECT_EQ(mt9.SetExposureTime(0), 0);
    int after = -1;
    mt9.GetExposureTime(&after);
    EXPECT_EQ(after, before);
    // Binned by two, the line is at its shortest: 20000 x 0.1 ms needs more
    // lines than the 16-bit register holds.
    ASSERT_EQ(mt9.SetCaptureWindow(0, 320, 0, 8, 1), 1);
    const SensorDescriptor& d = mt9.descriptor();
    EXPECT_EQ(d.lineLength, 1848);
    const double period = d.lineLength * 10.0 / d.clockKHz;
    ASSERT_EQ(mt9.SetExposureTime(20000), 1);
    int lines = 0;
    mt9.GetExposureLines(&lines);
    EXPECT_EQ(lines, 0xFFFF) << "16-bit coarse integration register";
    mt9.GetExposureTime(&after);
    EXPECT_EQ(after, static_cast<int>(0xFFFF * period)) << "the time the sensor really exposes";
}

TEST(FamilyExposure, NullControllerRefusesHardwareAndAnswersDescriptor) {
    CSensorIMX273 imx(nullptr, 0x48);
    EXPECT_EQ(imx.InitializeSensor(), 0);
    EXPECT_EQ(imx.SetGlobalGain(10), 0);
    EXPECT_EQ(imx.SetExposureTime(100), 0);
    EXPECT_EQ(imx.SetBlackLevel(10), 0);
    EXPECT_EQ(imx.SetExposureTimeEx(0.01), 0);
    int value = -1;
    EXPECT_EQ(imx.GetBlackLevelDefault(&value), 1);
    EXPECT_EQ(value, 15);
    EXPECT_EQ(imx.GetExposureTimeDefault(&value), 1);
    EXPECT_EQ(value, 42);
}

// ---- 0x31E0: the last row of revisions below 8 ----

std::string writeRowsScene(const std::string& stem) {
    // Four columns, three rows of distinct values: tiled, neighbouring rows differ.
    const auto path = makeTempDir(stem) / "rows.pgm";
    std::ofstream file(path, std::ios::binary);
    file << "P5\n4 3\n255\n";
    const unsigned char rows[12] = {10, 10, 10, 10, 120, 120, 120, 120, 230, 230, 230, 230};
    file.write(reinterpret_cast<const char*>(rows), sizeof rows);
    return path.string();
}

TEST(LastRowRule, RevisionBelowEightRepeatsTheSecondToLastRow) {
    const std::string scene = writeRowsScene("lastrow");
    for (const int revision : {7, 8}) {
        FamilyCamera c = openFamilyCamera(0x31E0, "lastrow" + std::to_string(revision),
                                          "firmware=" + std::to_string(revision) + ",scene=" + scene);
        ASSERT_EQ(c.opened, 1);
        ASSERT_EQ(c.device->SetCaptureWindow(0, 0, 64, 32, 0), 1);
        std::vector<uint8_t> frame;
        ASSERT_TRUE(takeOneFrame(*c.device, frame));
        ASSERT_EQ(frame.size(), 64u * 32);
        const uint8_t* last = frame.data() + 31 * 64;
        const uint8_t* before = frame.data() + 30 * 64;
        if (revision < 8) {
            EXPECT_EQ(std::memcmp(last, before, 64), 0) << "mended";
        } else {
            EXPECT_EQ(last[0], 120) << "row 31 of the tiled scene, sent as is";
            EXPECT_EQ(before[0], 10);
        }
    }
}

} // namespace
} // namespace lumvek::test

namespace lumvek::test {
namespace {

// ---- the device object's forwarded operations ----

TEST(DeviceForwarding, WithoutADriverEveryForwardedOperationFails) {
    CLumvekUSB3K7SimpleSdk device;
    int value = 7;
    int ok = 1;
    SensorDescriptor copy{};
    EXPECT_EQ(device.SetExposureLines(5), 0);
    EXPECT_EQ(device.GetExposureLines(&value), 0);
    EXPECT_EQ(device.SetGainStage(1), 0);
    EXPECT_EQ(device.GetClockMode(&value), 0);
    EXPECT_EQ(device.SetReadoutMode(1), 0);
    EXPECT_EQ(device.GetSensorTriggerMode(&value), 0);
    EXPECT_EQ(device.SetAuxMode(1), 0);
    EXPECT_EQ(device.IsTemperatureControlAvailable(), 0);
    EXPECT_EQ(device.SetTargetTemperature(10), 0);
    EXPECT_EQ(device.GetSecondMode(), -1);
    EXPECT_EQ(device.ReadRegisterWhenIdle(1, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(device.GetSensorInfo(&copy), 0);
    EXPECT_EQ(device.KickSensorStream(), 0);
    EXPECT_EQ(device.PulseSensorReset(), 0);
    EXPECT_EQ(device.HasFirmwareFeature(), 0);
    EXPECT_EQ(device.GetLineLength(), 0);
    EXPECT_EQ(value, 7);
}

TEST(DeviceForwarding, GeometryGettersAndSensorInfoComeFromTheDriver) {
    FamilyCamera c = openFamilyCamera(0x32D0, "r12fwd");
    ASSERT_EQ(c.opened, 1);
    const SensorDescriptor& d = c.sensor()->descriptor();
    SensorDescriptor copy{};
    ASSERT_EQ(c.device->GetSensorInfo(&copy), 1);
    EXPECT_EQ(std::memcmp(&copy, &d, sizeof copy), 0);
    EXPECT_EQ(c.device->GetSensorInfo(nullptr), 0);
    EXPECT_EQ(c.device->GetDefaultWidth(), 4096);
    EXPECT_EQ(c.device->GetDefaultHeight(), 4096);
    EXPECT_EQ(c.device->GetLineLength(), d.lineLength);
    EXPECT_EQ(c.device->GetFrameLength(), d.frameLength);
    int lines = 0;
    ASSERT_EQ(c.device->SetExposureLines(1234), 1);
    ASSERT_EQ(c.device->GetExposureLines(&lines), 1);
    EXPECT_EQ(lines, 1234);
    EXPECT_EQ(c.fpgaWide(0xB0, 3), 1234u);
    EXPECT_EQ(c.device->IsInfoRecordAvailable(), 1);
    int model = 0;
    uint16_t firmware = 0;
    uint8_t first = 0;
    uint8_t second = 0;
    ASSERT_EQ(c.device->GetInfoRecord(&model, &firmware, &first, &second), 1);
    EXPECT_EQ(model, 115);
    EXPECT_EQ(firmware, 300);
}

} // namespace
} // namespace lumvek::test
