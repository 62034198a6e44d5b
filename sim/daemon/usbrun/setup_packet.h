#pragma once
// The 8-byte USB setup packet of a control URB, and the driver request
// header that carries the same vendor request through the FX3 driver (what
// the simulator's request handler reads). Pure decoding: no I/O.
#include <cstdint>
#include <span>

#include "platform/fx3/driver_request.h"

namespace lumvek::sim::usbrun {

inline constexpr size_t kSetupBytes = 8;

struct SetupPacket {
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;  // data bytes of the data stage
    [[nodiscard]] bool in() const { return (requestType & 0x80) != 0; }
};

[[nodiscard]] SetupPacket decodeSetupPacket(std::span<const uint8_t, kSetupBytes> bytes);

// The header the driver builds for the request: fields of the setup packet,
// the 38-byte header plus data as the length, the control time-out.
[[nodiscard]] fx3::RequestHeader requestHeaderFor(const SetupPacket& setup);

} // namespace lumvek::sim::usbrun
