#pragma once
// What the library and a camera's USB3 controller say to each other, written
// once for both ends: the controller side (usb/quelro_cy3_cam) and the
// simulated camera (sim/) include this header. Endpoints and request types
// are the driver's (platform/fx3/driver_request.h).
#include <cstddef>
#include <cstdint>

namespace lumvek {

// Vendor request codes of the camera's USB3 controller.
namespace vendor {
inline constexpr uint8_t kI2cWrite = 0x30;
inline constexpr uint8_t kI2cRead = 0x31;
inline constexpr uint8_t kWriteRegister16 = 0x3E;
inline constexpr uint8_t kReadRegister16 = 0x3F;
inline constexpr uint8_t kWriteOutputMode = 0x3C;
inline constexpr uint8_t kReadOutputMode = 0x3D;
inline constexpr uint8_t kReadDeviceInfo = 0xB0;
inline constexpr uint8_t kReadDeviceInfoB1 = 0xB1;
inline constexpr uint8_t kRestartStream = 0xC0;
inline constexpr uint8_t kArmTransfer = 0xC2;
inline constexpr uint8_t kReadReadyStatus = 0xC3;
inline constexpr uint8_t kEndpointRequestCC = 0xCC;
inline constexpr uint8_t kWriteSensorRegister32 = 0xD0;
inline constexpr uint8_t kReadSensorRegister16 = 0xD1;
} // namespace vendor

// Devices on the controller's I2C bus (8-bit address form; reads set bit 0).
namespace i2c {
inline constexpr uint8_t kFpgaWrite = 0x40;
inline constexpr uint8_t kFpgaRead = 0x41;
inline constexpr uint8_t kSromWrite = 0xA2;
inline constexpr uint8_t kSromRead = 0xA3;
inline constexpr uint8_t kAuxWrite = 0x5A;
inline constexpr uint8_t kAuxRead = 0x5B;
inline constexpr uint8_t kMaxTransferBytes = 64;
} // namespace i2c

// The frame header: 64 bytes on the frame endpoint after each arm request,
// ahead of the pixel data. It carries the pixel-data byte count at offset 16
// and the frame tag at offset 32 (little-endian 32-bit words).
inline constexpr size_t kFrameHeaderBytes = 64;
inline constexpr size_t kFrameHeaderPixelCountOffset = 16;
inline constexpr size_t kFrameHeaderTagOffset = 32;

} // namespace lumvek
