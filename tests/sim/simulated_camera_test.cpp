// The simulated camera as the controller meets it: I2C devices, vendor
// requests and the frame stream, all through the real driver stand-in.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sim/in_process_camera.h"
#include "support/test_env.h"
#include "camera_link.h"

namespace lumvek::sim {
namespace {

using test::CameraLink;

std::unique_ptr<InProcessCamera> makeCamera(const std::string& description) {
    std::string error;
    auto camera = InProcessCamera::create(description, error);
    EXPECT_NE(camera, nullptr) << error;
    return camera;
}

TEST(SimI2cDevices, FpgaRegisterWriteAndReadBack) {
    auto camera = makeCamera("product=0x3050,name=fpga,fps=1000");
    CameraLink link(camera->path());
    ASSERT_TRUE(link.writeFpga(0x55, 0xA7));
    ASSERT_TRUE(link.writeFpga(0x56, 0x01));
    EXPECT_EQ(link.readFpga(0x55), 0xA7);
    EXPECT_EQ(link.readFpga(0x56), 0x01);
    // The read answers two bytes: a zero, then the value.
    ASSERT_TRUE(link.i2cWrite(0x40, {0x55}));
    const auto bytes = link.i2cRead(0x41, 2);
    ASSERT_TRUE(bytes);
    EXPECT_EQ((*bytes)[0], 0);
    EXPECT_EQ((*bytes)[1], 0xA7);
    const auto writes = camera->device().log().accesses(Access::FpgaWrite);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0], (RegisterAccess{Access::FpgaWrite, 0x55, 0xA7}));
    EXPECT_EQ(writes[1], (RegisterAccess{Access::FpgaWrite, 0x56, 0x01}));
}

TEST(SimI2cDevices, SerialRomTwoByteAddressesAndFilePersistence) {
    const auto dir = test::makeTempDir("srom");
    const std::string file = (dir / "rom.bin").string();
    {
        auto camera = makeCamera("product=0x3050,name=rom,srom=" + file);
        CameraLink link(camera->path());
        // Created 0xFF-filled.
        ASSERT_EQ(std::filesystem::file_size(file), 8192u);
        ASSERT_TRUE(link.i2cWrite(0xA2, {0x1F, 0xFE, 0x11, 0x22}));  // last two bytes, high address byte first
        ASSERT_TRUE(link.i2cWrite(0xA2, {0x00, 0x10}));
        const auto blank = link.i2cRead(0xA3, 1);
        ASSERT_TRUE(blank);
        EXPECT_EQ((*blank)[0], 0xFF);
        const auto writes = camera->device().log().accesses(Access::SromWrite);
        ASSERT_EQ(writes.size(), 2u);
        EXPECT_EQ(writes[0], (RegisterAccess{Access::SromWrite, 0x1FFE, 0x11}));
        EXPECT_EQ(writes[1], (RegisterAccess{Access::SromWrite, 0x1FFF, 0x22}));
    }
    // A new camera on the same file sees what the first one wrote.
    auto camera = makeCamera("product=0x3050,name=rom2,srom=" + file);
    CameraLink link(camera->path());
    ASSERT_TRUE(link.i2cWrite(0xA2, {0x1F, 0xFE}));
    const auto bytes = link.i2cRead(0xA3, 2);
    ASSERT_TRUE(bytes);
    EXPECT_EQ((*bytes)[0], 0x11);
    EXPECT_EQ((*bytes)[1], 0x22);
}

TEST(SimI2cDevices, SerialRomFileOfWrongSizeIsRefused) {
    const auto dir = test::makeTempDir("srombad");
    const std::string file = (dir / "short.bin").string();
    std::ofstream(file) << "too short";
    std::string error;
    EXPECT_EQ(InProcessCamera::create("name=bad,srom=" + file, error), nullptr);
    EXPECT_NE(error.find("8192"), std::string::npos) << error;
}

TEST(SimI2cDevices, AuxiliaryDeviceAndUnknownAddresses) {
    auto camera = makeCamera("product=0x3050,name=aux");
    CameraLink link(camera->path());
    ASSERT_TRUE(link.i2cWrite(0x5A, {0x07, 0x99}));
    ASSERT_TRUE(link.i2cWrite(0x5A, {0x07}));
    const auto value = link.i2cRead(0x5B, 1);
    ASSERT_TRUE(value);
    EXPECT_EQ((*value)[0], 0x99);
    // Nobody answers at 0x70; a count above 64 is refused by the device too.
    EXPECT_FALSE(link.i2cWrite(0x70, {1, 2}));
    EXPECT_FALSE(link.control(fx3::kRequestTypeVendorOut, 0x30, 65, 0x40).ok);
    EXPECT_FALSE(link.control(fx3::kRequestTypeVendorIn, 0x31, 65, 0x41).ok);
}

