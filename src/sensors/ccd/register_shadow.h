#pragma once
// Copies of every value written to the two 32-bit register banks of an
// FPGA-timed CCD camera, so that reads are answered without the camera.
// Bit 15 of an address selects the bank, bits 0-11 the register.
#include <array>
#include <cstddef>
#include <cstdint>

namespace lumvek {

class RegisterShadow {
public:
    static constexpr uint32_t kNeverWritten = 0xAAAAAAAA;
    static constexpr uint32_t kBankBit = 0x8000;
    static constexpr uint32_t kRegisterMask = 0xFFF;
    static constexpr size_t kRegistersPerBank = 4096;

    RegisterShadow() {
        bank0_.fill(kNeverWritten);
        bank1_.fill(kNeverWritten);
    }

    void store(uint32_t address, uint32_t value) { table(address)[address & kRegisterMask] = value; }

    // False while the register holds the never-written marker.
    [[nodiscard]] bool lookup(uint32_t address, uint32_t* value) const {
        const uint32_t v = table(address)[address & kRegisterMask];
        if (v == kNeverWritten) return false;
        *value = v;
        return true;
    }

private:
    using Table = std::array<uint32_t, kRegistersPerBank>;
    Table& table(uint32_t address) { return (address & kBankBit) ? bank1_ : bank0_; }
    const Table& table(uint32_t address) const { return (address & kBankBit) ? bank1_ : bank0_; }

    Table bank0_;
    Table bank1_;
};

} // namespace lumvek
