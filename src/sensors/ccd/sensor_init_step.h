#pragma once
// One step of a sensor's power-up programming: a register write through the
// driver's WriteRegister, an FPGA flag (1 ms pause, then FPGA register <- 1),
// or a pause.
#include <cstdint>
#include <vector>

namespace lumvek {

struct SensorInitStep {
    enum class Kind : uint8_t { Register, FpgaFlag, PauseMs };
    Kind kind;
    uint32_t address;  // register address, FPGA register, or pause in ms
    uint32_t value;

    friend bool operator==(const SensorInitStep&, const SensorInitStep&) = default;
};

using SensorInitScript = std::vector<SensorInitStep>;

} // namespace lumvek
