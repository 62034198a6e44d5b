#pragma once
// The FX3 driver's request packet: a 38-byte little-endian header that starts
// every buffer handed to the driver, the seven I/O-control codes, and the
// control-request buffer (header + 64 data bytes). Used by the controller
// (which builds requests) and by the driver stand-in and simulator (which
// parse them). Pure encoding: no I/O here.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace lumvek::fx3 {

inline constexpr size_t kRequestHeaderBytes = 38;
inline constexpr size_t kControlDataBytes = 64;
inline constexpr size_t kControlRequestBytes = kRequestHeaderBytes + kControlDataBytes;  // 102
inline constexpr uint32_t kControlTimeoutMs = 3000;
inline constexpr uint32_t kMaxDataTransferBytes = 0x4000000;  // 64 MiB

// I/O-control codes of the driver.
inline constexpr uint32_t kIoctlControlTransfer = 0x220020;
inline constexpr uint32_t kIoctlBufferedTransfer = 0x220024;
inline constexpr uint32_t kIoctlResetPipe = 0x22002C;
inline constexpr uint32_t kIoctlResetPort = 0x220030;
inline constexpr uint32_t kIoctlAbortPipe = 0x220044;
inline constexpr uint32_t kIoctlDirectTransfer = 0x22004B;
inline constexpr uint32_t kIoctlLinkSpeed = 0x22004C;

inline constexpr uint32_t kLinkSpeedSuper = 4;

// bmRequestType values used by the library.
inline constexpr uint8_t kRequestTypeVendorOut = 0x40;
inline constexpr uint8_t kRequestTypeVendorIn = 0xC0;
inline constexpr uint8_t kRequestTypeVendorOutEndpoint = 0x42;

inline constexpr uint8_t kEndpointFrames = 0x81;
inline constexpr uint8_t kEndpointWholeFrames = 0x83;

// Header field offsets.
namespace offset {
inline constexpr size_t kRequestType = 0;
inline constexpr size_t kRequestCode = 1;
inline constexpr size_t kValue = 2;
inline constexpr size_t kIndex = 4;
inline constexpr size_t kLength = 6;
inline constexpr size_t kTimeout = 8;
inline constexpr size_t kEndpoint = 13;
inline constexpr size_t kStatusA = 14;
inline constexpr size_t kStatusB = 18;
inline constexpr size_t kDataOffset = 30;
inline constexpr size_t kDataLength = 34;
} // namespace offset

struct RequestHeader {
    uint8_t requestType = 0;
    uint8_t requestCode = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;
    uint32_t timeoutMs = 0;
    uint8_t endpoint = 0;
    uint32_t statusA = 0;
    uint32_t statusB = 0;
    uint32_t dataOffset = 0;
    uint32_t dataLength = 0;
};

// Writes the header into the first 38 bytes of out (reserved bytes zeroed).
// Returns false if out is shorter than 38 bytes.
[[nodiscard]] bool encodeHeader(const RequestHeader& header, std::span<uint8_t> out);
// Reads a header from the first 38 bytes of in; false if in is too short.
[[nodiscard]] bool decodeHeader(std::span<const uint8_t> in, RequestHeader& header);

// Writes only the two completion-status words (what the driver fills in).
[[nodiscard]] bool writeCompletionStatus(std::span<uint8_t> buffer, uint32_t statusA, uint32_t statusB);

// A vendor control request as the controller sends it: every field zero but
// those given; length 102, time-out 3000, data offset 38, data length 64.
using ControlRequestBuffer = std::array<uint8_t, kControlRequestBytes>;
[[nodiscard]] ControlRequestBuffer makeControlRequest(uint8_t requestType, uint8_t requestCode, uint16_t value,
                                                      uint16_t index, std::span<const uint8_t> data = {});

// Data transfer headers: buffered (data offset 38, data length n) and direct
// (all zero but the endpoint).
[[nodiscard]] RequestHeader makeBufferedTransferHeader(uint8_t endpoint, uint32_t length);
[[nodiscard]] RequestHeader makeDirectTransferHeader(uint8_t endpoint);

} // namespace lumvek::fx3
