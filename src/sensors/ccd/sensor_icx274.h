#pragma once
// CSensorICX274: the 1600 x 1200 CCD of product 0x3050, registers through
// vendor requests 0xD0/0xD1. Always ready; it has no power-up programming of
// its own. Its window, exposure, gain and mirror programming are not carried
// yet and refuse as the base does.
#include "sensors/family/model_sensor.h"

namespace lumvek {

class CSensorICX274 final : public AlwaysReadySensor<SensorModelId::ICX274> {
public:
    using AlwaysReadySensor::AlwaysReadySensor;
};

} // namespace lumvek