TEST(SimVendorRequests, InfoBlocksReadyStatusAndOutputMode) {
    auto camera = makeCamera("product=0x3050,name=info,info-word=0x1234,ready=7");
    CameraLink link(camera->path());
    const auto info = link.control(fx3::kRequestTypeVendorIn, 0xB0, 0, 0);
    ASSERT_TRUE(info.ok);
    EXPECT_EQ(info.returned, 38u + 64u);
    EXPECT_EQ(info.buffer[38 + 24], 0x34);
    EXPECT_EQ(info.buffer[38 + 25], 0x12);
    const auto ready = link.control(fx3::kRequestTypeVendorIn, 0xC3, 0, 0);
    ASSERT_TRUE(ready.ok);
    EXPECT_EQ(ready.returned, 102u);
    EXPECT_EQ(ready.buffer[38], 7);
    ASSERT_TRUE(link.control(fx3::kRequestTypeVendorOut, 0x3C, 0, 0, {1}).ok);
    const auto mode = link.control(fx3::kRequestTypeVendorIn, 0x3D, 0, 0);
    ASSERT_TRUE(mode.ok);
    EXPECT_EQ(mode.buffer[38], 1);
    // An OUT request returns the header only; the status words are clear.
    const auto restart = link.control(fx3::kRequestTypeVendorOut, 0xC0, 0, 0);
    ASSERT_TRUE(restart.ok);
    EXPECT_EQ(restart.returned, 38u);
    fx3::RequestHeader header;
    ASSERT_TRUE(fx3::decodeHeader(restart.buffer, header));
    EXPECT_EQ(header.statusA, 0u);
    EXPECT_EQ(header.statusB, 0u);
}

TEST(SimVendorRequests, DefaultInfoWordAndReadyValue) {
    auto camera = makeCamera("product=0x3050,name=defaults");
    CameraLink link(camera->path());
    const auto info = link.control(fx3::kRequestTypeVendorIn, 0xB0, 0, 0);
    EXPECT_EQ(info.buffer[38 + 24] | (info.buffer[38 + 25] << 8), 0x1100);
    EXPECT_EQ(link.control(fx3::kRequestTypeVendorIn, 0xC3, 0, 0).buffer[38], 1);
    camera->device().setReadyStatus(0);
    camera->device().setDeviceInfoWord(0x10FF);
    EXPECT_EQ(link.control(fx3::kRequestTypeVendorIn, 0xC3, 0, 0).buffer[38], 0);
    const auto changed = link.control(fx3::kRequestTypeVendorIn, 0xB0, 0, 0);
    EXPECT_EQ(changed.buffer[38 + 24] | (changed.buffer[38 + 25] << 8), 0x10FF);
}

TEST(SimVendorRequests, WrongDirectionOrUnknownCodeFailsWithStatus) {
    auto camera = makeCamera("product=0x3050,name=wrong");
    CameraLink link(camera->path());
    const auto reply = link.control(fx3::kRequestTypeVendorOut, 0xB0, 0, 0);
    EXPECT_FALSE(reply.ok);
    fx3::RequestHeader header;
    ASSERT_TRUE(fx3::decodeHeader(reply.buffer, header));
    EXPECT_NE(header.statusA, 0u);
    EXPECT_FALSE(link.control(fx3::kRequestTypeVendorIn, 0x77, 0, 0).ok);
    EXPECT_FALSE(link.control(fx3::kRequestTypeVendorOut, 0xC2, 0, 0).ok);  // arm needs 0x42
}

TEST(SimVendorRequests, RequestsReachTheLogAsSent) {
    auto camera = makeCamera("product=0x3050,name=logged");
    CameraLink link(camera->path());
    ASSERT_TRUE(link.control(fx3::kRequestTypeVendorOut, 0xD0, 0x8000, 0x0123, {0x78, 0x56, 0x34, 0x12}).ok);
    const auto requests = camera->device().log().requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].header.requestType, 0x40);
    EXPECT_EQ(requests[0].header.requestCode, 0xD0);
    EXPECT_EQ(requests[0].header.value, 0x8000);
    EXPECT_EQ(requests[0].header.index, 0x0123);
    EXPECT_EQ(requests[0].header.length, 102);
    EXPECT_EQ(requests[0].header.timeoutMs, 3000u);
    EXPECT_EQ(requests[0].data[3], 0x12);
    const auto writes = camera->device().log().accesses(Access::SensorWrite32);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0], (RegisterAccess{Access::SensorWrite32, 0x8123, 0x12345678}));
    // The generic sensor keeps it: 0xD1 reads it back (low 16 bits, little-endian).
    const auto read = link.control(fx3::kRequestTypeVendorIn, 0xD1, 0, 0x8123);
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.buffer[38] | (read.buffer[39] << 8), 0x5678);
}

} // namespace
} // namespace lumvek::sim
