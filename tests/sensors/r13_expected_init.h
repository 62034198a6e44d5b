#pragma once
// The R13 power-up writes as the camera's documentation lists them, written
// out here independently of the driver's own table so that the two are
// checked against each other.
#include <cstdint>
#include <utility>
#include <vector>

namespace lumvek::test {

using RegisterWrite = std::pair<uint32_t, uint32_t>;  // address, value

// The 514 sensor-bank writes of the initialisation, in order.
std::vector<RegisterWrite> expectedR13InitWrites();

// The FPGA flag registers written 1 during initialisation, in order.
std::vector<uint8_t> expectedR13InitFlags();

} // namespace lumvek::test
