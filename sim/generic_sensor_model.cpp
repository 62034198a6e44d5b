#include "sim/generic_sensor_model.h"

#include "sim/fpga_register_file.h"
#include "sim/scene.h"

namespace lumvek::sim {

namespace {
// The MT9F001/MT9F002 chip version register and the value that marks a MT9F002.
constexpr uint16_t kVersionRegister = 0x3000;
constexpr uint16_t kMt9f002Version = 302;
// Generic timing: 20 frames per second at a 1 MHz line clock.
constexpr SensorTiming kGenericTiming{.lineLengthClocks = 1000, .frameLengthLines = 50, .clockKHz = 1000};

uint16_t parseVersion(const std::string& text) {
    if (text.empty()) {
        return kMt9f002Version;
    }
    try {
        return static_cast<uint16_t>(std::stoul(text, nullptr, 0));
    } catch (...) {
        return 0;
    }
}
} // namespace

GenericSensorModel::GenericSensorModel(const SensorModelConfig& config, uint8_t i2cAddress)
    : i2cAddress_(i2cAddress) {
    if (config.productId == 0x3020) {
        registers_[kVersionRegister] = parseVersion(config.sensorVersion);
    }
}

bool GenericSensorModel::writeRegister32(uint16_t address, uint32_t value) {
    registers_[address] = value;
    return true;
}

std::optional<uint16_t> GenericSensorModel::readRegister16(uint16_t address) {
    const auto it = registers_.find(address);
    return static_cast<uint16_t>(it == registers_.end() ? 0 : it->second);
}

bool GenericSensorModel::writeRequestRegister16(uint16_t address, uint16_t value) {
    registers_[address] = value;
    return true;
}

std::optional<uint16_t> GenericSensorModel::readRequestRegister16(uint16_t address) {
    return readRegister16(address);
}

bool GenericSensorModel::ownsI2cAddress(uint8_t writeAddress) const {
    return i2cAddress_ != 0 && writeAddress == i2cAddress_;
}

// 16-bit register address, then 16-bit values, high byte first.
bool GenericSensorModel::i2cWrite(uint8_t, std::span<const uint8_t> bytes) {
    if (bytes.size() < 2) {
        return false;
    }
    i2cPointer_ = static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        registers_[i2cPointer_] = static_cast<uint16_t>((bytes[i] << 8) | bytes[i + 1]);
        i2cPointer_ = static_cast<uint16_t>(i2cPointer_ + 2);
    }
    return true;
}

bool GenericSensorModel::i2cRead(uint8_t, std::span<uint8_t> bytes) {
    for (size_t i = 0; i < bytes.size(); i += 2) {
        const auto value = readRegister16(i2cPointer_).value_or(0);
        bytes[i] = static_cast<uint8_t>(value >> 8);
        if (i + 1 < bytes.size()) {
            bytes[i + 1] = static_cast<uint8_t>(value);
        }
        i2cPointer_ = static_cast<uint16_t>(i2cPointer_ + 2);
    }
    return true;
}

std::optional<std::pair<uint32_t, uint32_t>> GenericSensorModel::outputSize() const {
    constexpr uint16_t kOutputWidth = 0x034C;
    constexpr uint16_t kOutputHeight = 0x034E;
    const auto w = registers_.find(kOutputWidth);
    const auto h = registers_.find(kOutputHeight);
    if (w == registers_.end() || h == registers_.end() || w->second == 0 || h->second == 0) {
        return std::nullopt;
    }
    return std::make_pair(w->second, h->second);
}

SensorTiming GenericSensorModel::timing() const {
    return kGenericTiming;
}

void GenericSensorModel::render(const RenderContext& context, std::span<uint8_t> pixels) {
    const uint8_t mirror = context.fpga.get(fpga::kMirror);
    const FrameGeometry& g = context.geometry;
    if (rendered_ && !context.scene.animated() && mirror == lastMirror_ && g.width == lastGeometry_.width &&
        g.height == lastGeometry_.height && g.bytesPerSample == lastGeometry_.bytesPerSample) {
        return;  // `pixels` still holds this very frame
    }
    rendered_ = true;
    lastGeometry_ = g;
    lastMirror_ = mirror;
    context.scene.render(context.frameIndex, context.geometry, pixels);
    const int code = ((mirror & 1) != 0 ? 2 : 1) + ((mirror & 2) != 0 ? 2 : 0);
    if (code != kOrientationAsRead) {
        applyRawOrientation(code, context.geometry, pixels);
    }
}

} // namespace lumvek::sim
