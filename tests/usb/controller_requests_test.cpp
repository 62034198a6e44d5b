// Vendor control requests as they reach the device: header fields, data
// bytes, and what the caller gets from short or failed replies.
#include <gtest/gtest.h>

#include <vector>

#include "controller_fixture.h"
#include "platform/fx3/driver_request.h"

namespace lumvek::test {
namespace {

void expectControlHeader(const ScriptedCamera::ControlSeen& seen, uint8_t type, uint8_t code, uint16_t value,
                         uint16_t index) {
    EXPECT_EQ(seen.header.requestType, type);
    EXPECT_EQ(seen.header.requestCode, code);
    EXPECT_EQ(seen.header.value, value);
    EXPECT_EQ(seen.header.index, index);
    EXPECT_EQ(seen.header.length, 102);
    EXPECT_EQ(seen.header.timeoutMs, 3000u);
    EXPECT_EQ(seen.header.endpoint, 0);
    EXPECT_EQ(seen.header.dataOffset, 38u);
    EXPECT_EQ(seen.header.dataLength, 64u);
}

using ControllerRequests = ControllerTest;

TEST_F(ControllerRequests, RegisterWritesCarryTheirFieldsAndBytes) {
    ASSERT_EQ(controller_->WriteFpgaRegister(0x12, 0x34), 1);
    ASSERT_EQ(controller_->WriteSensorRegister32(0x8123, 0x11223344), 1);
    ASSERT_EQ(controller_->WriteRegister16(0x301A, 0xBEEF), 1);
    ASSERT_EQ(controller_->WriteAuxRegister(0x07, 0x99), 1);
    ASSERT_EQ(controller_->WriteOutputMode(0x05), 1);

    const auto seen = camera_->controls();
    ASSERT_EQ(seen.size(), 5u);
    expectControlHeader(seen[0], 0x40, 0x30, 3, 0x40);
    EXPECT_EQ(std::vector<uint8_t>(seen[0].data.begin(), seen[0].data.begin() + 4),
              (std::vector<uint8_t>{0x12, 0x00, 0x34, 0x00}));
    expectControlHeader(seen[1], 0x40, 0xD0, 1, 0x0123);
    EXPECT_EQ(std::vector<uint8_t>(seen[1].data.begin(), seen[1].data.begin() + 5),
              (std::vector<uint8_t>{0x44, 0x33, 0x22, 0x11, 0x00}));
    expectControlHeader(seen[2], 0x40, 0x3E, 0, 0);
    EXPECT_EQ(std::vector<uint8_t>(seen[2].data.begin(), seen[2].data.begin() + 4),
              (std::vector<uint8_t>{0x30, 0x1A, 0xBE, 0xEF}));
    expectControlHeader(seen[3], 0x40, 0x30, 2, 0x5A);
    EXPECT_EQ(seen[3].data[0], 0x07);
    EXPECT_EQ(seen[3].data[1], 0x99);
    expectControlHeader(seen[4], 0x40, 0x3C, 0, 0);
    EXPECT_EQ(seen[4].data[0], 0x05);
    // Bytes a request does not name stay zero.
    for (size_t i = 4; i < seen[2].data.size(); ++i) {
        EXPECT_EQ(seen[2].data[i], 0) << i;
    }
}

TEST_F(ControllerRequests, FpgaRegisterReadTakesTheSecondByte) {
    ASSERT_EQ(controller_->WriteFpgaRegister(0x3C, 0x5B), 1);
    uint8_t value = 0;
    ASSERT_EQ(controller_->ReadFpgaRegister(0x3C, &value), 1);
    EXPECT_EQ(value, 0x5B);
    const auto reads = camera_->controls(0x31);
    ASSERT_EQ(reads.size(), 1u);
    expectControlHeader(reads[0], 0xC0, 0x31, 2, 0x41);
    // The register number went out first, as a one-byte I2C write.
    const auto writes = camera_->controls(0x30);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].header.value, 1);
    EXPECT_EQ(writes[1].data[0], 0x3C);

    camera_->setReply(0x31, {0xAA, 0x77}, 2);
    ASSERT_EQ(controller_->ReadFpgaRegister(0x10, &value), 1);
    EXPECT_EQ(value, 0x77);
    uint16_t word = 0;
    ASSERT_EQ(controller_->ReadFpgaWord(&word), 1);
    EXPECT_EQ(word, 0x7777);
}

TEST_F(ControllerRequests, I2cTransfersAboveSixtyFourBytesSendNothing) {
    uint8_t data[65] = {};
    EXPECT_EQ(controller_->I2cWrite(0x20, data, 65, 3000), 0);
    EXPECT_EQ(controller_->I2cRead(0x20, data, 65, 3000), 0);
    EXPECT_TRUE(camera_->controls().empty());
    EXPECT_EQ(controller_->I2cWrite(0x20, data, 64, 3000), 1);
    EXPECT_EQ(camera_->controls().size(), 1u);
}

TEST_F(ControllerRequests, I2cReadCopiesOnlyAFullReply) {
    camera_->setReply(0x31, {1, 2, 3, 4}, 3);
    uint8_t out[4] = {9, 9, 9, 9};
    EXPECT_EQ(controller_->I2cRead(0x20, out, 4, 3000), 1);  // the request itself succeeded
    EXPECT_EQ(out[0], 9);
    EXPECT_EQ(controller_->I2cRead(0x20, out, 3, 3000), 1);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[2], 3);
    EXPECT_EQ(out[3], 9);
    EXPECT_EQ(camera_->controls(0x31)[0].header.index, 0x21);  // read address has bit 0 set
}

