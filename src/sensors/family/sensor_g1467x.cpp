#include "sensors/family/sensor_g1467x.h"

#include <cmath>

#include "usb/controller_base.h"

namespace lumvek {
namespace {

constexpr uint8_t kFpgaCooler = 144;
constexpr uint8_t kCoolerOn = 15;
constexpr uint8_t kCoolerOff = 8;
constexpr uint32_t kThermistorLow = 4;
constexpr uint32_t kThermistorHigh = 5;
constexpr uint32_t kTargetLow = 0x50;
constexpr uint32_t kTargetHigh = 0x53;
constexpr uint32_t kControl = 0x52;
constexpr uint32_t kSelect = 0x54;
constexpr double kDividerVolts = 9994.24;   // divider constant over raw, kilo-ohm
constexpr double kSeriesKOhm = 9.76;
constexpr double kNominalKOhm = 10.0;
constexpr double kBeta = 3950.0;
constexpr double kNominalKelvin = 298.15;
constexpr double kZeroCelsiusKelvin = 273.15;
constexpr uint32_t kRawMax = 0xFFFF;

} // namespace

bool thermistorCelsius(uint32_t raw, double* celsius) {
    if (raw == 0) return false;
    const double resistance = kDividerVolts / raw - kSeriesKOhm;
    if (!(resistance > 0.0)) return false;
    const double t = 1.0 / (std::log(resistance / kNominalKOhm) / kBeta + 1.0 / kNominalKelvin) - kZeroCelsiusKelvin;
    if (!std::isfinite(t)) return false;
    *celsius = t;
    return true;
}

uint32_t thermistorRaw(double celsius) {
    const double kelvin = celsius + kZeroCelsiusKelvin;
    if (!(kelvin > 0.0)) return 0;
    const double resistance = kNominalKOhm * std::exp(kBeta * (1.0 / kelvin - 1.0 / kNominalKelvin));
    const double raw = kDividerVolts / (resistance + kSeriesKOhm);
    if (!std::isfinite(raw) || raw < 1.0 || raw > kRawMax) return 0;
    return static_cast<uint32_t>(raw);
}

CSensorG1467x::CSensorG1467x(CControllerBase* controller, uint8_t serialAddress)
    : FamilySensor(controller, serialAddress, SensorModelId::G1467x, RegisterPath::Bridge) {}

int CSensorG1467x::GetCooling() {
    uint8_t value = 0;
    return readFpga(kFpgaCooler, &value) && value == kCoolerOn ? 1 : 0;
}

int CSensorG1467x::SetCooling(int on) { return writeFpga(kFpgaCooler, on != 0 ? kCoolerOn : kCoolerOff) ? 1 : 0; }

int CSensorG1467x::GetTemperature(double* celsius) {
    if (celsius == nullptr || GetCooling() <= 0) return 0;
    if (!writeSensorRegister(kSelect, 2) || !writeSensorRegister(kControl, 0) || !writeSensorRegister(kControl, 2)) {
        return 0;
    }
    uint32_t low = 0;
    uint32_t high = 0;
    if (!readSensorRegister(kThermistorLow, &low) || !readSensorRegister(kThermistorHigh, &high)) return 0;
    return thermistorCelsius((low & 0xFF) | ((high & 0xFF) << 8), celsius) ? 1 : 0;
}

int CSensorG1467x::GetSensorTemperature(int* celsius) {
    if (celsius == nullptr || GetCooling() <= 0) return 0;
    uint32_t low = 0;
    uint32_t high = 0;
    double t = 0.0;
    if (!readSensorRegister(kTargetLow, &low) || !readSensorRegister(kTargetHigh, &high) ||
        !thermistorCelsius((low & 0xFF) | ((high & 0xFF) << 8), &t)) {
        return 0;
    }
    *celsius = static_cast<int>(std::lround(t));
    return 1;
}

int CSensorG1467x::SetTargetTemperature(int celsius) {
    if (GetCooling() <= 0) return 0;
    const uint32_t raw = thermistorRaw(celsius);
    if (raw == 0) return 0;
    return writeSensorRegister(kTargetLow, raw & 0xFF) && writeSensorRegister(kTargetHigh, raw >> 8) &&
                   writeSensorRegister(kSelect, 0) && writeSensorRegister(kControl, 0) &&
                   writeSensorRegister(kControl, 1)
               ? 1
               : 0;
}

} // namespace lumvek
