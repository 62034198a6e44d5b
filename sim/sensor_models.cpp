#include "sim/sensor_models.h"

#include "sim/generic_sensor_model.h"

#include "sim/models/family_model.h"
#include "sim/models/mt9f_model.h"
#include "sim/models/r13_model.h"

namespace lumvek::sim {

namespace {
// The sensor's I2C write address per product (0: reached by vendor requests only).
uint8_t sensorI2cAddress(uint16_t productId) {
    switch (productId) {
    case 0x3020: case 0x3040: case 0x3042: case 0x3190: case 0x31A0: case 0x31D0: case 0x3210:
        return 0x20;
    case 0x3030:
        return 0x90;
    case 0x3130:
        return 0x42;
    case 0x3140: case 0x3150: case 0x3170: case 0x31E0: case 0x3220: case 0x32D0:
        return 0x6C;
    case 0x3050: case 0x3090: case 0x30B0: case 0x30C0:
        return 0;
    default:
        return 0x48;
    }
}
} // namespace

std::unique_ptr<SensorModel> makeSensorModel(const SensorModelConfig& config) {
    if (config.productId == 0x3090) {
        return makeR13Model(config);
    }
    if (config.productId == 0x3020) {
        return makeMt9fModel(config);  // answers the MT9F001/MT9F002 version probe
    }
    if (auto family = makeFamilyModel(config)) {
        return family;
    }
    return std::make_unique<GenericSensorModel>(config, sensorI2cAddress(config.productId));
}

} // namespace lumvek::sim
