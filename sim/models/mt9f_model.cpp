#include "sim/models/mt9f_model.h"

#include <string>

namespace lumvek::sim {
namespace {

constexpr uint16_t kVersionPointer = 0x0000;

// Decimal or 0x-prefixed; anything unreadable is version 0 (an MT9F001).
uint16_t parseVersion(const std::string& text) {
    if (text.empty()) return Mt9fModel::kMt9f002Version;
    try {
        size_t used = 0;
        const unsigned long value = std::stoul(text, &used, 0);
        return used == text.size() && value <= 0xFFFF ? static_cast<uint16_t>(value) : 0;
    } catch (...) {
        return 0;
    }
}

} // namespace

std::unique_ptr<SensorModel> makeMt9fModel(const SensorModelConfig& config) {
    return std::make_unique<Mt9fModel>(config);
}

Mt9fModel::Mt9fModel(const SensorModelConfig& config)
    : GenericSensorModel(config, kI2cAddress), version_(parseVersion(config.sensorVersion)) {}

bool Mt9fModel::i2cWrite(uint8_t writeAddress, std::span<const uint8_t> bytes) {
    if (bytes.size() >= 2) pointer_ = static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
    return GenericSensorModel::i2cWrite(writeAddress, bytes);
}

bool Mt9fModel::i2cRead(uint8_t writeAddress, std::span<uint8_t> bytes) {
    if (pointer_ != kVersionPointer || bytes.size() != 2) return GenericSensorModel::i2cRead(writeAddress, bytes);
    bytes[0] = static_cast<uint8_t>(version_ & 0xFF);
    bytes[1] = static_cast<uint8_t>(version_ >> 8);
    return true;
}

} // namespace lumvek::sim
