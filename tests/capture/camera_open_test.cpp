// Opening simulated cameras through an SDK instance: the channel block of the
// camera's serial ROM, the gain settings kept per camera, and the arrival and
// removal messages posted to the application's window.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <optional>

#include "instance/lumvek_internals.h"
#include "capture_fixture.h"

namespace lumvek::test {
namespace {

using sim::Access;
using sim::RegisterAccess;

constexpr uint16_t kChannelBlockAddress = 0x1062;
constexpr size_t kSerialRomBytes = 8192;
constexpr uint32_t kGainRegister = 0x0005;

// The value last written to a sensor register of the camera (either bank).
std::optional<uint32_t> lastSensorWrite(sim::InProcessCamera& camera, uint32_t address) {
    std::optional<uint32_t> value;
    for (const RegisterAccess& access : camera.device().log().accesses(Access::SensorWrite32)) {
        if ((access.address & 0x7FFF) == address) {
            value = access.value;
        }
    }
    return value;
}

TEST_F(CaptureTest, TheChannelBlockComesFromTheSerialRomAndIsWrittenBackAtRelease) {
    // Gains 0x1001..0x1004 then offsets 0x0111..0x0414, little-endian.
    std::vector<uint8_t> rom(kSerialRomBytes, 0xFF);
    for (int c = 0; c < 4; ++c) {
        rom[kChannelBlockAddress + 2 * c] = static_cast<uint8_t>(1 + c);
        rom[kChannelBlockAddress + 2 * c + 1] = 0x10;
        rom[kChannelBlockAddress + 8 + 2 * c] = static_cast<uint8_t>(0x11 * (c + 1));
        rom[kChannelBlockAddress + 8 + 2 * c + 1] = static_cast<uint8_t>(c + 1);
    }
    const std::string romPath = (makeTempDir("srom") / "rom.bin").string();
    std::ofstream(romPath, std::ios::binary).write(reinterpret_cast<const char*>(rom.data()), rom.size());

    sim::InProcessCamera& camera = addCamera("product=0x3090,name=cam0,srom=" + romPath);
    CLumvek& lumvek = start();
    EXPECT_EQ(internals(lumvek).channelGain(3), 0x1003);
    EXPECT_EQ(internals(lumvek).channelOffset(2), 0x0222);
    for (int c = 0; c < 4; ++c) {  // offsets at 0x70.., gains at 0x78.., low byte first
        EXPECT_EQ(camera.device().fpgaRegister(static_cast<uint8_t>(0x70 + 2 * c)), 0x11 * (c + 1));
        EXPECT_EQ(camera.device().fpgaRegister(static_cast<uint8_t>(0x71 + 2 * c)), c + 1);
        EXPECT_EQ(camera.device().fpgaRegister(static_cast<uint8_t>(0x78 + 2 * c)), c + 1);
        EXPECT_EQ(camera.device().fpgaRegister(static_cast<uint8_t>(0x79 + 2 * c)), 0x10);
    }

    camera.device().log().clear();
    instance_.reset();
    // Written back as it was read: the ROM already holds every byte, so none
    // is written again (each write is a 14 ms cycle of the part).
    EXPECT_TRUE(camera.device().log().accesses(Access::SromWrite).empty());
    std::ifstream file(romPath, std::ios::binary);
    const std::vector<uint8_t> after{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_EQ(after, rom);
}

TEST_F(CaptureTest, ChannelValuesChangedThroughTheInstanceReachTheSerialRomAtRelease) {
    sim::InProcessCamera& camera = addCamera("product=0x3090,name=cam0");
    CLumvek& lumvek = start();
    ASSERT_EQ(lumvek.SetFilterValue(29, 0x1234), 1);  // gain of channel 1
    EXPECT_EQ(camera.device().fpgaRegister(0x78), 0x34);
    EXPECT_EQ(camera.device().fpgaRegister(0x79), 0x12);
    instance_.reset();
    const std::vector<uint8_t> rom = camera.device().serialRom();
    EXPECT_EQ(rom[kChannelBlockAddress], 0x34);
    EXPECT_EQ(rom[kChannelBlockAddress + 1], 0x12);
}

// Only the bytes of the channel block that changed are written back: one
// channel's gain with a new low byte costs one ROM write, and the ROM ends
// holding the whole block as the instance has it.
TEST_F(CaptureTest, OnlyTheChangedBytesOfTheChannelBlockAreWrittenBack) {
    std::vector<uint8_t> rom(kSerialRomBytes, 0xFF);
    for (int i = 0; i < 16; ++i) {
        rom[kChannelBlockAddress + i] = static_cast<uint8_t>(0x10 + i);
    }
    const std::string romPath = (makeTempDir("srom") / "rom.bin").string();
    std::ofstream(romPath, std::ios::binary).write(reinterpret_cast<const char*>(rom.data()), rom.size());
    sim::InProcessCamera& camera = addCamera("product=0x3090,name=cam0,srom=" + romPath);
    CLumvek& lumvek = start();
    // Gain of channel 2 is 0x1312 in the ROM: only its low byte changes.
    ASSERT_EQ(lumvek.SetFilterValue(30, 0x13AB), 1);
    // Offset of channel 4 (0x1F1E) changes in both bytes.
    ASSERT_EQ(lumvek.SetFilterValue(36, 0x0102), 1);
    camera.device().log().clear();
    instance_.reset();

    const std::vector<RegisterAccess> expected{{Access::SromWrite, kChannelBlockAddress + 2, 0xAB},
                                               {Access::SromWrite, kChannelBlockAddress + 14, 0x02},
                                               {Access::SromWrite, kChannelBlockAddress + 15, 0x01}};
    EXPECT_EQ(camera.device().log().accesses(Access::SromWrite), expected);
    rom[kChannelBlockAddress + 2] = 0xAB;
    rom[kChannelBlockAddress + 14] = 0x02;
    rom[kChannelBlockAddress + 15] = 0x01;
    std::ifstream file(romPath, std::ios::binary);
    const std::vector<uint8_t> after{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_EQ(after, rom);
}

// Opening the only camera at initialisation reads its channel block once:
// every ROM read costs the part's 10 ms pause, and a second pass over the
// block only repeated the first.
TEST_F(CaptureTest, InitialisationReadsTheChannelBlockOnce) {
    sim::InProcessCamera& camera = addCamera("product=0x3090,name=cam0");
    start();
    std::map<uint32_t, int> reads;
    for (const RegisterAccess& access : camera.device().log().accesses(Access::SromRead)) {
        ++reads[access.address];
    }
    for (uint32_t i = 0; i < 16; ++i) {
        EXPECT_EQ(reads[kChannelBlockAddress + i], 1) << "byte " << i;
    }
}

TEST_F(CaptureTest, TheGainGroupIsKeptPerCameraAndReachesTheSensorAtOpen) {
    sim::InProcessCamera& first = addCamera("product=0x3090,name=cam0");
    sim::InProcessCamera& second = addCamera("product=0x3090,name=cam1");
    start();
    ASSERT_EQ(instance_->SetDeviceNumber(0), 1);
    ASSERT_EQ(instance_->SetFilterValue(13, 500), 1);
    EXPECT_EQ(lastSensorWrite(first, kGainRegister), 500u);
    ASSERT_EQ(instance_->SetDeviceNumber(1), 1);
    EXPECT_EQ(lastSensorWrite(second, kGainRegister), 350u);  // the sensor's default
    ASSERT_EQ(instance_->SetFilterValue(13, 600), 1);
    instance_.reset();

    first.device().log().clear();
    second.device().log().clear();
    start();
    ASSERT_EQ(instance_->SetDeviceNumber(1), 1);
    EXPECT_EQ(lastSensorWrite(second, kGainRegister), 600u);
    ASSERT_EQ(instance_->SetDeviceNumber(0), 1);
    EXPECT_EQ(lastSensorWrite(first, kGainRegister), 500u);
    int ok = 0;
    EXPECT_EQ(instance_->GetFilterValue(13, &ok), 500);
}

TEST_F(CaptureTest, CamerasArrivingAndLeavingArePostedToTheWindow) {
    start();
    drainMessages();
    addCamera("product=0x3090,name=cam0");
    LumvekMsg msg{};
    ASSERT_TRUE(waitMessage(0x0219, msg));
    EXPECT_EQ(msg.wParam, 0x8000u);
    EXPECT_EQ(msg.lParam, 0);
    cameras_.clear();
    ASSERT_TRUE(waitMessage(0x0219, msg));
    EXPECT_EQ(msg.wParam, 0x8004u);
    EXPECT_EQ(msg.lParam, 0);
}

} // namespace
} // namespace lumvek::test
