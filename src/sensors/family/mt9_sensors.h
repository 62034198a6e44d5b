#pragma once
// The MT9 CMOS chips, 16-bit registers over I2C. Their readiness check,
// register programming, window, exposure, gain and mirror operations are not
// carried yet; until then they refuse as the base does.
#include "sensors/family/model_sensor.h"

namespace lumvek {

class CSensorMT9F001 final : public ModelSensor<SensorModelId::MT9F001> {
public:
    using ModelSensor::ModelSensor;
};

class CSensorMT9F002 final : public ModelSensor<SensorModelId::MT9F002> {
public:
    using ModelSensor::ModelSensor;
};

class CSensorMT9P001 final : public ModelSensor<SensorModelId::MT9P001> {
public:
    using ModelSensor::ModelSensor;
};

class CSensorMT9J001 final : public ModelSensor<SensorModelId::MT9J001> {
public:
    using ModelSensor::ModelSensor;
};

} // namespace lumvek
