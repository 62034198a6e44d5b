#pragma once
// The MT9F001/MT9F002 sensor of product 0x3020 as the simulator carries it:
// the generic 16-bit register sensor, plus the chip's version word at
// register pointer 0x0000, sent low byte first. `sensor-version=` sets it
// (default 302, the MT9F002; e.g. 301 makes the camera carry an MT9F001).
#include <cstdint>
#include <memory>

#include "sim/generic_sensor_model.h"

namespace lumvek::sim {

[[nodiscard]] std::unique_ptr<SensorModel> makeMt9fModel(const SensorModelConfig& config);

class Mt9fModel final : public GenericSensorModel {
public:
    static constexpr uint8_t kI2cAddress = 0x20;
    static constexpr uint16_t kMt9f002Version = 302;

    explicit Mt9fModel(const SensorModelConfig& config);

    bool i2cWrite(uint8_t writeAddress, std::span<const uint8_t> bytes) override;
    bool i2cRead(uint8_t writeAddress, std::span<uint8_t> bytes) override;

    [[nodiscard]] uint16_t version() const { return version_; }

private:
    uint16_t version_;
    uint16_t pointer_ = 0;
};

} // namespace lumvek::sim
