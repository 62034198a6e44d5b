#include "sensors/family/mt9_sensors.h"

#include "sensors/family/family_registers.h"
#include "usb/controller_base.h"

namespace lumvek {
namespace {

using namespace family::mt9;

constexpr uint16_t kGainWordBits = 0x1100;  // gain word: value in bits 0-6 with these set
constexpr int kGainValueMask = 0x7F;
constexpr uint16_t kResetParallelStreaming = 0x10CC;
constexpr uint16_t kResetRestartBit = 0x0002;

// MT9F001 window rules and programming.
constexpr int kMt9fMinWidth = 320;
constexpr int kMt9fMinHeight = 8;
constexpr int kMt9fXOffset = 24;           // the array's first active column
constexpr int kMt9fLineBlanking = 312;
constexpr int kMt9fMinLineLengthFull = 2760;   // mode 0, width below 2448
constexpr int kMt9fNarrowWidth = 2448;
constexpr int kMt9fMinLineLengthBinned = 1848;  // modes 1 and 2, output below 1536
constexpr int kMt9fBinnedWideOutput = 1536;
constexpr int kMt9fFrameBlanking = 146;
constexpr uint16_t kReadModeBase = 0x200;
struct ModeRule {
    int positionAlign;  // x, y and height
    int widthAlign;
    int divisor;        // output = (size + divisor - 1) / divisor
    uint16_t clearBits;
    uint16_t setBits;
};
constexpr ModeRule kMt9fModes[3] = {
    {2, 16, 1, 0xDBE, 0x41},
    {4, 32, 2, 0xD3C, 0xC3},
    {8, 64, 4, 0xC38, 0x1C7},
};
// Fixed words of the MT9F001 sequence.
constexpr uint16_t kVtPixClkDiv = 0x0400;
constexpr uint16_t kScaleM = 0x0404;
constexpr uint16_t kRowSpeed = 0x3010;
constexpr uint16_t kDigitalTest = 0x3014;
constexpr int kVtPixClkDivValue = 2;
constexpr int kScaleMValue = 16;
constexpr int kRowSpeedValue = 256;
constexpr int kDigitalTestValue = 1386;
constexpr int kResetValue = 4318;

// MT9J001 clock modes.
constexpr int kClockMode0KHz = 32000;
constexpr int kClockMode1KHz = 16000;
constexpr int kClockMode2KHz = 80000;
constexpr int kTriggerWordRequestAccess = 0x10000;

// MT9P001 trigger bits of register 0x1E.
constexpr uint32_t kTriggerBits = 0x310;

int clockModeOf(int clockKHz) {
    if (clockKHz == kClockMode1KHz) return 1;
    if (clockKHz == kClockMode2KHz) return 2;
    return 0;
}

} // namespace

Mt9Sensor::Mt9Sensor(CControllerBase* controller, uint8_t serialAddress, SensorModelId id)
    : FamilySensor(controller, serialAddress, id, RegisterPath::Mt9I2c) {}

int Mt9Sensor::IsReady() {
    uint32_t version = 0;
    return readSensorRegister(kChipVersion, &version) ? 1 : 0;
}

bool Mt9Sensor::startUp() {
    return writeSensorRegister(kModeSelect, 0) && writeSensorRegister(kResetRegister, kResetParallelStreaming) &&
           writeSensorRegister(kModeSelect, 1);
}

bool Mt9Sensor::writeGain(int gain) {
    return writeSensorRegister(kGlobalGain, static_cast<uint32_t>((gain & kGainValueMask) | kGainWordBits)) != 0;
}

bool Mt9Sensor::writeMirror(bool horizontal, bool vertical) {
    uint16_t mode = static_cast<uint16_t>(readMode_ & ~(kReadModeMirrorH | kReadModeMirrorV));
    mode = static_cast<uint16_t>(mode | (horizontal ? kReadModeMirrorH : 0) | (vertical ? kReadModeMirrorV : 0));
    if (!writeSensorRegister(kReadMode, mode)) return false;
    readMode_ = mode;
    return true;
}

int Mt9Sensor::setColorGain(uint16_t reg, int value, ValueRange& range) {
    if (!controller_) return 0;
    if (!writeSensorRegister(reg, static_cast<uint32_t>((value & kGainValueMask) | kGainWordBits))) return 0;
    range.current = value;
    return 1;
}

int Mt9Sensor::SetColorGainRed(int v) { return setColorGain(kRedGain, v, descriptor_.colorGainRed); }
int Mt9Sensor::SetColorGainGreen1(int v) { return setColorGain(kGreen1Gain, v, descriptor_.colorGainGreen1); }
int Mt9Sensor::SetColorGainGreen2(int v) { return setColorGain(kGreen2Gain, v, descriptor_.colorGainGreen2); }
int Mt9Sensor::SetColorGainBlue(int v) { return setColorGain(kBlueGain, v, descriptor_.colorGainBlue); }
int Mt9Sensor::GetColorGainRed(int* v) { return putValue(v, descriptor_.colorGainRed.current); }
int Mt9Sensor::GetColorGainGreen1(int* v) { return putValue(v, descriptor_.colorGainGreen1.current); }
int Mt9Sensor::GetColorGainGreen2(int* v) { return putValue(v, descriptor_.colorGainGreen2.current); }
int Mt9Sensor::GetColorGainBlue(int* v) { return putValue(v, descriptor_.colorGainBlue.current); }
int Mt9Sensor::GetColorGainMin(int* v) { return putValue(v, descriptor_.colorGainRed.minimum); }
int Mt9Sensor::GetColorGainMax(int* v) { return putValue(v, descriptor_.colorGainRed.maximum); }
int Mt9Sensor::GetColorGainDefault(int* v) { return putValue(v, descriptor_.colorGainRed.defaultValue); }

int Mt9Sensor::WriteRegister(uint32_t address, uint32_t value) { return writeSensorRegister(address, value); }
int Mt9Sensor::ReadRegister(uint32_t address, uint32_t* value) { return readSensorRegister(address, value); }

// ---- MT9F001 ----

CSensorMT9F001::CSensorMT9F001(CControllerBase* controller, uint8_t serialAddress)
    : Mt9fSensor(controller, serialAddress, SensorModelId::MT9F001) {}

Mt9fSensor::Mt9fSensor(CControllerBase* controller, uint8_t serialAddress, SensorModelId id)
    : Mt9Sensor(controller, serialAddress, id) {
    // The start-up window's timing as the window sequence sets it.
    descriptor_.windowX = kMt9fXOffset;
    descriptor_.lineLength = descriptor_.maxWidth + kMt9fLineBlanking;
    descriptor_.frameLength = descriptor_.maxHeight + kMt9fFrameBlanking;
}

bool Mt9fSensor::windowAllowed(const WindowRequest& w) const {
    const SensorDescriptor& d = descriptor_;
    if (w.x < 0 || w.y < 0 || w.width < kMt9fMinWidth || w.height < kMt9fMinHeight || w.x + w.width > d.maxWidth ||
        w.y + w.height > d.maxHeight || w.mode < 0 || w.mode > 2) {
        return false;
    }
    const ModeRule& rule = kMt9fModes[w.mode];
    return w.x % rule.positionAlign == 0 && w.y % rule.positionAlign == 0 && w.height % rule.positionAlign == 0 &&
           w.width % rule.widthAlign == 0;
}

bool Mt9fSensor::programMt9f001Window(const WindowRequest& w) {
    const ModeRule& rule = kMt9fModes[w.mode];
    const uint16_t readMode = static_cast<uint16_t>(((readMode_ | kReadModeBase) & ~rule.clearBits) | rule.setBits);
    const int outW = (w.width + rule.divisor - 1) / rule.divisor;
    const int outH = (w.height + rule.divisor - 1) / rule.divisor;
    int lineLength = 0;
    if (w.mode == 0) {
        lineLength = w.width < kMt9fNarrowWidth ? kMt9fMinLineLengthFull : w.width + kMt9fLineBlanking;
    } else {
        lineLength = outW >= kMt9fBinnedWideOutput ? outW + kMt9fLineBlanking : kMt9fMinLineLengthBinned;
    }
    const int frameLength = outH + kMt9fFrameBlanking;
    const struct {
        uint16_t reg;
        int value;
    } sequence[] = {
        {kGroupedHold, 1},       {kXStart, w.x + kMt9fXOffset}, {kXEnd, w.x + w.width + kMt9fXOffset - 1},
        {kYStart, w.y},          {kYEnd, w.y + w.height - 1},   {kVtPixClkDiv, kVtPixClkDivValue},
        {kScaleM, kScaleMValue}, {kOutputWidth, outW},          {kOutputHeight, outH},
        {kLineLength, lineLength}, {kFrameLength, frameLength}, {kRowSpeed, kRowSpeedValue},
        {kDigitalTest, kDigitalTestValue}, {kResetRegister, kResetValue}, {kGroupedHold, 0},
        {kReadMode, readMode},
    };
    for (const auto& step : sequence) {
        if (!writeSensorRegister(step.reg, static_cast<uint32_t>(step.value) & 0xFFFF)) return false;
    }
    readMode_ = readMode;
    storeWindow(w, outW, outH);
    descriptor_.windowX = w.x + kMt9fXOffset;
    descriptor_.lineLength = lineLength;
    descriptor_.frameLength = frameLength;
    return true;
}

// ---- MT9F002 ----

CSensorMT9F002::CSensorMT9F002(CControllerBase* controller, uint8_t serialAddress)
    : Mt9fSensor(controller, serialAddress, SensorModelId::MT9F002) {}

bool CSensorMT9F002::programWindow(const WindowRequest& w) {
    // This family's own sequence for the MT9F002: the standard window words
    // under grouped hold, then the read mode of the sub-sample mode.
    const ModeRule& rule = kMt9fModes[w.mode];
    const uint16_t readMode = static_cast<uint16_t>(((readMode_ | kReadModeBase) & ~rule.clearBits) | rule.setBits);
    if (!FamilySensor::programWindow(w)) return false;
    if (!writeSensorRegister(kReadMode, readMode)) return false;
    readMode_ = readMode;
    return true;
}

int CSensorMT9F002::readSensorRegister(uint32_t address, uint32_t* value) {
    constexpr uint32_t kAuxBit = 0x8000;
    if ((address & kAuxBit) == 0) return Mt9Sensor::readSensorRegister(address, value);
    uint8_t byte = 0;
    if (!controller_ || value == nullptr || !controller_->ReadAuxRegister(static_cast<uint8_t>(address), &byte)) {
        return 0;
    }
    *value = byte;
    return 1;
}

void CSensorMT9F002::RestartSensorStream() {
    (void)writeSensorRegister(kResetRegister, kResetParallelStreaming | kResetRestartBit);
}

void CSensorMT9F002::KickSensorStream() {
    (void)writeSensorRegister(kModeSelect, 0);
    (void)writeSensorRegister(kModeSelect, 1);
}

// ---- MT9J001 ----

CSensorMT9J001::CSensorMT9J001(CControllerBase* controller, uint8_t serialAddress)
    : Mt9Sensor(controller, serialAddress, SensorModelId::MT9J001) {}

int CSensorMT9J001::writeSensorRegister(uint32_t address, uint32_t value) {
    if (triggerWord_ != kTriggerWordRequestAccess) return Mt9Sensor::writeSensorRegister(address, value);
    return controller_ ? controller_->WriteRegister16(static_cast<uint16_t>(address), static_cast<uint16_t>(value)) : 0;
}

int CSensorMT9J001::readSensorRegister(uint32_t address, uint32_t* value) {
    if (triggerWord_ != kTriggerWordRequestAccess) return Mt9Sensor::readSensorRegister(address, value);
    return controller_ && value ? controller_->ReadRegister16(static_cast<uint16_t>(address), value) : 0;
}

int CSensorMT9J001::SetClockMode(int mode) {
    static constexpr int kClocks[3] = {kClockMode0KHz, kClockMode1KHz, kClockMode2KHz};
    if (!controller_ || mode < 0 || mode > 2) return 0;
    const int clock = kClocks[mode];
    if (!writeSensorRegister(kPllMultiplier, static_cast<uint32_t>(clock / 1000))) return 0;
    descriptor_.clockKHz = clock;
    // The line period changed with the clock: keep the exposure time.
    (void)SetExposureTime(static_cast<uint32_t>(descriptor_.exposureTime.current > 0 ? descriptor_.exposureTime.current : 1));
    return 1;
}

int CSensorMT9J001::GetClockMode(int* mode) { return putValue(mode, clockModeOf(descriptor_.clockKHz)); }

// ---- MT9P001 ----

CSensorMT9P001::CSensorMT9P001(CControllerBase* controller, uint8_t serialAddress)
    : Mt9Sensor(controller, serialAddress, SensorModelId::MT9P001) {}

int CSensorMT9P001::SetTriggerMode(int mode) {
    uint32_t value = 0;
    if (!readSensorRegister(kTriggerControl, &value)) return 0;
    value = mode == 1 ? (value | kTriggerBits) : (value & ~kTriggerBits);
    if (!writeSensorRegister(kTriggerControl, value)) return 0;
    triggerMode_ = mode;
    return 1;
}

int CSensorMT9P001::GetTriggerMode(int* mode) { return putValue(mode, triggerMode_); }

int CSensorMT9P001::GetClockMode(int* mode) { return putValue(mode, clockModeOf(descriptor_.clockKHz)); }

} // namespace lumvek
