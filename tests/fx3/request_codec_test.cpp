// The driver request header and device paths on raw bytes.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/fx3/driver_request.h"
#include "platform/fx3/fx3_driver.h"
#include "platform/fx3/socket_wire.h"
#include "platform/fx3/usb_device.h"

namespace lumvek::fx3 {
namespace {

TEST(RequestCodec, ControlRequestBytesSitAtTheirOffsets) {
    const uint8_t data[] = {0xAA, 0xBB, 0xCC};
    const auto buffer = makeControlRequest(0xC0, 0x31, 0x1234, 0xA3, data);
    const uint8_t expected[38] = {0xC0, 0x31, 0x34, 0x12, 0xA3, 0x00, 102, 0, 0xB8, 0x0B, 0, 0, 0, 0,
                                  0,    0,    0,    0,    0,    0,    0,   0, 0,    0,    0, 0, 0, 0,
                                  0,    0,    38,   0,    0,    0,    64,  0, 0,    0};
    for (size_t i = 0; i < 38; ++i) {
        EXPECT_EQ(buffer[i], expected[i]) << "offset " << i;
    }
    EXPECT_EQ(buffer[38], 0xAA);
    EXPECT_EQ(buffer[40], 0xCC);
    EXPECT_EQ(buffer[41], 0);
    EXPECT_EQ(buffer[101], 0);
}

TEST(RequestCodec, DecodeReadsEveryFieldAndRejectsShortInput) {
    uint8_t raw[38] = {};
    raw[0] = 0x42;
    raw[1] = 0xC2;
    raw[13] = 0x81;
    raw[14] = 0x01;  // status A = 0x04030201
    raw[15] = 0x02;
    raw[16] = 0x03;
    raw[17] = 0x04;
    raw[18] = 0xFF;  // status B = 0x000000FF
    raw[34] = 0x00;
    raw[35] = 0x00;
    raw[36] = 0x00;
    raw[37] = 0x04;  // data length 0x04000000
    RequestHeader header;
    ASSERT_TRUE(decodeHeader(raw, header));
    EXPECT_EQ(header.requestType, 0x42);
    EXPECT_EQ(header.requestCode, 0xC2);
    EXPECT_EQ(header.endpoint, 0x81);
    EXPECT_EQ(header.statusA, 0x04030201u);
    EXPECT_EQ(header.statusB, 0xFFu);
    EXPECT_EQ(header.dataLength, 0x04000000u);
    EXPECT_FALSE(decodeHeader(std::span<const uint8_t>(raw, 37), header));
    uint8_t out[38];
    ASSERT_TRUE(encodeHeader(header, out));
    EXPECT_EQ(std::memcmp(out, raw, 38), 0);
    EXPECT_FALSE(writeCompletionStatus(std::span<uint8_t>(out, 20), 1, 1));
    ASSERT_TRUE(writeCompletionStatus(out, 0, 0));
    EXPECT_EQ(out[14] | out[17] | out[18] | out[21], 0);
}

TEST(RequestCodec, TransferHeaders) {
    uint8_t raw[38];
    ASSERT_TRUE(encodeHeader(makeDirectTransferHeader(0x83), raw));
    for (size_t i = 0; i < 38; ++i) {
        EXPECT_EQ(raw[i], i == 13 ? 0x83 : 0) << "offset " << i;
    }
    ASSERT_TRUE(encodeHeader(makeBufferedTransferHeader(0x81, 0x80000), raw));
    EXPECT_EQ(raw[30], 38);
    EXPECT_EQ(raw[36], 0x08);
}

TEST(DevicePaths, IdentifiersAtTheOffsetsDiscoveryReads) {
    const std::string path = formatDevicePath(0x04B4, 0x3090, "cam-7");
    EXPECT_EQ(path, "\\\\?\\usb#vid_04b4&pid_3090#cam-7#{328184c5-93e6-49b7-94b8-2ada13aabb39}");
    EXPECT_EQ(path.substr(12, 4), "04b4");
    EXPECT_EQ(path.substr(21, 4), "3090");
    DevicePathParts parts;
    ASSERT_TRUE(parseDevicePath(path, parts));
    EXPECT_EQ(parts.vendorId, 0x04B4);
    EXPECT_EQ(parts.productId, 0x3090);
    EXPECT_EQ(parts.instance, "cam-7");
    for (const std::string bad : {"", "\\\\?\\usb#vid_04b4&pid_3090##{328184c5-93e6-49b7-94b8-2ada13aabb39}",
                                  "\\\\?\\usb#vid_04g4&pid_3090#x#{328184c5-93e6-49b7-94b8-2ada13aabb39}",
                                  "\\\\?\\usb#vid_04b4&pid_3090#x#{00000000-93e6-49b7-94b8-2ada13aabb39}"}) {
        EXPECT_FALSE(parseDevicePath(bad, parts)) << bad;
    }
}

TEST(DevicePaths, SocketFileNamesRoundTripAndRejectStrangers) {
    const auto name = wire::socketFileName(0x04B4, 0x31E0, "left.cam");
    EXPECT_EQ(name, "04b4_31e0_left.cam.sock");
    const auto parsed = wire::parseSocketFileName(name);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->productId, 0x31E0);
    EXPECT_EQ(parsed->instance, "left.cam");
    EXPECT_FALSE(wire::parseSocketFileName(".ctl-x.sock"));
    EXPECT_FALSE(wire::parseSocketFileName("04b4_31e0_.sock"));
    EXPECT_FALSE(wire::parseSocketFileName("04b4_31e0_a#b.sock"));
    EXPECT_FALSE(wire::parseSocketFileName("04b4_31e0_cam.txt"));
    EXPECT_FALSE(wire::isValidInstanceName("a/b"));
    EXPECT_FALSE(wire::isValidInstanceName(std::string(65, 'a')));
}

TEST(WireFrames, EncodeDecodeLittleEndian) {
    uint8_t raw[wire::kFrameBytes];
    wire::encodeFrame({2, 0x81, 0x80000, 100}, raw);
    EXPECT_EQ(raw[0], 2);
    EXPECT_EQ(raw[4], 0x81);
    EXPECT_EQ(raw[10], 0x08);
    const auto frame = wire::decodeFrame(raw);
    EXPECT_EQ(frame.b, 0x80000u);
    EXPECT_EQ(frame.c, 100u);
}

} // namespace
} // namespace lumvek::fx3
