#include "sensors/family/sensor_r08_r12.h"

#include <array>
#include <cstring>

#include "platform/log/log.h"
#include "platform/sync/clock.h"
#include "sensors/family/family_registers.h"
#include "usb/controller_base.h"

namespace lumvek {
namespace {

using namespace family::fpgahead;

constexpr uint8_t kProbeDevice = 95;
constexpr uint8_t kProbeBusyBits = 0x0F;
constexpr uint32_t kI2cTimeoutMs = 3000;
constexpr uint32_t kProbePauseMs = 100;
constexpr int kR08ProbeTries = 20;
constexpr uint32_t kR08ProbeLimitMs = 5000;
constexpr uint32_t kR12ProbeLimitMs = 29999;
constexpr uint8_t kFpgaR12Ready = 187;
constexpr uint32_t kR12ReadyLimitMs = 30000;

// Temperature measurement.
constexpr uint8_t kFpgaMeasure = 0xA0;
constexpr uint8_t kFpgaMeasureBusy = 32;
constexpr uint8_t kFpgaTemperatureLow = 169;
constexpr uint8_t kFpgaTemperatureHigh = 170;
constexpr uint32_t kMeasurePollMs = 5;
constexpr int kMeasurePolls = 200;  // one second at most
constexpr double kR08Slope = 0.2384;
constexpr double kR08Offset = -300.91;
constexpr double kR12Slope = 0.5031;
constexpr double kR12Offset = -295.64;

constexpr uint16_t kExtUnitFirmware = 22;  // the unit needs more than this
constexpr uint8_t kFpgaGainMode = 0x80;

// R12 gain stages and gain modes.
constexpr uint8_t kFpgaStageReadLow = 89;
constexpr uint8_t kFpgaStageReadHigh = 90;
constexpr uint8_t kFpgaStageWriteLow = 217;
constexpr uint8_t kFpgaStageWriteHigh = 218;
constexpr uint8_t kStageShift = 2;
constexpr uint8_t kStageMask = 0x1C;
constexpr uint8_t kFpgaGainModeWrite = 224;
constexpr uint8_t kFpgaGainModeRead = 96;
constexpr uint8_t kLowGainWord = 79;
constexpr uint8_t kHighGainWord = 95;
constexpr int kLowGainStageDefault = 4;
constexpr int kHighGainStageDefault = 7;
constexpr uint8_t kFpgaGainModeFollow = 160;
constexpr uint8_t kGainModeFollowValue = 4;
constexpr int kGainModeTries = 100;
constexpr uint32_t kGainModePauseMs = 100;

constexpr std::array<const char*, 8> kR12GainStageLabels{"0.66x", "1.85x", "2.49x", "3.68x",
                                                         "1.29x", "3.70x", "4.95x", "7.25x"};

} // namespace

HeadR08Family::HeadR08Family(CControllerBase* controller, uint8_t serialAddress, SensorModelId id)
    : FamilySensor(controller, serialAddress, id, RegisterPath::FpgaBytes) {}

int HeadR08Family::SetTriggerMode(int mode) {
    if (!writeFpga(kTrigger, static_cast<uint8_t>(mode))) return 0;
    triggerMode_ = mode;
    return 1;
}

int HeadR08Family::GetTriggerMode(int* mode) { return putValue(mode, triggerMode_); }

bool HeadR08Family::probeDevice95(int tries, uint32_t limitMs) {
    if (!controller_) return false;
    const uint32_t start = platform::tickMs();
    for (int i = 0; i < tries; ++i) {
        uint8_t status = 0xFF;
        if (controller_->I2cRead(kProbeDevice, &status, 1, kI2cTimeoutMs)) return (status & kProbeBusyBits) == 0;
        if (platform::tickMs() - start + kProbePauseMs > limitMs) break;
        platform::sleepMs(kProbePauseMs);
    }
    return false;
}

int HeadR08Family::readTemperature(double slope, double offset, double* celsius) {
    if (!controller_ || celsius == nullptr) return 0;
    if (!writeFpga(kFpgaMeasure, 1) || !writeFpga(kFpgaMeasure, 2)) return 0;
    bool done = false;
    for (int i = 0; i < kMeasurePolls && !done; ++i) {
        uint8_t busy = 1;
        if (!readFpga(kFpgaMeasureBusy, &busy)) return 0;
        done = (busy & 1) == 0;
        if (!done) platform::sleepMs(kMeasurePollMs);
    }
    uint8_t low = 0;
    uint8_t high = 0;
    if (!done || !readFpga(kFpgaTemperatureLow, &low) || !readFpga(kFpgaTemperatureHigh, &high)) return 0;
    *celsius = (low | (high << 8)) * slope + offset;
    return 1;
}

int HeadR08Family::IsExtUnitAvailable() { return firmwareVersion() > kExtUnitFirmware ? 1 : 0; }

int HeadR08Family::IsExtUnitPresent(int* present) {
    uint8_t value = 0;
    if (!IsExtUnitAvailable() || !readFpga(kExtUnitPresent, &value)) return 0;
    return putValue(present, value & 1);
}

int HeadR08Family::SetExtUnitMode(int mode) {
    return IsExtUnitAvailable() && writeFpga(kExtUnitMode, static_cast<uint8_t>(mode)) ? 1 : 0;
}

int HeadR08Family::GetInfoRecord(int* a, uint16_t* b, uint8_t* c, uint8_t* d) {
    uint8_t first = 0;
    uint8_t second = 0;
    if (!readFpga(kInfoByte1, &first) || !readFpga(kInfoByte2, &second)) return 0;
    if (a) *a = variantCode_;
    if (b) *b = firmwareVersion();
    if (c) *c = first;
    if (d) *d = second;
    return 1;
}

// ---- R08 ----

CSensorR08::CSensorR08(CControllerBase* c, uint8_t a) : HeadR08Family(c, a, SensorModelId::R08) {}

int CSensorR08::IsReady() { return probeDevice95(kR08ProbeTries, kR08ProbeLimitMs) ? 1 : 0; }

int CSensorR08::SetReadoutMode(int mode) {
    if (!writeFpga(kReadoutMode, static_cast<uint8_t>(mode))) return 0;
    readoutMode_ = mode;
    return 1;
}

int CSensorR08::GetReadoutMode(int* mode) { return putValue(mode, readoutMode_); }

int CSensorR08::GetTemperature(double* celsius) { return readTemperature(kR08Slope, kR08Offset, celsius); }

int CSensorR08::GetCooling() {
    uint8_t value = 0;
    return readFpga(kCooler, &value) ? (value & 1) : 0;
}

int CSensorR08::SetCooling(int on) {
    uint8_t value = 0;
    if (!readFpga(kCooler, &value)) return 0;
    value = on != 0 ? static_cast<uint8_t>(value | 1) : static_cast<uint8_t>(value & ~1);
    return writeFpga(kCooler, value) ? 1 : 0;
}

int CSensorR08::SetGainMode(int mode) { return writeFpga(kFpgaGainMode, mode != 0 ? 1 : 0) ? 1 : 0; }

int CSensorR08::GetGainMode() {
    uint8_t value = 0;
    if (!readFpga(kFpgaGainMode, &value)) return -1;
    return value != 0 ? 1 : 0;
}

// ---- R12 ----

CSensorR12::CSensorR12(CControllerBase* c, uint8_t a) : HeadR08Family(c, a, SensorModelId::R12) {}

int CSensorR12::IsReady() {
    const int tries = static_cast<int>(kR12ProbeLimitMs / kProbePauseMs) + 1;
    if (!probeDevice95(tries, kR12ProbeLimitMs)) return 0;
    const uint32_t start = platform::tickMs();
    for (;;) {
        uint8_t value = 0;
        if (readFpga(kFpgaR12Ready, &value) && (value & 1) != 0) return 1;
        if (platform::tickMs() - start >= kR12ReadyLimitMs) return 0;
        platform::sleepMs(kProbePauseMs);
    }
}

int CSensorR12::GetTemperature(double* celsius) { return readTemperature(kR12Slope, kR12Offset, celsius); }

int CSensorR12::SetBlackLevel(int value) {
    const ValueRange& r = descriptor_.blackLevel;
    if (!controller_ || value < r.minimum || value > r.maximum) return 0;
    if (!writeWide(kBlackLevel, static_cast<uint32_t>(value))) return 0;
    descriptor_.blackLevel.current = value;
    return 1;
}

int CSensorR12::SetGainStage(int index) {
    const ValueRange& r = descriptor_.gainStage;
    if (!controller_ || index < r.minimum || index > r.maximum) return 0;
    uint8_t low = 0;
    uint8_t high = 0;
    if (!readFpga(kFpgaStageReadLow, &low) || !readFpga(kFpgaStageReadHigh, &high)) return 0;
    high = static_cast<uint8_t>((high & ~kStageMask) | ((index << kStageShift) & kStageMask));
    if (!writeFpga(kFpgaStageWriteLow, low) || !writeFpga(kFpgaStageWriteHigh, high)) return 0;
    descriptor_.gainStage.current = index;
    return 1;
}

int CSensorR12::ReadGainStage(int* index) {
    uint8_t high = 0;
    if (!readFpga(kFpgaStageReadHigh, &high)) return 0;
    return putValue(index, (high & kStageMask) >> kStageShift);
}

int CSensorR12::GetGainStageLabel(int index, char* text, size_t capacity) {
    if (index < 0 || index >= static_cast<int>(kR12GainStageLabels.size()) || !text) return 0;
    const char* label = kR12GainStageLabels[static_cast<size_t>(index)];
    const size_t length = std::strlen(label);
    if (capacity <= length) return 0;
    std::memcpy(text, label, length + 1);
    return 1;
}

int CSensorR12::SetGainMode(int mode) {
    if (!controller_ || secondModeWord_ == 1 || (mode != 0 && mode != 1)) return 0;
    descriptor_.gainStage.defaultValue = mode == 1 ? kLowGainStageDefault : kHighGainStageDefault;
    if (writeFpga(kFpgaGainModeWrite, mode == 1 ? kLowGainWord : kHighGainWord)) {
        (void)writeFpga(kFpgaGainModeFollow, kGainModeFollowValue);
    }
    const uint8_t wanted = mode == 1 ? 0 : 1;
    bool written = false;
    for (int i = 0; i < kGainModeTries && !written; ++i) {
        (void)writeFpga(kFpgaGainMode, wanted);
        platform::sleepMs(kGainModePauseMs);
        uint8_t back = 0xFF;
        written = readFpga(kFpgaGainMode, &back) && back == wanted;
    }
    platform::logf(platform::LogCategory::Sensor, "FPGA reg0x80 write %s", written ? "succeed" : "failed");
    return written ? 1 : 0;
}

int CSensorR12::GetGainMode() {
    uint8_t value = 0;
    if (!readFpga(kFpgaGainModeRead, &value)) return -1;
    if (value == kLowGainWord) return 1;
    if (value == kHighGainWord) return 0;
    return -1;
}

int CSensorR12::GetSecondMode() { return static_cast<int>(secondModeWord_); }

int CSensorR12::SetSecondMode(int mode) {
    if (mode != 0 && mode != 1) return 0;
    if (!writeFpga(kSecondMode, static_cast<uint8_t>(mode))) return 0;
    secondModeWord_ = mode;
    return 1;
}

} // namespace lumvek
