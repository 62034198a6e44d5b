#include "daemon/usbrun/setup_packet.h"

namespace lumvek::sim::usbrun {

namespace {
uint16_t little16(std::span<const uint8_t, kSetupBytes> bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}
} // namespace

SetupPacket decodeSetupPacket(std::span<const uint8_t, kSetupBytes> bytes) {
    return {bytes[0], bytes[1], little16(bytes, 2), little16(bytes, 4), little16(bytes, 6)};
}

fx3::RequestHeader requestHeaderFor(const SetupPacket& setup) {
    fx3::RequestHeader header;
    header.requestType = setup.requestType;
    header.requestCode = setup.request;
    header.value = setup.value;
    header.index = setup.index;
    header.length = static_cast<uint16_t>(fx3::kRequestHeaderBytes + setup.length);
    header.timeoutMs = fx3::kControlTimeoutMs;
    header.dataOffset = static_cast<uint32_t>(fx3::kRequestHeaderBytes);
    header.dataLength = setup.length;
    return header;
}

} // namespace lumvek::sim::usbrun
