#pragma once
// The family's own camera heads (model codes R01 to R15 but R07, R11, R13)
// and the G1467x: mostly sensors whose registers the FPGA exposes. Only the
// answers that need no sensor programming are carried yet; the remaining
// operations refuse as the base does.
#include "sensors/family/model_sensor.h"

namespace lumvek {

// Line-scan and small area heads that need no probe and take any transfer
// width (the FPGA packs the samples).
template <SensorModelId Id>
class FpgaHeadSensor : public AlwaysReadySensor<Id> {
public:
    using AlwaysReadySensor<Id>::AlwaysReadySensor;
    int SetTransferBits(int) override { return 1; }
};

class CSensorR01 final : public FpgaHeadSensor<SensorModelId::R01> {
public:
    using FpgaHeadSensor::FpgaHeadSensor;
};

class CSensorR02 final : public FpgaHeadSensor<SensorModelId::R02> {
public:
    using FpgaHeadSensor::FpgaHeadSensor;
};

class CSensorR04 final : public FpgaHeadSensor<SensorModelId::R04> {
public:
    using FpgaHeadSensor::FpgaHeadSensor;
};

class CSensorR09 final : public FpgaHeadSensor<SensorModelId::R09> {
public:
    using FpgaHeadSensor::FpgaHeadSensor;
};

class CSensorR10 final : public FpgaHeadSensor<SensorModelId::R10> {
public:
    using FpgaHeadSensor::FpgaHeadSensor;
};

class CSensorR14 final : public FpgaHeadSensor<SensorModelId::R14> {
public:
    using FpgaHeadSensor::FpgaHeadSensor;
};

class CSensorR06 final : public FpgaHeadSensor<SensorModelId::R06> {
public:
    using FpgaHeadSensor::FpgaHeadSensor;
    int SetTriggerMode(int) override { return 1; }
};

class CSensorR03 final : public AlwaysReadySensor<SensorModelId::R03> {
public:
    using AlwaysReadySensor::AlwaysReadySensor;
};

// The camera-link converter head: nothing in it to program.
class CSensorR15 final : public AlwaysReadySensor<SensorModelId::R15> {
public:
    using AlwaysReadySensor::AlwaysReadySensor;
    int InitializeSensor() override { return 1; }
    int SetTransferBits(int) override { return 1; }
};

// The R05 head behind a serial text link: ready once FPGA register 0xFF
// reads 4. Its initialisation only records the 2048 x 1024 window.
class CSensorR05 final : public ModelSensor<SensorModelId::R05> {
public:
    using ModelSensor::ModelSensor;
    int IsReady() override;
    int InitializeSensor() override;
    int GetCaptureWindow(int* x, int* width, int* y, int* height, int* mode) override;
};

// Ready only after a probe over I2C device 95, not carried yet.
class CSensorR08 final : public ModelSensor<SensorModelId::R08> {
public:
    using ModelSensor::ModelSensor;
};

class CSensorR12 final : public ModelSensor<SensorModelId::R12> {
public:
    using ModelSensor::ModelSensor;
    // Labels of the eight analog gain steps.
    int GetGainStageLabel(int index, char* text, size_t capacity) override;
};

class CSensorG1467x final : public AlwaysReadySensor<SensorModelId::G1467x> {
public:
    using AlwaysReadySensor::AlwaysReadySensor;
};

} // namespace lumvek
