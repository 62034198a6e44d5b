#pragma once
// CSensorG1467x: a small cooled head behind the serial bridge at 0x6C. Its
// Peltier cooler is FPGA register 144 (15 on, 8 off); a thermistor on the
// sensor (10 kilo-ohm at 25 degrees, B = 3950) reads through registers 4
// and 5 and the target temperature goes to 0x50/0x53. Every temperature
// operation needs the cooler on.
#include "sensors/family/family_sensor.h"

namespace lumvek {

class CSensorG1467x final : public FamilySensor {
public:
    CSensorG1467x(CControllerBase* controller, uint8_t serialAddress);

    int WriteRegister(uint32_t address, uint32_t value) override { return writeSensorRegister(address, value); }
    int ReadRegister(uint32_t address, uint32_t* value) override { return readSensorRegister(address, value); }
    int IsCoolingAvailable() override { return 1; }
    int GetCooling() override;
    int SetCooling(int on) override;
    int IsTemperatureAvailable() override { return GetCooling() > 0 ? 1 : 0; }
    int GetTemperature(double* celsius) override;
    int IsTemperatureControlAvailable() override { return GetCooling() > 0 ? 1 : 0; }
    int GetSensorTemperature(int* celsius) override;
    int SetTargetTemperature(int celsius) override;
};

// The thermistor formulas. False for a raw value that has no temperature
// (0, or a resistance at or below zero).
[[nodiscard]] bool thermistorCelsius(uint32_t raw, double* celsius);
// The raw value of a temperature; 0 when out of the 16-bit range.
[[nodiscard]] uint32_t thermistorRaw(double celsius);

} // namespace lumvek
