#include "daemon/usbrun/usb_device_record.h"

#include <cstdio>

namespace lumvek::sim::usbrun {

namespace {
constexpr uint8_t kDescriptorDevice = 0x01;
constexpr uint8_t kDescriptorConfiguration = 0x02;
constexpr uint8_t kDescriptorInterface = 0x04;
constexpr uint8_t kDescriptorEndpoint = 0x05;
constexpr uint8_t kDescriptorSsEndpointCompanion = 0x30;
constexpr uint16_t kUsb30 = 0x0300;
constexpr uint16_t kUsb21 = 0x0210;
constexpr uint8_t kMaxPacket0HighSpeed = 64;
constexpr uint16_t kBulkMaxPacketHighSpeed = 512;
constexpr uint8_t kMaxPacket0Exponent = 9;  // 512-byte control packets at SuperSpeed
constexpr uint16_t kBulkMaxPacket = 1024;
constexpr uint8_t kMaxBurst = 15;
constexpr uint8_t kVendorClass = 0xFF;
constexpr uint8_t kTransferBulk = 0x02;
constexpr uint8_t kSelfPoweredAttributes = 0xC0;
constexpr uint8_t kMaxPowerUnits = 0x32;  // 8 mA units at SuperSpeed: 400 mA
constexpr int kSuperSpeedMbps = 5000;
constexpr const char* kHostController = "/sys/devices/pci0000:00/0000:00:14.0";
constexpr size_t kSerialIndexOffset = 16;  // iSerialNumber in the device descriptor
constexpr uint8_t kSerialStringIndex = 3;

void put16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void bulkInEndpoint(std::vector<uint8_t>& out, uint8_t address, bool superSpeed) {
    out.insert(out.end(), {7, kDescriptorEndpoint, address, kTransferBulk});
    put16(out, superSpeed ? kBulkMaxPacket : kBulkMaxPacketHighSpeed);
    out.push_back(0);  // bInterval
    if (superSpeed) {
        out.insert(out.end(), {6, kDescriptorSsEndpointCompanion, kMaxBurst, 0, 0, 0});
    }
}
} // namespace

std::vector<uint8_t> cameraDescriptors(uint16_t vendorId, uint16_t productId, bool superSpeed) {
    std::vector<uint8_t> out{18, kDescriptorDevice};
    put16(out, superSpeed ? kUsb30 : kUsb21);
    out.insert(out.end(), {0, 0, 0, superSpeed ? kMaxPacket0Exponent : kMaxPacket0HighSpeed});
    put16(out, vendorId);
    put16(out, productId);
    put16(out, 0x0100);  // bcdDevice
    out.insert(out.end(), {0, 0, 0, 1});  // no strings, one configuration
    const size_t configStart = out.size();
    out.insert(out.end(), {9, kDescriptorConfiguration, 0, 0, 1, 1, 0, kSelfPoweredAttributes, kMaxPowerUnits});
    out.insert(out.end(), {9, kDescriptorInterface, 0, 0, 2, kVendorClass, 0, 0, 0});
    bulkInEndpoint(out, 0x81, superSpeed);
    bulkInEndpoint(out, 0x83, superSpeed);
    const auto total = static_cast<uint16_t>(out.size() - configStart);
    out[configStart + 2] = static_cast<uint8_t>(total);
    out[configStart + 3] = static_cast<uint8_t>(total >> 8);
    return out;
}

std::string cameraSysPath(const UsbPlacement& placement) {
    return std::string(kHostController) + "/usb" + std::to_string(placement.bus) + "/" +
           std::to_string(placement.bus) + "-" + std::to_string(placement.port);
}

std::string cameraDevNode(const UsbPlacement& placement) {
    char node[40];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", placement.bus, placement.address);
    return node;
}

std::string cameraRecord(uint16_t vendorId, uint16_t productId, const UsbPlacement& placement,
                         const std::string& serial) {
    const std::string sys = cameraSysPath(placement);
    const std::string node = cameraDevNode(placement);
    char ids[64];
    std::string hex;
    const bool superSpeed = placement.speedMbps >= kSuperSpeedMbps;
    std::vector<uint8_t> descriptors = cameraDescriptors(vendorId, productId, superSpeed);
    if (!serial.empty()) descriptors[kSerialIndexOffset] = kSerialStringIndex;
    for (uint8_t byte : descriptors) {
        std::snprintf(ids, sizeof ids, "%02X", byte);
        hex += ids;
    }
    std::string record;
    record += "P: " + sys.substr(4) + "\n";  // without the leading /sys
    record += "N: " + node.substr(5) + "\n";  // without the leading /dev/
    record += "E: DEVNAME=" + node + "\n";
    record += "E: DEVTYPE=usb_device\n";
    record += "E: DRIVER=usb\n";
    std::snprintf(ids, sizeof ids, "E: PRODUCT=%x/%x/100\n", vendorId, productId);
    record += ids;
    record += "E: SUBSYSTEM=usb\n";
    std::snprintf(ids, sizeof ids, "E: BUSNUM=%03d\nE: DEVNUM=%03d\n", placement.bus, placement.address);
    record += ids;
    std::snprintf(ids, sizeof ids, "E: ID_VENDOR_ID=%04x\nE: ID_MODEL_ID=%04x\n", vendorId, productId);
    record += ids;
    record += "A: busnum=" + std::to_string(placement.bus) + "\n";
    record += "A: devnum=" + std::to_string(placement.address) + "\n";
    record += "A: devpath=" + std::to_string(placement.port) + "\n";
    // Minor numbers of usbfs nodes: (bus - 1) * 128 + (address - 1).
    record += "A: dev=" + std::to_string(kUsbMajor) + ":" +
              std::to_string((placement.bus - 1) * 128 + placement.address - 1) + "\n";
    std::snprintf(ids, sizeof ids, "A: idVendor=%04x\nA: idProduct=%04x\n", vendorId, productId);
    record += ids;
    record += "A: bcdDevice=0100\nA: bDeviceClass=00\nA: bNumConfigurations=1\nA: bConfigurationValue=1\n";
    record += superSpeed ? "A: bNumInterfaces= 1\nA: bMaxPacketSize0=9\nA: version= 3.00\n"
                         : "A: bNumInterfaces= 1\nA: bMaxPacketSize0=64\nA: version= 2.10\n";
    record += "A: speed=" + std::to_string(placement.speedMbps) + "\n";
    if (!serial.empty()) record += "A: serial=" + serial + "\n";
    record += "H: descriptors=" + hex + "\n";
    return record;
}

} // namespace lumvek::sim::usbrun
