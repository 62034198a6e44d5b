#include "sim/sensor_model.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace lumvek::sim {

double framePeriodMs(const SensorTiming& timing) {
    double readout = 0.0;
    if (timing.clockKHz != 0) {
        readout = static_cast<double>(timing.lineLengthClocks) * timing.frameLengthLines / timing.clockKHz;
    }
    return std::max(readout, timing.exposureUs / 1000.0);
}

bool SensorModel::writeRegister32(uint16_t, uint32_t) { return false; }
std::optional<uint16_t> SensorModel::readRegister16(uint16_t) { return std::nullopt; }
bool SensorModel::writeRequestRegister16(uint16_t, uint16_t) { return false; }
std::optional<uint16_t> SensorModel::readRequestRegister16(uint16_t) { return std::nullopt; }
bool SensorModel::ownsI2cAddress(uint8_t) const { return false; }
bool SensorModel::i2cWrite(uint8_t, std::span<const uint8_t>) { return false; }
bool SensorModel::i2cRead(uint8_t, std::span<uint8_t>) { return false; }
std::optional<uint8_t> SensorModel::readAuxRegister(uint8_t) { return std::nullopt; }
std::optional<uint8_t> SensorModel::readFpgaRegister(uint8_t) { return std::nullopt; }
void SensorModel::fpgaRegisterWritten(uint8_t, uint8_t) {}

void applyRawOrientation(int code, const FrameGeometry& g, std::span<uint8_t> pixels) {
    const bool reverseSamples = code == 2 || code == 4;
    const bool reverseRows = code == 3 || code == 4;
    const size_t rowBytes = size_t{g.width} * g.bytesPerSample;
    if (rowBytes == 0 || pixels.size() < rowBytes * g.height) {
        return;
    }
    if (reverseRows && reverseSamples) {  // the whole frame back to front, sample by sample
        if (g.bytesPerSample == 1) {
            std::reverse(pixels.data(), pixels.data() + rowBytes * g.height);
        } else {
            auto* samples = reinterpret_cast<uint16_t*>(pixels.data());
            std::reverse(samples, samples + size_t{g.width} * g.height);
        }
        return;
    }
    if (reverseRows) {
        std::vector<uint8_t> swap(rowBytes);
        for (uint32_t top = 0, bottom = g.height - 1; g.height > 0 && top < bottom; ++top, --bottom) {
            uint8_t* a = pixels.data() + top * rowBytes;
            uint8_t* b = pixels.data() + bottom * rowBytes;
            std::memcpy(swap.data(), a, rowBytes);
            std::memcpy(a, b, rowBytes);
            std::memcpy(b, swap.data(), rowBytes);
        }
    }
    if (reverseSamples) {
        for (uint32_t y = 0; y < g.height; ++y) {
            uint8_t* row = pixels.data() + y * rowBytes;
            if (g.bytesPerSample == 1) {
                std::reverse(row, row + rowBytes);
            } else {
                auto* samples = reinterpret_cast<uint16_t*>(row);
                std::reverse(samples, samples + g.width);
            }
        }
    }
}

} // namespace lumvek::sim
