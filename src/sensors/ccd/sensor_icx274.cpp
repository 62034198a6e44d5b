#include "sensors/ccd/sensor_icx274.h"

namespace lumvek {
namespace {

// This family's own register words of the ICX274 timing generator.
constexpr uint32_t kExposureLinesRegister = 0x0010;
constexpr uint32_t kGainRegister = 0x0011;
constexpr uint32_t kMirrorRegister = 0x0012;
constexpr uint32_t kTriggerRegister = 0x0013;
constexpr int kGainMask = 0x3FF;

} // namespace

CSensorICX274::CSensorICX274(CControllerBase* controller, uint8_t serialAddress)
    : FamilySensor(controller, serialAddress, SensorModelId::ICX274, RegisterPath::Request32) {}

int CSensorICX274::InitializeSensor() {
    if (!controller_) return 0;
    const SensorDescriptor& d = descriptor_;
    (void)SetGlobalGain(d.globalGain.defaultValue);
    (void)SetExposureTime(static_cast<uint32_t>(d.exposureTime.defaultValue > 0 ? d.exposureTime.defaultValue : 1));
    (void)writeMirror(d.mirrorHDefault != 0, d.mirrorVDefault != 0);
    return 1;
}

int CSensorICX274::SetTriggerMode(int mode) {
    if (!writeSensorRegister(kTriggerRegister, static_cast<uint32_t>(mode))) return 0;
    triggerMode_ = mode;
    return 1;
}

int CSensorICX274::GetTriggerMode(int* mode) { return putValue(mode, triggerMode_); }

bool CSensorICX274::writeExposureLines(int lines) {
    return writeSensorRegister(kExposureLinesRegister, static_cast<uint32_t>(lines)) != 0;
}

bool CSensorICX274::writeGain(int gain) {
    return writeSensorRegister(kGainRegister, static_cast<uint32_t>(gain & kGainMask)) != 0;
}

bool CSensorICX274::writeMirror(bool horizontal, bool vertical) {
    return writeSensorRegister(kMirrorRegister, (horizontal ? 1u : 0u) | (vertical ? 2u : 0u)) != 0;
}

} // namespace lumvek
