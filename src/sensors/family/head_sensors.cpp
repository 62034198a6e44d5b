#include "sensors/family/head_sensors.h"

#include <algorithm>
#include <cmath>

#include "sensors/family/family_registers.h"
#include "usb/controller_base.h"

namespace lumvek {
namespace {

constexpr double kR02LineOffset = 6.25;
constexpr double kMsPerSecond = 1000.0;
constexpr double kTenthsOfMsPerSecond = 10000.0;
constexpr uint32_t kI2cTimeoutMs = 3000;

} // namespace

FpgaHeadSensor::FpgaHeadSensor(CControllerBase* controller, uint8_t serialAddress, SensorModelId id)
    : FamilySensor(controller, serialAddress, id, RegisterPath::FpgaBytes) {}

int CSensorR02::SetExposureTimeEx(double seconds) {
    const SensorDescriptor& d = descriptor_;
    if (!controller_ || !std::isfinite(seconds)) return 0;
    const double s = std::clamp(seconds, d.exposureTimeExMin, d.exposureTimeExMax);
    const double lines = std::clamp(s * kMsPerSecond * d.clockKHz - kR02LineOffset,
                                    static_cast<double>(d.exposureLines.minimum),
                                    static_cast<double>(d.exposureLines.maximum));
    if (!SetExposureLines(static_cast<int>(lines))) return 0;
    descriptor_.exposureTimeEx = s;
    descriptor_.exposureTime.current = static_cast<int32_t>(s * kTenthsOfMsPerSecond);
    return 1;
}

int CSensorR14::SetTriggerMode(int mode) {
    if (!writeFpga(family::fpgahead::kTrigger, static_cast<uint8_t>(mode))) return 0;
    triggerMode_ = mode;
    return 1;
}

int CSensorR14::GetTriggerMode(int* mode) { return putValue(mode, triggerMode_); }

CSensorR06::CSensorR06(CControllerBase* controller, uint8_t serialAddress)
    : FamilySensor(controller, serialAddress, SensorModelId::R06, RegisterPath::Bridge) {}

int CSensorR15::AccessSubRegister(int mode, uint8_t* registerAndValue) {
    if (!controller_ || registerAndValue == nullptr) return 0;
    if (mode == 0) return controller_->I2cWrite(serialAddress_, registerAndValue, 2, kI2cTimeoutMs);
    if (mode != 1) return 0;
    if (!controller_->I2cWrite(serialAddress_, registerAndValue, 1, kI2cTimeoutMs)) return 0;
    return controller_->I2cRead(static_cast<uint8_t>(serialAddress_ | 1), registerAndValue + 1, 1, kI2cTimeoutMs);
}

} // namespace lumvek
