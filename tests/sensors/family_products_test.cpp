// Every product of the family, opened through the camera device object
// against its simulator model: descriptor ranges and size as the driver
// tables give them, one frame of the programmed geometry, and the
// distinctive operation of its driver class checked against the traffic
// the simulator received. One row per product.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "family_camera.h"
#include "sensors/family/family_drivers.h"
#include "sensors/family/family_registers.h"

namespace lumvek::test {
namespace {

namespace br = family::bridge;
namespace fh = family::fpgahead;

using Check = std::function<void(FamilyCamera&)>;

struct ProductRowExpectation {
    int productId;
    int maxWidth;
    int maxHeight;
    int gainMin;
    int gainMax;
    int exposureMin;
    int exposureMax;
    bool windowAdjustable;
    int sampleFactor;  // samples per pixel in the frame
    Check check;
    const char* extra = "";  // more of the camera description
    int streamedHeight = 0;  // when the product's own FPGA steps change the height register
};

uint32_t sensorRegister(FamilyCamera& c, uint32_t address) {
    uint32_t value = 0xDEAD;
    EXPECT_EQ(c.sensor()->ReadRegister(address, &value), 1) << std::hex << address;
    return value;
}

template <class T>
void expectDriver(FamilyCamera& c) {
    EXPECT_NE(dynamic_cast<T*>(c.sensor()), nullptr);
}

// ---- class checks ----

void mt9f001Window(FamilyCamera& c) {
    expectDriver<CSensorMT9F001>(c);
    EXPECT_EQ(dynamic_cast<CSensorMT9F002*>(c.sensor()), nullptr);
    ASSERT_EQ(c.device->SetCaptureWindow(64, 32, 1024, 600, 0), 1);
    EXPECT_EQ(sensorRegister(c, 0x0344), 64u + 24);
    EXPECT_EQ(sensorRegister(c, 0x0348), 64u + 1024 + 23);
    EXPECT_EQ(sensorRegister(c, 0x034A), 32u + 600 - 1);
    EXPECT_EQ(sensorRegister(c, 0x0342), 2760u) << "narrow windows keep the long line";
    EXPECT_EQ(sensorRegister(c, 0x0340), 600u + 146);
    EXPECT_EQ(sensorRegister(c, 0x3040) & 0xDBE, 0u);
    EXPECT_EQ(c.device->SetCaptureWindow(1, 0, 1024, 600, 0), 0) << "odd x";
    EXPECT_EQ(c.device->SetCaptureWindow(0, 0, 1000, 600, 0), 0) << "width not a multiple of 16";
    int x = 0;
    c.device->GetCaptureWindow(&x, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(x, 64 + 24);
}

void mt9f002Kick(FamilyCamera& c) {
    expectDriver<CSensorMT9F002>(c);
    ASSERT_EQ(c.device->SetColorGainRed(200), 1);
    EXPECT_EQ(sensorRegister(c, 0x305A), (200u & 0x7F) | 0x1100);
    EXPECT_EQ(c.device->GetColorGainRed(), 200);
    EXPECT_EQ(c.device->KickSensorStream(), 1);
    EXPECT_EQ(sensorRegister(c, 0x0100), 1u);
}

void mt9p001Trigger(FamilyCamera& c) {
    expectDriver<CSensorMT9P001>(c);
    ASSERT_EQ(c.sensor()->SetTriggerMode(1), 1);
    EXPECT_EQ(sensorRegister(c, 0x001E) & 0x310, 0x310u);
    ASSERT_EQ(c.sensor()->SetTriggerMode(0), 1);
    EXPECT_EQ(sensorRegister(c, 0x001E) & 0x310, 0u);
}

void mt9j001Clock(FamilyCamera& c) {
    expectDriver<CSensorMT9J001>(c);
    ASSERT_EQ(c.device->SetSpeedMode(1), 1);
    int mode = -1;
    EXPECT_EQ(c.device->GetClockMode(&mode), 1);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(c.sensor()->descriptor().clockKHz, 16000);
    EXPECT_EQ(sensorRegister(c, 0x0306), 16u);
}

void mt9j001Requests(FamilyCamera& c) {
    expectDriver<CSensorMT9J001>(c);
    EXPECT_FALSE(c.sim().log().accesses(sim::Access::RegisterWrite16).empty())
        << "registers through vendor request 0x3E";
    EXPECT_TRUE(c.sim().log().accesses(sim::Access::I2cWrite).empty());
}

void icx274Gain(FamilyCamera& c) {
    expectDriver<CSensorICX274>(c);
    ASSERT_EQ(c.device->SetGlobalGain(300), 1);
    const auto writes = c.sim().log().accesses(sim::Access::SensorWrite32);
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.back(), (sim::RegisterAccess{sim::Access::SensorWrite32, 0x0011, 300}));
}

void r13Gain(FamilyCamera& c) {
    expectDriver<CSensorR13>(c);
    ASSERT_EQ(c.device->SetGlobalGain(400), 1);
    EXPECT_EQ(c.sim().log().accesses(sim::Access::SensorWrite32).back().value, 400u);
}

void r07Mirror(FamilyCamera& c) {
    expectDriver<CSensorR07>(c);
    ASSERT_EQ(c.device->SetMirrorH(1), 1);
    EXPECT_EQ(c.sim().fpgaRegister(0x3F) & 1, 0) << "the R07 clears its mirror bit to mirror";
    ASSERT_EQ(c.device->SetMirrorH(0), 1);
    EXPECT_EQ(c.sim().fpgaRegister(0x3F) & 1, 1);
}

void r11Gain(FamilyCamera& c) {
    expectDriver<CSensorR11>(c);
    ASSERT_EQ(c.device->SetGlobalGain(101), 1);
    EXPECT_EQ(c.sim().fpgaRegister(0xA0), (101 << 6) & 0xFF);
    EXPECT_EQ(c.sim().fpgaRegister(0xA1), 101 >> 2);
    EXPECT_EQ(c.device->IsBlackLevelAvailable(), 1);
}

void bridgeGain(FamilyCamera& c) {
    ASSERT_EQ(c.device->SetGlobalGain(c.device->GetGlobalGainMax()), 1);
    EXPECT_EQ(c.wide(br::kGain), static_cast<uint32_t>(c.device->GetGlobalGainMax()));
}

void imx174Exposure(FamilyCamera& c) {
    expectDriver<CSensorIMX174>(c);
    const SensorDescriptor& d = c.sensor()->descriptor();
    ASSERT_EQ(c.device->SetExposure(100), 1);
    const double period = (d.lineLength / 8) * 10.0 / d.clockKHz;
    EXPECT_EQ(c.wide(br::kExposureLines, 3), static_cast<uint32_t>(std::floor(100 / period)));
}

void imxTrigger(FamilyCamera& c) {
    ASSERT_EQ(c.sensor()->SetTriggerMode(1), 1);
    EXPECT_EQ(c.model->sensorRegister(br::kTrigger), 1);
    int mode = 0;
    EXPECT_EQ(c.device->GetSensorTriggerMode(&mode), 1);
    EXPECT_EQ(mode, 1);
}

void imx159Mirror(FamilyCamera& c) {
    expectDriver<CSensorIMX159>(c);
    EXPECT_EQ(c.device->SetMirrorV(1), 0) << "horizontal mirror only";
    ASSERT_EQ(c.device->SetMirrorH(1), 1);
    EXPECT_EQ(c.model->sensorRegister(br::kMirror), br::kMirrorBitH);
    int sub = 0x2A07;  // register 7 = 0x2A
    ASSERT_EQ(c.device->SetSamplingRate(0, 0, &sub), 1);
    EXPECT_EQ(c.model->sensorRegister(br::kSubRegisterBase + 7), 0x2A);
}

void r15SubRegister(FamilyCamera& c) {
    expectDriver<CSensorR15>(c);
    int write = 0x4D05;
    ASSERT_EQ(c.device->SetSamplingRate(0, 0, &write), 1);
    EXPECT_EQ(c.model->sensorRegister(5), 0x4D);
    int read = 0x0005;
    ASSERT_EQ(c.device->SetSamplingRate(0, 1, &read), 1);
    EXPECT_EQ(read >> 8, 0x4D);
}

void fpgaHeadGain(FamilyCamera& c) {
    ASSERT_EQ(c.device->SetGlobalGain(77), 1);
    EXPECT_EQ(c.fpgaWrites(fh::kGain).back(), 77);
}

void r02Seconds(FamilyCamera& c) {
    expectDriver<CSensorR02>(c);
    ASSERT_EQ(c.device->SetExposureSeconds(0.001), 1);
    EXPECT_EQ(c.fpgaWide(fh::kExposureLines, 3), static_cast<uint32_t>(0.001 * 1000 * 6250 - 6.25));
    EXPECT_EQ(c.device->GetExposure(), 10);
}

void r05Gain(FamilyCamera& c) {
    expectDriver<CSensorR05>(c);
    ASSERT_EQ(c.device->SetGlobalGain(1000), 1);
    EXPECT_EQ(c.model->textCommands().back(), "g -v 255\n");
    EXPECT_EQ(c.device->GetGlobalGain(), 255);
    const auto commands = c.model->textCommands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[0], "n\r\n") << "the link opened with the identify command";
    EXPECT_EQ(commands[1], "x -c\r\n");
}

void r14Trigger(FamilyCamera& c) {
    expectDriver<CSensorR14>(c);
    ASSERT_EQ(c.sensor()->SetTriggerMode(2), 1);
    EXPECT_EQ(c.fpgaWrites(fh::kTrigger).back(), 2);
}

void fpgaHeadExposure(FamilyCamera& c) {
    const SensorDescriptor& d = c.sensor()->descriptor();
    ASSERT_EQ(c.device->SetExposure(d.exposureTime.minimum + 10), 1);
    const double period = d.lineLength * 10.0 / d.clockKHz;
    EXPECT_EQ(c.fpgaWide(fh::kExposureLines, 3), static_cast<uint32_t>((d.exposureTime.minimum + 10) / period));
}

void bridgeResetAtOpen(FamilyCamera& c) {
    EXPECT_EQ(c.fpgaWrites(129), (std::vector<uint8_t>{1, 0})) << "the serial-bridge reset ran at start-up";
    c.sim().log().clear();
    ASSERT_EQ(c.sensor()->WriteRegisterWhenIdle(0x3100, 9), 1);
    const auto reads = c.sim().log().accesses(sim::Access::FpgaRead);
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(reads.front().address, 2u) << "idle register polled first";
    EXPECT_EQ(c.model->sensorRegister(0x3100), 9);
}

void imx264TransferBits(FamilyCamera& c) {
    bridgeResetAtOpen(c);
    ASSERT_EQ(c.device->SetColorMode(1), 1);
    EXPECT_EQ(c.model->sensorRegister(br::kSampleBits), 16);
    EXPECT_EQ(c.sensor()->descriptor().transferBits, 16);
}

void imx252SubRegister(FamilyCamera& c) {
    c.model->setSensorRegister(br::kSubRegisterBase + 3, 0x5C);
    int read = 0x0003;
    ASSERT_EQ(c.device->SetSamplingRate(0, 1, &read), 1);
    EXPECT_EQ(read >> 8, 0x5C);
}

void r08Temperature(FamilyCamera& c) {
    expectDriver<CSensorR08>(c);
    c.model->setFpgaTemperatureRaw(1300);
    double t = 0;
    ASSERT_EQ(c.device->GetTemperature(&t), 1);
    EXPECT_NEAR(t, 1300 * 0.2384 - 300.91, 1e-9);
    EXPECT_EQ(c.fpgaWrites(0xA0), (std::vector<uint8_t>{1, 2}));
    ASSERT_EQ(c.device->SetGainMode(1), 1);
    EXPECT_EQ(c.device->GetGainMode(), 1);
    EXPECT_EQ(c.device->IsExtUnitAvailable(), 1) << "firmware 300 is above 22";
    // Through the driver, the state kept in the serial ROM (erased: on).
    ASSERT_EQ(c.device->SetCooling(0), 1);
    EXPECT_EQ(c.device->GetCooling(), 0);
    EXPECT_EQ(c.fpgaWrites(0xBF), (std::vector<uint8_t>{0}));
    ASSERT_EQ(c.device->SetCooling(1), 1);
    EXPECT_EQ(c.sim().fpgaRegister(0xBF) & 1, 1);
    EXPECT_EQ(c.device->GetCooling(), 1);
}

void imx226Reset(FamilyCamera& c) {
    expectDriver<CSensorIMX226>(c);
    bridgeResetAtOpen(c);
    uint8_t sub[2] = {1, 0};
    EXPECT_EQ(c.sensor()->AccessSubRegister(1, sub), 0) << "no sub-registers on the IMX226";
}

void r03Cooling(FamilyCamera& c) {
    auto* r03 = dynamic_cast<CSensorR03*>(c.sensor());
    ASSERT_NE(r03, nullptr);
    ASSERT_EQ(r03->SetCooling(1), 1);
    EXPECT_EQ(c.sim().fpgaRegister(151) & 1, 1);
    ASSERT_EQ(c.device->SetAuxOutput(1), 1);
    EXPECT_EQ(c.sim().fpgaRegister(0x82), 1);
    ASSERT_EQ(c.device->SetExposure(500), 1);
    EXPECT_TRUE(c.device->deferredExposurePending()) << "applied between frames";
}

void g1467xCooling(FamilyCamera& c) {
    expectDriver<CSensorG1467x>(c);
    double t = 0;
    EXPECT_EQ(c.device->GetTemperature(&t), 0) << "needs the cooler on";
    ASSERT_EQ(c.device->SetCooling(1), 1);
    EXPECT_EQ(c.sim().fpgaRegister(144), 15);
    ASSERT_EQ(c.device->SetTargetTemperature(-10), 1);
    EXPECT_EQ(c.registerWrites(0x52), (std::vector<uint8_t>{0, 1}));
    int target = 99;
    ASSERT_EQ(c.device->GetSensorTemperature(&target), 1);
    EXPECT_EQ(target, -10);
}

void swirTemperature(FamilyCamera& c) {
    c.model->setSensorRegister(0x690, 0x4A);  // 9.25 degrees: 9 << 3 | 0b010
    c.model->setSensorRegister(0x691, 0x00);
    double t = 0;
    ASSERT_EQ(c.device->GetTemperature(&t), 1);
    EXPECT_DOUBLE_EQ(t, 9.25);
    EXPECT_EQ(c.registerWrites(0x788), (std::vector<uint8_t>{1, 0}));
    EXPECT_EQ(c.device->HasFirmwareFeature(), 1);
}

void swirAuxMode(FamilyCamera& c) {
    ASSERT_EQ(c.device->SetAuxMode(3), 1);
    EXPECT_EQ(c.model->sensorRegister(br::kAuxMode), 3);
    ASSERT_EQ(c.device->PulseSensorReset(), 1);
    EXPECT_EQ(c.registerWrites(br::kSensorReset), (std::vector<uint8_t>{1, 0}));
}

void imx250Variant113(FamilyCamera& c) {
    expectDriver<CSensorIMX250>(c);
    EXPECT_EQ(c.sensor()->variantCode(), 113);
    bridgeResetAtOpen(c);
}

void li7050Seconds(FamilyCamera& c) {
    expectDriver<CSensorLI7050>(c);
    ASSERT_EQ(c.device->SetExposureSeconds(0.01), 1);
    double s = 0;
    EXPECT_EQ(c.device->GetExposureTimeEx(&s), 1);
    EXPECT_DOUBLE_EQ(s, 0.01);
    EXPECT_EQ(c.device->GetExposure(), 100);
}

void gluxModes(FamilyCamera& c) {
    expectDriver<CSensorGLUX9701>(c);
    ASSERT_EQ(c.device->SetShortExposureMode(1), 1);
    EXPECT_EQ(c.model->sensorRegister(90), 100);
    EXPECT_EQ(c.model->sensorRegister(91), 32);
    EXPECT_EQ(c.model->sensorRegister(92), 31);
    int on = 0;
    ASSERT_EQ(c.device->GetShortExposureMode(&on), 1);
    EXPECT_EQ(on, 1);
    ASSERT_EQ(c.device->SetGainMode(1), 1);
    EXPECT_EQ(c.model->sensorRegister(78), 6);
    EXPECT_EQ(c.model->sensorRegister(82), 255);
    EXPECT_EQ(c.device->GetGainMode(), 1);
    c.model->setSensorRegister(0x188, 0x00);
    c.model->setSensorRegister(0x189, 0x04);  // raw 1024
    double t = 0;
    ASSERT_EQ(c.device->GetTemperature(&t), 1);
    EXPECT_NEAR(t, 1024 * 0.3213 - 287.09, 1e-9);
}

void r12Stages(FamilyCamera& c) {
    expectDriver<CSensorR12>(c);
    ASSERT_EQ(c.device->SetGainStage(5), 1);
    int stage = -1;
    ASSERT_EQ(c.device->ReadGainStage(&stage), 1);
    EXPECT_EQ(stage, 5) << "written to 218, read back from 90";
    char label[8] = {};
    ASSERT_EQ(c.device->GetGainStageLabel(5, label, sizeof label), 1);
    EXPECT_STREQ(label, "3.70x");
    EXPECT_EQ(c.device->SetGainStage(8), 0);
    ASSERT_EQ(c.device->SetGainMode(1), 1);
    EXPECT_EQ(c.sim().fpgaRegister(224), 79);
    EXPECT_EQ(c.sim().fpgaRegister(0x80), 0);
    EXPECT_EQ(c.device->GetGainMode(), 1);
    int stageDefault = 0;
    c.device->GetGainStageDefault(&stageDefault);
    EXPECT_EQ(stageDefault, 4);
    ASSERT_EQ(c.device->SetSecondMode(1), 1);
    EXPECT_EQ(c.device->SetGainMode(0), 0) << "refused in the second mode";
}

void blackLevel(FamilyCamera& c) {
    ASSERT_EQ(c.device->IsBlackLevelAvailable(), 1);
    ASSERT_EQ(c.device->SetBlackLevel(300), 1);
    EXPECT_EQ(c.wide(br::kBlackLevel), 300u);
}

void imx487BlackLevel(FamilyCamera& c) {
    expectDriver<CSensorIMX487>(c);
    blackLevel(c);
    bridgeResetAtOpen(c);
}

void imx273BlackLevel(FamilyCamera& c) {
    expectDriver<CSensorIMX273>(c);
    blackLevel(c);
    EXPECT_TRUE(c.fpgaWrites(129).empty()) << "no serial-bridge reset on the IMX273";
}

void imx536Gain(FamilyCamera& c) {
    expectDriver<CSensorIMX536>(c);
    EXPECT_EQ(c.device->IsBlackLevelAvailable(), 0);
    bridgeGain(c);
    bridgeResetAtOpen(c);
}

// clang-format off
const ProductRowExpectation kRows[] = {
    {0x3020, 4608, 3288, 0, 127, 1, 20000, true, 1, mt9f001Window, "sensor-version=301"},
    {0x3020, 4608, 3288, 0, 127, 1, 20000, true, 1, mt9f002Kick},
    {0x3030, 2592, 1944, 0, 63, 1, 20000, true, 1, mt9p001Trigger},
    {0x3040, 3856, 2764, 0, 127, 1, 20000, true, 1, mt9j001Clock},
    {0x3042, 3856, 2764, 0, 127, 1, 20000, true, 1, mt9j001Requests},
    {0x3050, 1600, 1200, 0, 1023, 1, 1252, false, 1, icx274Gain},
    {0x3090, 2336, 1752, 15, 1023, 1, 8191, false, 1, r13Gain},
    {0x30B0, 4896, 3264, 15, 1023, 1, 8191, false, 1, r07Mirror},
    // The 0x30C0 geometry step writes 0x22 into register 0x40, the height's low byte.
    {0x30C0, 6576, 4384, 0, 1023, 1, 2233, false, 1, r11Gain, "", 0x1122},
    {0x30F0, 3072, 2048, 0, 511, 1, 30000, true, 1, [](FamilyCamera& c) { expectDriver<CSensorIMX178>(c); bridgeGain(c); }},
    {0x3100, 1920, 1200, 0, 480, 1, 30000, true, 1, imx174Exposure},
    {0x3110, 5520, 3680, 0, 8101, 1, 666, true, 1, [](FamilyCamera& c) { expectDriver<CSensorIMX183>(c); imxTrigger(c); }},
    {0x3120, 4800, 3520, 0, 4095, 0, 4095, true, 1, imx159Mirror},
    {0x3130, 1920, 1080, 0, 0, 0, 0, false, 3, r15SubRegister},
    {0x3140, 1280, 1024, 0, 11, 1, 30000, true, 1, [](FamilyCamera& c) { expectDriver<CSensorR06>(c); bridgeGain(c); }},
    {0x3150, 640, 512, 0, 255, 1, 10000, true, 1, r02Seconds},
    {0x3170, 320, 256, 0, 255, 1, 10000, true, 1, [](FamilyCamera& c) { expectDriver<CSensorR01>(c); fpgaHeadGain(c); }},
    {0x3180, 1280, 1024, 0, 255, 1, 10000, true, 1, r05Gain},
    {0x3190, 512, 32768, 0, 255, 89, 5039, true, 1, r14Trigger},
    {0x31A0, 256, 32768, 0, 255, 89, 5039, true, 1, [](FamilyCamera& c) { expectDriver<CSensorR10>(c); fpgaHeadExposure(c); }},
    {0x31B0, 2448, 2048, 0, 480, 1, 7000, true, 1, [](FamilyCamera& c) { expectDriver<CSensorIMX250>(c); bridgeResetAtOpen(c); }},
    {0x31B4, 2448, 2048, 0, 480, 1, 7000, true, 1, [](FamilyCamera& c) { expectDriver<CSensorIMX264>(c); imx264TransferBits(c); }},
    {0x31C0, 2048, 1536, 0, 480, 1, 10000, true, 1, [](FamilyCamera& c) { expectDriver<CSensorIMX252>(c); imx252SubRegister(c); }},
    {0x31C4, 2048, 1536, 0, 480, 1, 10000, true, 1, [](FamilyCamera& c) { expectDriver<CSensorIMX252>(c); bridgeResetAtOpen(c); }},
    {0x31D0, 1024, 32768, 0, 255, 136, 5039, true, 1, [](FamilyCamera& c) { expectDriver<CSensorR04>(c); fpgaHeadExposure(c); }},
    {0x31E0, 2048, 2048, 0, 255, 1, 10000, true, 1, r08Temperature},
    {0x31F0, 4168, 3062, 0, 1957, 1, 20000, true, 1, imx226Reset},
    {0x3200, 640, 512, 0, 0, 1, 1230273, true, 1, r03Cooling},
    {0x3210, 2048, 32768, 0, 255, 89, 5039, true, 1, [](FamilyCamera& c) { expectDriver<CSensorR09>(c); fpgaHeadGain(c); }},
    {0x3220, 320, 256, 0, 255, 500, 1000000, true, 1, g1467xCooling},
    {0x3260, 1280, 1024, 0, 420, 1, 20000, true, 1, [](FamilyCamera& c) { expectDriver<CSensorIMX990>(c); swirTemperature(c); }},
    {0x3270, 1280, 1024, 0, 420, 1, 20000, true, 1, [](FamilyCamera& c) { expectDriver<CSensorIMX990>(c); swirAuxMode(c); }},
    {0x3280, 640, 512, 0, 420, 1, 20000, true, 1, [](FamilyCamera& c) { expectDriver<CSensorIMX991>(c); swirAuxMode(c); }},
    {0x3290, 640, 512, 0, 420, 1, 20000, true, 1, [](FamilyCamera& c) { expectDriver<CSensorIMX991>(c); swirTemperature(c); }},
    {0x32A0, 2448, 2048, 0, 480, 1, 7000, true, 1, imx250Variant113},
    {0x32B0, 1936, 1096, 0, 223, 1, 10000, true, 1, li7050Seconds},
    {0x32C0, 1280, 1024, 2, 62, 1, 20000, true, 1, gluxModes},
    {0x32D0, 4096, 4096, 0, 0, 1, 10000000, true, 1, r12Stages},
    {0x32E0, 2848, 2848, 0, 480, 1, 260, true, 1, imx536Gain},
    {0x32F0, 2848, 2848, 0, 480, 1, 20000, true, 1, imx487BlackLevel},
    {0x3300, 1440, 1080, 0, 480, 1, 20000, true, 1, imx273BlackLevel},
};
// clang-format on

class FamilyProducts : public ::testing::TestWithParam<size_t> {};

TEST_P(FamilyProducts, OpensStreamsAndAnswersItsClassOperation) {
    const ProductRowExpectation& row = kRows[GetParam()];
    FamilyCamera c = openFamilyCamera(row.productId, "family" + std::to_string(GetParam()), row.extra);
    ASSERT_EQ(c.opened, 1) << std::hex << row.productId;
    ASSERT_NE(c.sensor(), nullptr);

    EXPECT_EQ(c.device->GetFullWidth(), row.maxWidth);
    EXPECT_EQ(c.device->GetFullHeight(), row.maxHeight);
    EXPECT_EQ(c.device->GetGlobalGainMin(), row.gainMin);
    EXPECT_EQ(c.device->GetGlobalGainMax(), row.gainMax);
    EXPECT_EQ(c.device->GetExposureMin(), row.exposureMin);
    EXPECT_EQ(c.device->GetExposureMax(), row.exposureMax);
    EXPECT_EQ(c.device->GetFreeWidthFlag(), row.windowAdjustable ? 1 : 0);

    // A small window where the sensor allows one (the CCDs and the
    // converter always send the whole frame).
    int width = 0;
    int height = 0;
    if (row.windowAdjustable) {
        width = std::min(640, row.maxWidth);
        height = std::min(480, row.maxHeight);
        ASSERT_EQ(c.device->SetCaptureWindow(0, 0, width, height, 0), 1);
    }
    int x = 0, y = 0, mode = 0;
    ASSERT_EQ(c.device->GetCaptureWindow(&x, &y, &width, &height, &mode), 1);
    std::vector<uint8_t> frame;
    ASSERT_TRUE(takeOneFrame(*c.device, frame)) << std::hex << row.productId;
    EXPECT_EQ(c.device->frameByteCount(), width * height * row.sampleFactor);
    const sim::FrameGeometry g = c.sim().currentGeometry();
    EXPECT_EQ(g.width, static_cast<uint32_t>(width * row.sampleFactor)) << "window registers the camera streams";
    EXPECT_EQ(g.height, static_cast<uint32_t>(row.streamedHeight != 0 ? row.streamedHeight : height));

    // The family heads stream at the rate their line length, frame length
    // and clock give.
    const SensorDescriptor& d = c.sensor()->descriptor();
    if (c.model && d.lineLength > 0 && row.sampleFactor == 1) {
        EXPECT_NEAR(c.sim().framePeriodMs(), static_cast<double>(d.lineLength) * d.frameLength / d.clockKHz, 1e-6);
    }

    row.check(c);
}

INSTANTIATE_TEST_SUITE_P(EveryProduct, FamilyProducts, ::testing::Range<size_t>(0, std::size(kRows)),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             char name[32];
                             std::snprintf(name, sizeof name, "p%04X_%zu", kRows[info.param].productId, info.param);
                             return std::string(name);
                         });

} // namespace
} // namespace lumvek::test
