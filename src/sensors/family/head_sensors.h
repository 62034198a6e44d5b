#pragma once
// The family's own small camera heads: the area and line-scan heads whose
// sensor only the FPGA reaches (R01, R02, R04, R09, R10, R14), the R06 head
// behind the serial bridge at 0x6C and the R15 camera-link converter.
#include "sensors/family/family_sensor.h"
#include "sensors/family/model_sensor.h"

namespace lumvek {

// Registers are FPGA bytes; the FPGA packs the samples to any width.
class FpgaHeadSensor : public FamilySensor {
public:
    FpgaHeadSensor(CControllerBase* controller, uint8_t serialAddress, SensorModelId id);
    int SetTransferBits(int) override { return 1; }
    int WriteRegister(uint32_t address, uint32_t value) override { return writeSensorRegister(address, value); }
    int ReadRegister(uint32_t address, uint32_t* value) override { return readSensorRegister(address, value); }
};

class CSensorR01 final : public FpgaHeadSensor {
public:
    CSensorR01(CControllerBase* c, uint8_t a) : FpgaHeadSensor(c, a, SensorModelId::R01) {}
};

// The seconds-based exposure counts single clocks: lines = seconds x 1000 x
// clockKHz - 6.25, within the lines range.
class CSensorR02 final : public FpgaHeadSensor {
public:
    CSensorR02(CControllerBase* c, uint8_t a) : FpgaHeadSensor(c, a, SensorModelId::R02) {}
    int SetExposureTimeEx(double seconds) override;
};

class CSensorR04 final : public FpgaHeadSensor {
public:
    CSensorR04(CControllerBase* c, uint8_t a) : FpgaHeadSensor(c, a, SensorModelId::R04) {}
};

class CSensorR09 final : public FpgaHeadSensor {
public:
    CSensorR09(CControllerBase* c, uint8_t a) : FpgaHeadSensor(c, a, SensorModelId::R09) {}
};

class CSensorR10 final : public FpgaHeadSensor {
public:
    CSensorR10(CControllerBase* c, uint8_t a) : FpgaHeadSensor(c, a, SensorModelId::R10) {}
};

// The R14 line-scan head takes its trigger mode in an FPGA byte.
class CSensorR14 final : public FpgaHeadSensor {
public:
    CSensorR14(CControllerBase* c, uint8_t a) : FpgaHeadSensor(c, a, SensorModelId::R14) {}
    int SetTriggerMode(int mode) override;
    int GetTriggerMode(int* mode) override;

private:
    int triggerMode_ = 0;
};

class CSensorR06 final : public FamilySensor {
public:
    CSensorR06(CControllerBase* controller, uint8_t serialAddress);
    int SetTriggerMode(int) override { return 1; }
    int SetTransferBits(int) override { return 1; }
};

// The camera-link converter head: nothing in it to program; its
// sub-registers are single bytes at its I2C address.
class CSensorR15 final : public AlwaysReadySensor<SensorModelId::R15> {
public:
    // The converter always sends its whole frame: no window to change.
    CSensorR15(CControllerBase* controller, uint8_t serialAddress) : AlwaysReadySensor(controller, serialAddress) {
        descriptor_.windowAdjustH = 0;
        descriptor_.windowAdjustV = 0;
    }
    int InitializeSensor() override { return 1; }
    int SetTransferBits(int) override { return 1; }
    // Mode 0 writes register b[0] = b[1]; mode 1 reads it into b[1].
    int AccessSubRegister(int mode, uint8_t* registerAndValue) override;
};

} // namespace lumvek
