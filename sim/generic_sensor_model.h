#pragma once
// The sensor of a product without a model of its own: keeps every 16-bit
// register written through 0xD0/0xD1/0x3E/0x3F and its I2C address, answers
// the MT9F002 version probe (0x3020), and streams the scene unchanged apart
// from the FPGA mirror bits, at about 20 frames per second.
#include <map>
#include <vector>

#include "sim/sensor_model.h"

namespace lumvek::sim {

class GenericSensorModel : public SensorModel {
public:
    // i2cAddress: the sensor's 8-bit write address on the camera's I2C bus (0: none).
    GenericSensorModel(const SensorModelConfig& config, uint8_t i2cAddress);

    bool writeRegister32(uint16_t address, uint32_t value) override;
    std::optional<uint16_t> readRegister16(uint16_t address) override;
    bool writeRequestRegister16(uint16_t address, uint16_t value) override;
    std::optional<uint16_t> readRequestRegister16(uint16_t address) override;
    bool ownsI2cAddress(uint8_t writeAddress) const override;
    bool i2cWrite(uint8_t writeAddress, std::span<const uint8_t> bytes) override;
    bool i2cRead(uint8_t writeAddress, std::span<uint8_t> bytes) override;
    // Registers 0x034C/0x034E (the MT9 chips' output size) once both are set.
    std::optional<std::pair<uint32_t, uint32_t>> outputSize() const override;
    int rawOrientation() const override { return kOrientationAsRead; }
    SensorTiming timing() const override;
    void render(const RenderContext& context, std::span<uint8_t> pixels) override;

private:
    uint8_t i2cAddress_;
    std::map<uint32_t, uint32_t> registers_;
    uint16_t i2cPointer_ = 0;
    // The last render, kept while the scene is still and nothing changed.
    bool rendered_ = false;
    FrameGeometry lastGeometry_;
    uint8_t lastMirror_ = 0;
};

} // namespace lumvek::sim
