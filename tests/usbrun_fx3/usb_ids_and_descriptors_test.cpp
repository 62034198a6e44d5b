// The pure parts of the USB path: which identifiers count as cameras, the
// link-speed answer, and the descriptors usb-run gives simulated cameras.
#include <gtest/gtest.h>

#include <libusb.h>

#include "daemon/usbrun/setup_packet.h"
#include "daemon/usbrun/usb_device_record.h"
#include "platform/fx3/libusb_backend.h"
#include "platform/fx3/usb_id_filter.h"

namespace lumvek::fx3 {
namespace {

TEST(UsbIdFilter, VendorListParsing) {
    EXPECT_EQ(parseUsbVendorIds(nullptr), std::vector<uint16_t>{kDefaultUsbVendorId});
    EXPECT_EQ(parseUsbVendorIds("04b4, 0x1F3A,1f3a"), (std::vector<uint16_t>{0x04b4, 0x1f3a}));
    // Bad entries are skipped, not read as 0.
    EXPECT_EQ(parseUsbVendorIds("zz,12345,,0x,  ab "), std::vector<uint16_t>{0xab});
    EXPECT_TRUE(parseUsbVendorIds("").empty());
}

TEST(UsbIdFilter, ProductsNeedTheCameraLayersCheckOnceInstalled) {
    const std::vector<uint16_t> vendors{0x04b4};
    EXPECT_FALSE(isCameraUsbId(vendors, 0x1234, 0x3090));
    setUsbProductCheck([](int product) { return product == 0x3090; });
    EXPECT_TRUE(isCameraUsbId(vendors, 0x04b4, 0x3090));
    EXPECT_FALSE(isCameraUsbId(vendors, 0x04b4, 0x00f3));  // the controller's own bootloader
    setUsbProductCheck(nullptr);
    EXPECT_TRUE(isCameraUsbId(vendors, 0x04b4, 0x00f3));
}

TEST(UsbIdFilter, LinkSpeedAnswer) {
    EXPECT_EQ(linkSpeedOf(LIBUSB_SPEED_SUPER), 4u);
    EXPECT_EQ(linkSpeedOf(LIBUSB_SPEED_SUPER_PLUS), 4u);
    EXPECT_EQ(linkSpeedOf(LIBUSB_SPEED_HIGH), 3u);  // a camera on a USB 2 port
    EXPECT_EQ(linkSpeedOf(LIBUSB_SPEED_UNKNOWN), 0u);
}

TEST(UsbRunDescriptors, SuperSpeedCameraWithTwoBulkInEndpoints) {
    const auto bytes = sim::usbrun::cameraDescriptors(0x04b4, 0x3090);
    ASSERT_GE(bytes.size(), 18u + 9u);
    EXPECT_EQ(bytes[0], 18);
    EXPECT_EQ(bytes[1], 1);
    EXPECT_EQ(bytes[3], 0x03);  // USB 3.0
    EXPECT_EQ(bytes[8] | (bytes[9] << 8), 0x04b4);
    EXPECT_EQ(bytes[10] | (bytes[11] << 8), 0x3090);
    // The configuration's total length covers everything after the device descriptor.
    EXPECT_EQ(bytes[18 + 2] | (bytes[18 + 3] << 8), static_cast<int>(bytes.size() - 18));
    // Walk the descriptors: every length stays inside, endpoints 0x81 and 0x83 are bulk.
    std::vector<uint8_t> endpoints;
    for (size_t at = 18; at < bytes.size();) {
        ASSERT_GE(bytes[at], 2);
        ASSERT_LE(at + bytes[at], bytes.size());
        if (bytes[at + 1] == 5) {
            endpoints.push_back(bytes[at + 2]);
            EXPECT_EQ(bytes[at + 3], 2);
            EXPECT_EQ(bytes[at + 4] | (bytes[at + 5] << 8), 1024);
        }
        at += bytes[at];
    }
    EXPECT_EQ(endpoints, (std::vector<uint8_t>{0x81, 0x83}));
}

TEST(UsbRunDescriptors, RecordNamesTheNodeAndItsNumbers) {
    const sim::usbrun::UsbPlacement placement{2, 3, 4};
    const std::string record = sim::usbrun::cameraRecord(0x04b4, 0x3090, placement);
    EXPECT_NE(record.find("P: /devices/pci0000:00/0000:00:14.0/usb2/2-3\n"), std::string::npos) << record;
    EXPECT_NE(record.find("N: bus/usb/002/004\n"), std::string::npos);
    EXPECT_NE(record.find("E: DEVNAME=/dev/bus/usb/002/004\n"), std::string::npos);
    EXPECT_NE(record.find("A: dev=189:131\n"), std::string::npos);  // (2-1)*128 + (4-1)
    EXPECT_NE(record.find("A: speed=5000\n"), std::string::npos);
    EXPECT_NE(record.find("H: descriptors=12010003"), std::string::npos);
}

TEST(UsbRunDescriptors, ASerialNumberIsStringThreeAndASysfsAttribute) {
    const sim::usbrun::UsbPlacement placement{2, 3, 4};
    const std::string none = sim::usbrun::cameraRecord(0x04b4, 0x3090, placement);
    EXPECT_EQ(none.find("A: serial="), std::string::npos);
    // iSerialNumber, byte 16 of the device descriptor (hex digits 32..33 of the record's descriptors).
    const auto descriptorByte16 = [](const std::string& record) {
        const size_t at = record.find("H: descriptors=");
        return at == std::string::npos ? std::string() : record.substr(at + 15 + 32, 2);
    };
    EXPECT_EQ(descriptorByte16(none), "00");
    const std::string serial = sim::usbrun::cameraRecord(0x04b4, 0x3090, placement, "SN-0042");
    EXPECT_NE(serial.find("A: serial=SN-0042\n"), std::string::npos) << serial;
    EXPECT_EQ(descriptorByte16(serial), "03");
}

TEST(UsbRunSetupPacket, VendorRequestBecomesTheDriverHeader) {
    // bmRequestType 0xC0, bRequest 0x31 (I2C read), wValue 2, wIndex 0x41, wLength 64.
    const uint8_t raw[8] = {0xC0, 0x31, 0x02, 0x00, 0x41, 0x00, 0x40, 0x00};
    const auto setup = sim::usbrun::decodeSetupPacket(raw);
    EXPECT_TRUE(setup.in());
    EXPECT_EQ(setup.length, 64);
    const RequestHeader header = sim::usbrun::requestHeaderFor(setup);
    EXPECT_EQ(header.requestType, 0xC0);
    EXPECT_EQ(header.requestCode, 0x31);
    EXPECT_EQ(header.value, 2);
    EXPECT_EQ(header.index, 0x41);
    EXPECT_EQ(header.length, kControlRequestBytes);  // what the controller's own requests carry
    EXPECT_EQ(header.dataLength, 64u);
    EXPECT_EQ(header.timeoutMs, kControlTimeoutMs);
    const uint8_t out[8] = {0x42, 0xC2, 0x34, 0x12, 0x81, 0x00, 0x00, 0x01};
    const auto arm = sim::usbrun::decodeSetupPacket(out);
    EXPECT_FALSE(arm.in());
    EXPECT_EQ(arm.value, 0x1234);
    EXPECT_EQ(arm.index, 0x81);
    EXPECT_EQ(arm.length, 256);
}

} // namespace
} // namespace lumvek::fx3
