#include "sensors/family/imx_sensors.h"

#include "platform/log/debugger_output.h"
#include "platform/sync/clock.h"
#include "sensors/family/family_registers.h"
#include "usb/controller_base.h"

namespace lumvek {
namespace {

using namespace family::bridge;

constexpr int kIdleWriteTries = 1000;
constexpr uint32_t kIdleWritePauseMs = 2;
constexpr int kIdleReadTries = 100;
constexpr uint32_t kIdleReadPauseMs = 3;
constexpr int kImx174ClocksPerLineUnit = 8;

// Serial-bridge reset.
constexpr uint8_t kFpgaBridgeReset = 129;
constexpr uint8_t kBridgeReadyBit = 0x02;
constexpr uint32_t kBridgeResetPauseMs = 100;
constexpr uint32_t kBridgeReadyLimitMs = 5000;
constexpr uint32_t kBridgeRetryPauseMs = 100;
constexpr uint32_t kBridgePollPauseMs = 10;

// IMX990/IMX991.
constexpr uint16_t kSwirTemperatureLatch = 0x788;
constexpr uint16_t kSwirTemperatureLow = 0x690;
constexpr uint16_t kSwirTemperatureHigh = 0x691;
constexpr uint8_t kFpgaSwirCooler = 209;
constexpr uint16_t kCoolerFirmwareBit = 0x8000;
constexpr uint16_t kSwirFeatureFirmware = 4;  // the feature needs more than this

} // namespace

// ---- ImxSensor ----

ImxSensor::ImxSensor(CControllerBase* controller, uint8_t serialAddress, SensorModelId id)
    : FamilySensor(controller, serialAddress, id, RegisterPath::Bridge) {}

bool ImxSensor::startUp() { return writeSensorRegister(kStandby, 1) != 0; }

int ImxSensor::SetTriggerMode(int mode) {
    if (!writeSensorRegister(kTrigger, mode != 0 ? 1 : 0)) return 0;
    triggerMode_ = mode;
    return 1;
}

int ImxSensor::GetTriggerMode(int* mode) { return putValue(mode, triggerMode_); }

int ImxSensor::WriteRegister(uint32_t address, uint32_t value) { return writeSensorRegister(address, value); }
int ImxSensor::ReadRegister(uint32_t address, uint32_t* value) { return readSensorRegister(address, value); }

int ImxSensor::accessSubRegister(int mode, uint8_t* registerAndValue) {
    if (registerAndValue == nullptr) return 0;
    const uint32_t address = kSubRegisterBase + registerAndValue[0];
    if (mode == 0) return writeSensorRegister(address, registerAndValue[1]);
    if (mode != 1) return 0;
    uint32_t value = 0;
    if (!readSensorRegister(address, &value)) return 0;
    registerAndValue[1] = static_cast<uint8_t>(value);
    return 1;
}

int ImxSensor::applyTransferBits(int sixteenBits) {
    const int previous = descriptor_.transferBits;
    descriptor_.transferBits = sixteenBits != 0 ? 16 : 8;
    const SensorDescriptor& d = descriptor_;
    const int divisor = 1 << d.subSampleMode;
    if (SetCaptureWindow(d.windowX, d.windowWidth * divisor, d.windowY, d.windowHeight * divisor, d.subSampleMode)) {
        return 1;
    }
    descriptor_.transferBits = previous;
    return 0;
}

CSensorIMX178::CSensorIMX178(CControllerBase* c, uint8_t a) : ImxSensor(c, a, SensorModelId::IMX178) {}
CSensorIMX183::CSensorIMX183(CControllerBase* c, uint8_t a) : ImxSensor(c, a, SensorModelId::IMX183) {}
CSensorIMX159::CSensorIMX159(CControllerBase* c, uint8_t a) : ImxSensor(c, a, SensorModelId::IMX159) {}
CSensorIMX174::CSensorIMX174(CControllerBase* c, uint8_t a) : ImxSensor(c, a, SensorModelId::IMX174) {}

double CSensorIMX174::linePeriod() const {
    const SensorDescriptor& d = descriptor_;
    return d.clockKHz > 0 ? (d.lineLength / kImx174ClocksPerLineUnit) * 10.0 / d.clockKHz : 0.0;
}

// ---- the IMX250 group ----

ImxIdleSensor::ImxIdleSensor(CControllerBase* controller, uint8_t serialAddress, SensorModelId id, bool bridgeReset)
    : ImxSensor(controller, serialAddress, id), bridgeReset_(bridgeReset) {}

bool ImxIdleSensor::startUp() {
    if (bridgeReset_ && !resetSerialBridge(*controller_)) return false;
    return ImxSensor::startUp();
}

int ImxIdleSensor::WriteRegisterWhenIdle(uint32_t address, uint32_t value) {
    if (!controller_ || !waitSensorIdle(kIdleWriteTries, kIdleWritePauseMs)) return 0;
    return writeSensorRegister(address, value);
}

int ImxIdleSensor::ReadRegisterWhenIdle(uint32_t address, uint32_t* value) {
    if (!controller_ || !waitSensorIdle(kIdleReadTries, kIdleReadPauseMs)) return 0;
    return readSensorRegister(address, value);
}

bool resetSerialBridge(CControllerBase& controller) {
    uint8_t value = 0;
    if (controller.ReadFpgaRegister(kFpgaBridgeReset, &value) && (value & kBridgeReadyBit) != 0) return true;
    (void)controller.WriteFpgaRegister(kFpgaBridgeReset, 1);
    platform::sleepMs(kBridgeResetPauseMs);
    (void)controller.WriteFpgaRegister(kFpgaBridgeReset, 0);
    platform::sleepMs(kBridgeResetPauseMs);
    const uint32_t start = platform::tickMs();
    bool ready = false;
    while (!ready && platform::tickMs() - start < kBridgeReadyLimitMs) {
        if (!controller.ReadFpgaRegister(kFpgaBridgeReset, &value)) {
            platform::sleepMs(kBridgeRetryPauseMs);
            continue;
        }
        ready = (value & kBridgeReadyBit) != 0;
        if (!ready) platform::sleepMs(kBridgePollPauseMs);
    }
    platform::debuggerOutput(platform::LogCategory::Sensor,
                             ready ? "::SerReset:: VD is ready." : "::SerReset:: failure.");
    return ready;
}

CSensorIMX226::CSensorIMX226(CControllerBase* c, uint8_t a) : ImxIdleSensor(c, a, SensorModelId::IMX226, true) {}
CSensorIMX250::CSensorIMX250(CControllerBase* c, uint8_t a) : ImxIdleSensor(c, a, SensorModelId::IMX250, true) {}
CSensorIMX252::CSensorIMX252(CControllerBase* c, uint8_t a) : ImxIdleSensor(c, a, SensorModelId::IMX252, true) {}
CSensorIMX264::CSensorIMX264(CControllerBase* c, uint8_t a) : ImxIdleSensor(c, a, SensorModelId::IMX264, true) {}
CSensorIMX536::CSensorIMX536(CControllerBase* c, uint8_t a) : ImxIdleSensor(c, a, SensorModelId::IMX536, true) {}
CSensorIMX273::CSensorIMX273(CControllerBase* c, uint8_t a)
    : ImxBlackLevelSensor(c, a, SensorModelId::IMX273, false) {}
CSensorIMX487::CSensorIMX487(CControllerBase* c, uint8_t a)
    : ImxBlackLevelSensor(c, a, SensorModelId::IMX487, true) {}
CSensorLI7050::CSensorLI7050(CControllerBase* c, uint8_t a) : ImxIdleSensor(c, a, SensorModelId::LI7050, false) {}

int ImxBlackLevelSensor::SetBlackLevel(int value) {
    const ValueRange& r = descriptor_.blackLevel;
    if (!controller_ || value < r.minimum || value > r.maximum) return 0;
    if (!writeWide(kBlackLevel, static_cast<uint32_t>(value))) return 0;
    descriptor_.blackLevel.current = value;
    return 1;
}

// ---- IMX990 / IMX991 ----

ImxSwirSensor::ImxSwirSensor(CControllerBase* controller, uint8_t serialAddress, SensorModelId id)
    : ImxIdleSensor(controller, serialAddress, id, false) {}

CSensorIMX990::CSensorIMX990(CControllerBase* c, uint8_t a) : ImxSwirSensor(c, a, SensorModelId::IMX990) {}
CSensorIMX991::CSensorIMX991(CControllerBase* c, uint8_t a) : ImxSwirSensor(c, a, SensorModelId::IMX991) {}

int ImxSwirSensor::SetAuxMode(int mode) {
    if (!writeSensorRegister(kAuxMode, static_cast<uint32_t>(mode))) return 0;
    auxModeWord_ = mode;
    return 1;
}

int ImxSwirSensor::PulseSensorReset() {
    if (!writeSensorRegister(kSensorReset, 1)) return 0;
    return writeSensorRegister(kSensorReset, 0);
}

int ImxSwirSensor::HasFirmwareFeature() { return firmwareVersion() > kSwirFeatureFirmware ? 1 : 0; }

int ImxSwirSensor::IsCoolingAvailable() { return (firmwareVersion() & kCoolerFirmwareBit) != 0 ? 1 : 0; }

int ImxSwirSensor::GetCooling() {
    uint8_t value = 0;
    return readFpga(kFpgaSwirCooler, &value) ? (value & 1) : 0;
}

int ImxSwirSensor::SetCooling(int on) {
    uint8_t value = 0;
    if (!readFpga(kFpgaSwirCooler, &value)) return 0;
    value = on != 0 ? static_cast<uint8_t>(value | 1) : static_cast<uint8_t>(value & ~1);
    return writeFpga(kFpgaSwirCooler, value) ? 1 : 0;
}

double swirTemperature(uint8_t low, uint8_t high) {
    const int whole = ((high << 5) & 0xFF) | (low >> 3);
    return whole - 256.0 * ((high >> 3) & 1) + 0.5 * ((low >> 2) & 1) + 0.25 * ((low >> 1) & 1) + 0.125 * (low & 1);
}

int ImxSwirSensor::GetTemperature(double* celsius) {
    if (!controller_ || celsius == nullptr) return 0;
    uint32_t latch = 0;
    if (!readSensorRegister(kSwirTemperatureLatch, &latch)) return 0;
    if (!writeSensorRegister(kSwirTemperatureLatch, latch | 1)) return 0;
    uint32_t low = 0;
    uint32_t high = 0;
    const bool read = readSensorRegister(kSwirTemperatureLow, &low) && readSensorRegister(kSwirTemperatureHigh, &high);
    (void)writeSensorRegister(kSwirTemperatureLatch, latch & ~1u);
    if (!read) return 0;
    *celsius = swirTemperature(static_cast<uint8_t>(low), static_cast<uint8_t>(high));
    return 1;
}

} // namespace lumvek
