#include "sensors/ccd/sensor_r13.h"

#include "platform/sync/clock.h"
#include "sensors/ccd/r13_init_script.h"
#include "usb/controller_base.h"

namespace lumvek {
namespace {

// Line period 1547 clocks, exposure register counting down from 902.
constexpr CcdConstants kR13Constants{.linePeriodClocksX10 = 15470.0, .exposureLineBase = 902.0,
                                     .mirrorBitSetMirrors = true};
constexpr CcdConstants kR07Constants{.linePeriodClocksX10 = 27260.0, .exposureLineBase = 1712.0,
                                     .mirrorBitSetMirrors = false};
constexpr CcdConstants kR11Constants{.linePeriodClocksX10 = 40110.0, .exposureLineBase = 2228.0,
                                     .mirrorBitSetMirrors = false};
constexpr uint32_t kFpgaFlagPauseMs = 1;
constexpr uint8_t kFpgaGainR11Low = 0xA0;
constexpr uint8_t kFpgaGainR11High = 0xA1;

} // namespace

CSensorR13::CSensorR13(CControllerBase* controller, uint8_t serialAddress)
    : CcdSensorBase(controller, serialAddress, sensorModel(SensorModelId::R13), kR13Constants) {}

int CSensorR13::InitializeSensor() {
    if (!controller_) return 0;
    for (const SensorInitStep& step : r13InitScript()) {
        switch (step.kind) {
        case SensorInitStep::Kind::Register:
            (void)WriteRegister(step.address, step.value);
            break;
        case SensorInitStep::Kind::FpgaFlag:
            platform::sleepMs(kFpgaFlagPauseMs);
            (void)controller_->WriteFpgaRegister(static_cast<uint8_t>(step.address), static_cast<uint8_t>(step.value));
            break;
        case SensorInitStep::Kind::PauseMs:
            platform::sleepMs(step.address);
            break;
        }
    }
    applyStartupDefaults();
    return 1;
}

CSensorR07::CSensorR07(CControllerBase* controller, uint8_t serialAddress)
    : CcdSensorBase(controller, serialAddress, sensorModel(SensorModelId::R07), kR07Constants) {}

CSensorR11::CSensorR11(CControllerBase* controller, uint8_t serialAddress)
    : CcdSensorBase(controller, serialAddress, sensorModel(SensorModelId::R11), kR11Constants) {}

// The R07 and R11 CCDs start from the FPGA's own timing; this family's own
// minimal start-up (not a vendor's) only applies the driver's defaults.
int CSensorR07::InitializeSensor() {
    if (!controller_) return 0;
    applyStartupDefaults();
    return 1;
}

int CSensorR11::InitializeSensor() {
    if (!controller_) return 0;
    applyStartupDefaults();
    (void)SetBlackLevel(descriptor_.blackLevel.defaultValue);
    return 1;
}

int CSensorR11::SetGlobalGain(int gain) {
    if (!controller_) return 0;
    const int v = gain & 0x3FF;
    if (!controller_->WriteFpgaRegister(kFpgaGainR11Low, static_cast<uint8_t>((v << 6) & 0xFF))) return 0;
    if (!controller_->WriteFpgaRegister(kFpgaGainR11High, static_cast<uint8_t>(v >> 2))) return 0;
    descriptor_.globalGain.current = v;
    return 1;
}

} // namespace lumvek
