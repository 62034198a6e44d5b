#pragma once
// A controller that keeps an FPGA register file and records every access in
// order, for checking a sensor driver's logic where no device is needed.
// Failures can be injected per operation kind.
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "usb/controller_base.h"

namespace lumvek::test {

struct ControllerAccess {
    enum class Kind { SensorWrite32, FpgaWrite, FpgaRead, I2cWrite, I2cRead };
    Kind kind;
    uint32_t address;
    uint32_t value;
    friend bool operator==(const ControllerAccess&, const ControllerAccess&) = default;
};

class RecordingController : public CControllerBase {
public:
    std::array<uint8_t, 256> fpga{};
    std::vector<ControllerAccess> log;
    bool failSensorWrites = false;
    bool failFpgaWrites = false;
    bool failFpgaReads = false;
    // Answers I2C reads: (address, data, count) -> success.
    std::function<bool(uint8_t, uint8_t*, uint8_t)> i2cReader;

    int WriteSensorRegister32(uint16_t address, uint32_t value) override {
        log.push_back({ControllerAccess::Kind::SensorWrite32, address, value});
        return failSensorWrites ? 0 : 1;
    }
    int WriteFpgaRegister(uint8_t reg, uint8_t value) override {
        log.push_back({ControllerAccess::Kind::FpgaWrite, reg, value});
        if (failFpgaWrites) return 0;
        fpga[reg] = value;
        return 1;
    }
    int ReadFpgaRegister(uint8_t reg, uint8_t* out) override {
        log.push_back({ControllerAccess::Kind::FpgaRead, reg, fpga[reg]});
        if (failFpgaReads) return 0;
        *out = fpga[reg];
        return 1;
    }
    int ReadFpgaWord(uint16_t* out) override {
        *out = static_cast<uint16_t>(fpga[0x11] << 8 | fpga[0x10]);
        return 1;
    }
    int I2cWrite(uint8_t address, const uint8_t* data, uint8_t count, uint32_t) override {
        log.push_back({ControllerAccess::Kind::I2cWrite, address, count ? data[0] : 0u});
        return 1;
    }
    int I2cRead(uint8_t address, uint8_t* data, uint8_t count, uint32_t) override {
        log.push_back({ControllerAccess::Kind::I2cRead, address, count});
        return i2cReader && i2cReader(address, data, count) ? 1 : 0;
    }

    std::vector<ControllerAccess> sensorWrites() const { return filtered(ControllerAccess::Kind::SensorWrite32); }
    std::vector<ControllerAccess> fpgaWrites() const { return filtered(ControllerAccess::Kind::FpgaWrite); }

private:
    std::vector<ControllerAccess> filtered(ControllerAccess::Kind kind) const {
        std::vector<ControllerAccess> out;
        for (const auto& a : log) {
            if (a.kind == kind) out.push_back(a);
        }
        return out;
    }
};

} // namespace lumvek::test
