#pragma once
// The sensor model a simulated camera of a product carries.
#include <memory>

#include "sim/sensor_model.h"

namespace lumvek::sim {

[[nodiscard]] std::unique_ptr<SensorModel> makeSensorModel(const SensorModelConfig& config);

} // namespace lumvek::sim
