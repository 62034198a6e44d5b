#pragma once
// Building blocks for the family drivers whose behaviour is mostly their
// constants: ModelSensor writes a model's row into the descriptor (and the
// model code, where the driver sets one); AlwaysReadySensor adds the
// readiness answer of sensors that need no probe. Every other operation
// keeps the base behaviour until the driver carries its sensor's programming.
#include "sensors/sensor_base.h"
#include "sensors/sensor_models.h"

namespace lumvek {

template <SensorModelId Id>
class ModelSensor : public CSensorBase {
public:
    static constexpr SensorModelId kModelId = Id;

    ModelSensor(CControllerBase* controller, uint8_t serialAddress) : CSensorBase(controller, serialAddress) {
        const SensorModel& model = sensorModel(Id);
        applySensorModel(descriptor_, model);
        if (model.hasVariantCode) variantCode_ = model.variantCode;
    }
};

template <SensorModelId Id>
class AlwaysReadySensor : public ModelSensor<Id> {
public:
    using ModelSensor<Id>::ModelSensor;
    int IsReady() override { return 1; }
};

} // namespace lumvek
