#pragma once
// What reached a simulated camera, in arrival order: every control request
// as the driver delivered it (header fields and data bytes) and every
// register access it turned into (sensor banks, FPGA, serial ROM, auxiliary
// device, other I2C devices). Tests read it to check the controller's
// traffic. Bounded: the oldest records go first past kMaxRecords.
#include <array>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/fx3/driver_request.h"

namespace lumvek::sim {

struct ControlRecord {
    fx3::RequestHeader header;
    std::array<uint8_t, fx3::kControlDataBytes> data{};
    bool ok = false;
};

enum class Access {
    SensorWrite32,  // 0xD0: address (bank in bit 15), value
    SensorRead16,   // 0xD1
    RegisterWrite16,  // 0x3E
    RegisterRead16,   // 0x3F
    FpgaWrite,
    FpgaRead,
    SromWrite,
    SromRead,
    AuxWrite,
    AuxRead,
    I2cWrite,  // other I2C devices: address = 8-bit device address, value = byte count
    I2cRead,
};

struct RegisterAccess {
    Access kind;
    uint32_t address;
    uint32_t value;
    friend bool operator==(const RegisterAccess&, const RegisterAccess&) = default;
};

class RegisterLog {
public:
    static constexpr size_t kMaxRecords = 1 << 16;

    void addRequest(const ControlRecord& record);
    void addAccess(Access kind, uint32_t address, uint32_t value);

    [[nodiscard]] std::vector<ControlRecord> requests() const;
    [[nodiscard]] std::vector<RegisterAccess> accesses() const;
    // Accesses of one kind only, in order.
    [[nodiscard]] std::vector<RegisterAccess> accesses(Access kind) const;
    void clear();

private:
    mutable std::mutex mutex_;  // guards requests_ and accesses_
    std::deque<ControlRecord> requests_;
    std::deque<RegisterAccess> accesses_;
};

} // namespace lumvek::sim
