#include "sensors/family/sensor_glux9701.h"

#include "platform/sync/clock.h"

namespace lumvek {
namespace {

constexpr uint8_t kFpgaBoot = 33;
constexpr uint8_t kBootReady = 3;
constexpr uint8_t kFpgaBootKick = 164;
constexpr uint8_t kBootKickBit = 0x02;
constexpr uint32_t kBootFirstWaitMs = 7000;
constexpr uint32_t kBootRoundWaitMs = 5000;
constexpr int kBootRounds = 5;

constexpr uint32_t kTemperatureLow = 0x188;
constexpr uint32_t kTemperatureHigh = 0x189;
constexpr double kTemperatureSlope = 0.3213;
constexpr double kTemperatureOffset = -287.09;

constexpr uint32_t kShortRegs[3] = {90, 91, 92};
constexpr uint32_t kShortOn[3] = {100, 32, 31};
constexpr uint32_t kShortOff = 255;

constexpr uint32_t kGainRegA = 78;
constexpr uint32_t kGainRegB = 82;
constexpr uint32_t kGainOpen = 255;
constexpr uint32_t kGainClosed = 6;

} // namespace

CSensorGLUX9701::CSensorGLUX9701(CControllerBase* controller, uint8_t serialAddress)
    : ImxIdleSensor(controller, serialAddress, SensorModelId::GLUX9701, false) {}

int CSensorGLUX9701::IsReady() {
    uint8_t value = 0;
    if (readFpga(kFpgaBoot, &value) && value == kBootReady) return 1;
    if (!controller_) return 0;
    platform::sleepMs(kBootFirstWaitMs);
    for (int round = 0; round < kBootRounds; ++round) {
        if (readFpga(kFpgaBoot, &value) && value == kBootReady) return 1;
        uint8_t kick = 0;
        if (readFpga(kFpgaBootKick, &kick)) (void)writeFpga(kFpgaBootKick, static_cast<uint8_t>(kick | kBootKickBit));
        platform::sleepMs(kBootRoundWaitMs);
    }
    return 0;
}

int CSensorGLUX9701::GetTemperature(double* celsius) {
    uint32_t low = 0;
    uint32_t high = 0;
    if (celsius == nullptr || !ReadRegisterWhenIdle(kTemperatureLow, &low) ||
        !ReadRegisterWhenIdle(kTemperatureHigh, &high)) {
        return 0;
    }
    *celsius = ((low & 0xFF) | ((high & 0xFF) << 8)) * kTemperatureSlope + kTemperatureOffset;
    return 1;
}

int CSensorGLUX9701::SetShortExposureMode(int on) {
    const bool enable = on != 0;
    if (!WriteRegisterWhenIdle(kShortRegs[0], enable ? kShortOn[0] : kShortOff) ||
        !writeSensorRegister(kShortRegs[1], enable ? kShortOn[1] : kShortOff) ||
        !writeSensorRegister(kShortRegs[2], enable ? kShortOn[2] : kShortOff)) {
        return 0;
    }
    if (enable) return writeExposureLines(shortExposureLines_) ? 1 : 0;
    return SetExposureLines(descriptor_.exposureLines.current);
}

int CSensorGLUX9701::GetShortExposureMode(int* on) {
    uint32_t v[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (!readSensorRegister(kShortRegs[i], &v[i])) return 0;
    }
    if (v[0] == kShortOff && v[1] == kShortOff && v[2] == kShortOff) return putValue(on, 0);
    if (v[0] == kShortOn[0] && v[1] == kShortOn[1] && v[2] == kShortOn[2]) return putValue(on, 1);
    return 0;
}

int CSensorGLUX9701::SetGainMode(int mode) {
    const bool low = mode != 0;
    return WriteRegisterWhenIdle(kGainRegA, low ? kGainClosed : kGainOpen) &&
                   WriteRegisterWhenIdle(kGainRegB, low ? kGainOpen : kGainClosed)
               ? 1
               : 0;
}

int CSensorGLUX9701::GetGainMode() {
    uint32_t a = 0;
    uint32_t b = 0;
    if (!ReadRegisterWhenIdle(kGainRegA, &a) || !ReadRegisterWhenIdle(kGainRegB, &b)) return -1;
    if (a == kGainOpen && b == kGainClosed) return 0;
    if (a == kGainClosed && b == kGainOpen) return 1;
    return -1;
}

} // namespace lumvek
