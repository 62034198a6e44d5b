#pragma once
// The FPGA's 256 eight-bit registers as the camera stores them: every
// register reads back the last value written unless the camera or the sensor
// model gives it a meaning of its own.
#include <array>
#include <cstdint>

namespace lumvek::sim {

namespace fpga {
inline constexpr uint8_t kFrameTag = 8;
inline constexpr uint8_t kHeightLow = 0x40;   // 0x40/0x41 height, 0x44/0x45 width
inline constexpr uint8_t kWidthLow = 0x44;
inline constexpr uint8_t kAltHeightLow = 0x9A;  // products 0x31E0 and 0x32D0
inline constexpr uint8_t kAltWidthLow = 0x9C;
inline constexpr uint8_t kSampleDepth = 60;   // 1 = 8-bit, 2 = 16-bit
inline constexpr uint8_t kAltSampleDepth = 0xA3;  // the same, products 0x31E0 and 0x32D0
inline constexpr uint8_t kMirror = 0x3F;      // bit 0 horizontal, bit 1 vertical
inline constexpr uint8_t kHeaderReset = 0x6C;  // written 1 then 0 to restart a lost header
inline constexpr uint8_t kChannelGainsFirst = 0x70;  // 0x70..0x7F channel gains and offsets
} // namespace fpga

class FpgaRegisterFile {
public:
    [[nodiscard]] uint8_t get(uint8_t reg) const { return values_[reg]; }
    void set(uint8_t reg, uint8_t value) { values_[reg] = value; }
    [[nodiscard]] uint16_t get16(uint8_t lowReg) const {
        return static_cast<uint16_t>(values_[lowReg] | (values_[static_cast<uint8_t>(lowReg + 1)] << 8));
    }
    void set16(uint8_t lowReg, uint16_t value) {
        values_[lowReg] = static_cast<uint8_t>(value);
        values_[static_cast<uint8_t>(lowReg + 1)] = static_cast<uint8_t>(value >> 8);
    }

private:
    std::array<uint8_t, 256> values_{};
};

} // namespace lumvek::sim
