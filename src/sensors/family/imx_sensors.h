#pragma once
// The IMX-chip CMOS drivers and the sensors driven like them (LI7050,
// GLUX9701), 8-bit registers behind a serial bridge. They need no readiness
// probe except the GLUX9701; their programming is not carried yet, so the
// remaining operations refuse as the base does.
#include "sensors/family/model_sensor.h"

namespace lumvek {

class CSensorIMX178 final : public AlwaysReadySensor<SensorModelId::IMX178> {
public:
    using AlwaysReadySensor::AlwaysReadySensor;
};

class CSensorIMX174 final : public AlwaysReadySensor<SensorModelId::IMX174> {
public:
    using AlwaysReadySensor::AlwaysReadySensor;
    int SetTriggerMode(int) override { return 1; }  // triggering lives in the FPGA steps
};

class CSensorIMX183 final : public AlwaysReadySensor<SensorModelId::IMX183> {
public:
    using AlwaysReadySensor::AlwaysReadySensor;
};

class CSensorIMX159 final : public AlwaysReadySensor<SensorModelId::IMX159> {
public:
    using AlwaysReadySensor::AlwaysReadySensor;
};

class CSensorIMX226 final : public AlwaysReadySensor<SensorModelId::IMX226> {
public:
    using AlwaysReadySensor::AlwaysReadySensor;
};

class CSensorIMX250 final : public AlwaysReadySensor<SensorModelId::IMX250> {
public:
    using AlwaysReadySensor::AlwaysReadySensor;
};

class CSensorIMX252 final : public AlwaysReadySensor<SensorModelId::IMX252> {
public:
    using AlwaysReadySensor::AlwaysReadySensor;
};

class CSensorIMX264 final : public AlwaysReadySensor<SensorModelId::IMX264> {
public:
    using AlwaysReadySensor::AlwaysReadySensor;
};

class CSensorIMX273 final : public AlwaysReadySensor<SensorModelId::IMX273> {
public:
    using AlwaysReadySensor::AlwaysReadySensor;
};

class CSensorIMX487 final : public AlwaysReadySensor<SensorModelId::IMX487> {
public:
    using AlwaysReadySensor::AlwaysReadySensor;
};

class CSensorIMX536 final : public AlwaysReadySensor<SensorModelId::IMX536> {
public:
    using AlwaysReadySensor::AlwaysReadySensor;
};

class CSensorIMX990 final : public AlwaysReadySensor<SensorModelId::IMX990> {
public:
    using AlwaysReadySensor::AlwaysReadySensor;
};

class CSensorIMX991 final : public AlwaysReadySensor<SensorModelId::IMX991> {
public:
    using AlwaysReadySensor::AlwaysReadySensor;
};

class CSensorLI7050 final : public AlwaysReadySensor<SensorModelId::LI7050> {
public:
    using AlwaysReadySensor::AlwaysReadySensor;
};

// Ready only after its probe of FPGA register 33, not carried yet.
class CSensorGLUX9701 final : public ModelSensor<SensorModelId::GLUX9701> {
public:
    using ModelSensor::ModelSensor;
};

} // namespace lumvek
