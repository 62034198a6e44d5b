#include "sensors/sensor_base.h"

#include "platform/sync/clock.h"
#include "usb/controller_base.h"

namespace lumvek {
namespace {

constexpr uint8_t kFpgaResetRegister = 0x6C;
constexpr uint8_t kFpgaResetRegisterAlt = 0x96;  // models 103 and 115
constexpr int kModelCodeR08 = 103;
constexpr int kModelCodeR12 = 115;
constexpr uint32_t kResetPulsePauseMs = 1;

} // namespace

CSensorBase::CSensorBase(CControllerBase* controller, uint8_t serialAddress)
    : controller_(controller), serialAddress_(serialAddress) {
    // Members start zeroed by their initialisers; subclasses then write their
    // own constants into the descriptor.
}

CSensorBase::~CSensorBase() = default;

void CSensorBase::SetVariantCode(int code) { variantCode_ = code; }

void CSensorBase::SetTriggerWord(int word) { triggerWord_ = word; }

int CSensorBase::GetTriggerWord() { return triggerWord_; }

int CSensorBase::IsBlackLevelAvailable() { return descriptor_.blackLevel.available; }

int CSensorBase::GetBlackLevel(int* value) {
    if (value) *value = descriptor_.blackLevel.current;
    return descriptor_.blackLevel.available;
}

int CSensorBase::GetBlackLevelMin(int* value) {
    if (value) *value = descriptor_.blackLevel.minimum;
    return descriptor_.blackLevel.available;
}

int CSensorBase::GetBlackLevelMax(int* value) {
    if (value) *value = descriptor_.blackLevel.maximum;
    return descriptor_.blackLevel.available;
}

int CSensorBase::GetBlackLevelDefault(int* value) {
    if (value) *value = descriptor_.blackLevel.defaultValue;
    return descriptor_.blackLevel.available;
}

int CSensorBase::IsGainStageAvailable() { return descriptor_.gainStage.available; }

int CSensorBase::GetGainStageMin(int* value) {
    if (value) *value = descriptor_.gainStage.minimum;
    return descriptor_.gainStage.available;
}

int CSensorBase::GetGainStageMax(int* value) {
    if (value) *value = descriptor_.gainStage.maximum;
    return descriptor_.gainStage.available;
}

int CSensorBase::GetGainStageDefault(int* value) {
    if (value) *value = descriptor_.gainStage.defaultValue;
    return descriptor_.gainStage.available;
}

int CSensorBase::GetGainStage(int* value) {
    if (value) *value = descriptor_.gainStage.current;
    return descriptor_.gainStage.available;
}

int CSensorBase::GetMirrorVDefault() { return descriptor_.mirrorVDefault; }
int CSensorBase::GetMirrorHDefault() { return descriptor_.mirrorHDefault; }
int CSensorBase::IsMirrorVInSensor() { return descriptor_.mirrorVInSensor; }
int CSensorBase::IsMirrorHInSensor() { return descriptor_.mirrorHInSensor; }

int CSensorBase::GetSensorInfo(SensorDescriptor* out) {
    if (!out) return 0;
    *out = descriptor_;
    return 1;
}

int CSensorBase::IsExposureTimeExAvailable() { return descriptor_.exposureTimeExAvailable; }

int CSensorBase::GetExposureTimeExMin(double* seconds) {
    if (seconds) *seconds = descriptor_.exposureTimeExMin;
    return descriptor_.exposureTimeExAvailable;
}

int CSensorBase::GetExposureTimeExMax(double* seconds) {
    if (seconds) *seconds = descriptor_.exposureTimeExMax;
    return descriptor_.exposureTimeExAvailable;
}

int CSensorBase::GetExposureTimeExDefault(double* seconds) {
    if (seconds) *seconds = descriptor_.exposureTimeExDefault;
    return descriptor_.exposureTimeExAvailable;
}

int CSensorBase::GetExposureTimeEx(double* seconds) {
    if (seconds) *seconds = descriptor_.exposureTimeEx;
    return descriptor_.exposureTimeExAvailable;
}

int CSensorBase::PulseFpgaReset() {
    if (!controller_) return 0;
    const uint8_t reg =
        (variantCode_ == kModelCodeR08 || variantCode_ == kModelCodeR12) ? kFpgaResetRegisterAlt : kFpgaResetRegister;
    (void)controller_->WriteFpgaRegister(reg, 1);
    platform::sleepMs(kResetPulsePauseMs);
    (void)controller_->WriteFpgaRegister(reg, 0);
    platform::sleepMs(kResetPulsePauseMs);
    return 1;
}

uint16_t CSensorBase::firmwareVersion() {
    if (firmwareVersion_ == 0 && controller_) {
        uint16_t word = 0;
        if (controller_->ReadFpgaWord(&word)) firmwareVersion_ = word;
    }
    return firmwareVersion_;
}

} // namespace lumvek
