// The family sensor model on its own: the R05 head's text protocol, the
// probes and registers it answers, and the description's firmware key.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/camera_description.h"
#include "sim/models/family_model.h"

namespace lumvek::sim {
namespace {

std::unique_ptr<FamilyModel> model(uint16_t product, const std::string& firmware = "") {
    auto m = makeFamilyModel({.productId = product, .sensorVersion = "", .firmware = firmware});
    EXPECT_TRUE(m);
    return m;
}

// Register 0 of the bridge, one byte per write as the R05 driver sends it.
void sendText(FamilyModel& m, const std::string& text) {
    for (const char c : text + std::string(1, '\0')) {
        const uint8_t bytes[3] = {0, 0, static_cast<uint8_t>(c)};
        ASSERT_TRUE(m.i2cWrite(0x48, bytes));
    }
}

std::string readLine(FamilyModel& m) {
    std::string line;
    const uint8_t pointer[2] = {0, 0};
    EXPECT_TRUE(m.i2cWrite(0x48, pointer));
    for (int i = 0; i < 64; ++i) {
        uint8_t byte = 0;
        EXPECT_TRUE(m.i2cRead(0x48, std::span<uint8_t>(&byte, 1)));
        if (byte == 0) break;
        line.push_back(static_cast<char>(byte));
    }
    return line;
}

TEST(FamilyModel, R05AnswersItsCommandsAndFpgaWritesOnlyInDebugMode) {
    auto m = model(0x3180);
    sendText(*m, "q -w x30 x01\n");
    EXPECT_EQ(readLine(*m), "?\r\n") << "not in debug mode";
    sendText(*m, "d -y 5273846\r\n");
    EXPECT_EQ(readLine(*m), "Welcome Debug Mode!\r\n");
    sendText(*m, "q -w x30 x01\n");
    EXPECT_EQ(readLine(*m), "Fpga Write   : 0x30 : 0x01\r\n");
    EXPECT_EQ(m->headFpgaRegister(0x30), 1);
    sendText(*m, "g -v 12\n");
    sendText(*m, "d -n\r\n");
    EXPECT_EQ(readLine(*m), "Good Bye!\r\n") << "the head answers the latest command";
    EXPECT_FALSE(m->debugMode());
    EXPECT_EQ(m->textCommands().size(), 5u);
    EXPECT_EQ(readLine(*m), "") << "nothing waiting";
}

TEST(FamilyModel, ProbesAndRegistersTheDriversRead) {
    auto m = model(0x32D0, "0x0123");
    EXPECT_EQ(m->readFpgaRegister(0x10), 0x23);
    EXPECT_EQ(m->readFpgaRegister(0x11), 0x01);
    EXPECT_EQ(m->readFpgaRegister(187), 1);
    uint8_t status = 0xFF;
    EXPECT_TRUE(m->ownsI2cAddress(0x5E)) << "I2C device 95";
    EXPECT_TRUE(m->i2cRead(0x5E, std::span<uint8_t>(&status, 1)));
    EXPECT_EQ(status, 0);
    m->fpgaRegisterWritten(218, 0x14);
    EXPECT_EQ(m->readFpgaRegister(90), 0x14) << "writes to 218 read back in 90";
    EXPECT_EQ(m->readFpgaRegister(129), 0);
    m->fpgaRegisterWritten(129, 0);
    EXPECT_EQ(m->readFpgaRegister(129), 0) << "the bridge needs the 1-then-0 pulse";
    m->fpgaRegisterWritten(129, 1);
    m->fpgaRegisterWritten(129, 0);
    EXPECT_EQ(m->readFpgaRegister(129), 2);
    EXPECT_FALSE(makeFamilyModel({.productId = 0x3090, .sensorVersion = "", .firmware = ""})) << "the R13 has a model of its own";
}

TEST(FamilyModel, TimingFollowsTheProgrammedLineAndFrameLength) {
    auto m = model(0x3100);
    const uint8_t line[4] = {0x30, 0x1A, 0xE8, 0x03};  // 1000 clocks, low byte first
    ASSERT_TRUE(m->i2cWrite(0x48, line));
    const SensorTiming t = m->timing();
    EXPECT_EQ(t.lineLengthClocks, 1000u);
    EXPECT_EQ(t.frameLengthLines, 1200u + 40) << "full height and the family's blanking";
    EXPECT_EQ(t.clockKHz, 74250u);
}

TEST(FamilyModel, FirmwareKeyIsASixteenBitNumber) {
    CameraDescription description;
    std::string error;
    EXPECT_TRUE(parseCameraDescription("product=0x31E0,firmware=7", description, error)) << error;
    EXPECT_EQ(description.firmware, "7");
    EXPECT_FALSE(parseCameraDescription("product=0x31E0,firmware=70000", description, error));
    EXPECT_NE(error.find("firmware"), std::string::npos) << error;
}

} // namespace
} // namespace lumvek::sim