TEST_F(ControllerRequests, ShortRepliesSucceedButLeaveOutputsAlone) {
    std::vector<uint8_t> info(64);
    for (size_t i = 0; i < info.size(); ++i) {
        info[i] = static_cast<uint8_t>(i + 1);
    }
    camera_->setReply(0xB0, info, 10);
    uint8_t block[64];
    std::fill(std::begin(block), std::end(block), 0xEE);
    EXPECT_EQ(controller_->ReadDeviceInfo(block), 1);
    EXPECT_EQ(block[0], 0xEE);
    EXPECT_EQ(block[63], 0xEE);
    camera_->setReply(0xB0, info, 64);
    EXPECT_EQ(controller_->ReadDeviceInfo(block), 1);
    EXPECT_EQ(block[0], 1);
    EXPECT_EQ(block[63], 64);
    expectControlHeader(camera_->controls(0xB0)[0], 0xC0, 0xB0, 0, 0);

    camera_->setReply(0xC3, {1}, 63);
    uint8_t ready = 7;
    EXPECT_EQ(controller_->ReadReadyStatus(&ready), 1);
    EXPECT_EQ(ready, 7);

    camera_->setReply(0xD1, {0x34, 0x12}, 63);
    uint32_t sensor = 0xFFFFFFFF;
    EXPECT_EQ(controller_->ReadSensorRegister16(0x0042, &sensor), 1);
    EXPECT_EQ(sensor, 0u);  // cleared, not filled from a short reply
    expectControlHeader(camera_->controls(0xD1)[0], 0xC0, 0xD1, 0, 0x0042);
}

TEST_F(ControllerRequests, Register16ReadNeedsOneByteOnly) {
    camera_->setReply(0x3F, {0x34, 0x12}, 1);
    uint32_t value = 0;
    EXPECT_EQ(controller_->ReadRegister16(0x3000, &value), 1);
    // Byte 1 is what the reply buffer held there: the request's zero.
    EXPECT_EQ(value, 0x0034u);
    expectControlHeader(camera_->controls(0x3F)[0], 0xC0, 0x3F, 0x3000, 0);

    camera_->setReply(0x3F, {0x78, 0x56}, 2);
    EXPECT_EQ(controller_->ReadRegister16(0x3000, &value), 1);
    EXPECT_EQ(value, 0x5678u);
    camera_->setReply(0x3F, {0x11, 0x22}, 0);  // no data byte: the value stays
    EXPECT_EQ(controller_->ReadRegister16(0x3000, &value), 1);
    EXPECT_EQ(value, 0x5678u);

    camera_->setReply(0x3D, {0x42}, 1);
    uint8_t mode = 0;
    EXPECT_EQ(controller_->ReadOutputMode(&mode), 1);
    EXPECT_EQ(mode, 0x42);
}

TEST_F(ControllerRequests, FailedRequestsReportZero) {
    camera_->failControl(0x30);
    EXPECT_EQ(controller_->WriteFpgaRegister(1, 2), 0);
    uint8_t value = 0xAB;
    EXPECT_EQ(controller_->ReadFpgaRegister(1, &value), 0);
    EXPECT_EQ(value, 0xAB);
    EXPECT_EQ(controller_->WriteSromByte(0x1080, 5), 0);
}

TEST_F(ControllerRequests, StreamCommandsUseTheirRequestTypes) {
    ASSERT_EQ(controller_->RestartStream(), 1);
    ASSERT_EQ(controller_->SendEndpointRequestCC(), 1);
    ASSERT_EQ(controller_->OpenStream(), 1);
    ASSERT_EQ(controller_->ArmTransfer(controller_->StreamHandle()), 1);
    const auto seen = camera_->controls();
    ASSERT_EQ(seen.size(), 3u);
    expectControlHeader(seen[0], 0x40, 0xC0, 0, 0);
    expectControlHeader(seen[1], 0x42, 0xCC, 0, 0);
    expectControlHeader(seen[2], 0x42, 0xC2, 0, 0);
    EXPECT_EQ(controller_->ArmTransfer(nullptr), 0);
    uint32_t speed = 0;
    EXPECT_EQ(controller_->GetDeviceSpeed(&speed), 1);
    EXPECT_EQ(speed, 4u);
}

TEST_F(ControllerRequests, SerialRomBytesUseBigEndianAddresses) {
    ASSERT_EQ(controller_->WriteSromByte(0x1080, 0x5A), 1);
    camera_->setReply(0x31, {0xC7}, 1);
    uint8_t value = 0;
    ASSERT_EQ(controller_->ReadSromByte(0x1080, &value), 1);
    EXPECT_EQ(value, 0xC7);
    const auto writes = camera_->controls(0x30);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].header.index, 0xA2);
    EXPECT_EQ(writes[0].header.value, 3);
    EXPECT_EQ(writes[0].data[0], 0x10);
    EXPECT_EQ(writes[0].data[1], 0x80);
    EXPECT_EQ(writes[0].data[2], 0x5A);
    EXPECT_EQ(writes[1].header.value, 2);
    EXPECT_EQ(camera_->controls(0x31)[0].header.index, 0xA3);
}

TEST_F(ControllerRequests, AnUnpluggedCameraFailsEveryRequest) {
    fx3::InProcessBus::instance().detach(path_);
    camera_->setConnected(false);
    EXPECT_EQ(controller_->WriteFpgaRegister(1, 2), 0);
    uint8_t block[64] = {};
    EXPECT_EQ(controller_->ReadDeviceInfo(block), 0);
    EXPECT_EQ(controller_->OpenStream(), 0);
    uint32_t speed = 0;
    EXPECT_EQ(controller_->GetDeviceSpeed(&speed), 0);
}

} // namespace
} // namespace lumvek::test
