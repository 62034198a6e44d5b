#include "sensors/ccd/ccd_sensor_base.h"

#include "usb/controller_base.h"

namespace lumvek {
namespace {

constexpr uint8_t kFpgaMirror = 0x3F;
constexpr uint8_t kMirrorBitV = 0x02;
constexpr uint8_t kMirrorBitH = 0x01;
constexpr uint8_t kFpgaExposureLines = 0xE2;  // 0xE2 low, 0xE3 high
constexpr uint8_t kFpgaChannelOffset1 = 0x70; // pairs 0x70..0x77
constexpr uint8_t kFpgaChannelGain1 = 0x78;   // pairs 0x78..0x7F
constexpr uint8_t kFpgaBlackLevel = 0xA2;     // 0xA2 low, 0xA3 high
constexpr uint32_t kGainRegisterBank1 = 0x8005;
constexpr uint32_t kGainRegisterBank0 = 0x0005;
constexpr uint32_t kBlackRegisterBank1 = 0x8006;
constexpr uint32_t kBlackRegisterBank0 = 0x0006;
constexpr int kTenBitMask = 0x3FF;
constexpr int kChannelCount = 4;
constexpr int kChannelGainMax = 0xFFFF;
constexpr int kChannelGainDefault = 4096;

bool validChannel(int channel) { return channel >= 1 && channel <= kChannelCount; }

int put(int* out, int value) {
    if (out) *out = value;
    return 1;
}

} // namespace

CcdSensorBase::CcdSensorBase(CControllerBase* controller, uint8_t serialAddress, const SensorModel& model,
                             const CcdConstants& constants)
    : CSensorBase(controller, serialAddress), constants_(constants) {
    applySensorModel(descriptor_, model);
}

void CcdSensorBase::applyStartupDefaults() {
    const SensorDescriptor& d = descriptor_;
    (void)SetTriggerMode(0);
    (void)SetGlobalGain(d.globalGain.defaultValue);
    (void)SetExposureLines(d.exposureLines.defaultValue);
    (void)SetMirrorH(d.mirrorHDefault);
    (void)SetMirrorV(d.mirrorVDefault);
    (void)SetCaptureWindow(0, d.maxWidth, 0, d.maxHeight, 0);
}

int CcdSensorBase::SetCaptureWindow(int, int, int, int, int) { return 1; }

int CcdSensorBase::GetCaptureWindow(int* x, int* width, int* y, int* height, int* mode) {
    put(x, descriptor_.windowX);
    put(width, descriptor_.windowWidth);
    put(y, descriptor_.windowY);
    put(height, descriptor_.windowHeight);
    return put(mode, descriptor_.subSampleMode);
}

int CcdSensorBase::SetTriggerMode(int) { return 1; }

int CcdSensorBase::GetTriggerMode(int* mode) { return put(mode, triggerWord_); }

int CcdSensorBase::writeFpgaPair(uint8_t reg, int value) {
    const int low = controller_->WriteFpgaRegister(reg, static_cast<uint8_t>(value & 0xFF));
    const int high = controller_->WriteFpgaRegister(static_cast<uint8_t>(reg + 1), static_cast<uint8_t>((value >> 8) & 0xFF));
    return low && high;
}

int CcdSensorBase::readFpgaPair(uint8_t reg, int* value) {
    uint8_t low = 0;
    uint8_t high = 0;
    if (!controller_->ReadFpgaRegister(reg, &low)) return 0;
    if (!controller_->ReadFpgaRegister(static_cast<uint8_t>(reg + 1), &high)) return 0;
    return put(value, high * 256 + low);
}

int CcdSensorBase::SetExposureLines(int lines) {
    if (!controller_) return 0;
    if (!controller_->WriteFpgaRegister(kFpgaExposureLines, static_cast<uint8_t>(lines & 0xFF))) return 0;
    (void)controller_->WriteFpgaRegister(kFpgaExposureLines + 1, static_cast<uint8_t>((lines >> 8) & 0xFF));
    descriptor_.exposureLines.current = lines;
    return 1;
}

int CcdSensorBase::GetExposureLines(int* v) { return put(v, descriptor_.exposureLines.current); }
int CcdSensorBase::GetExposureLinesMin(int* v) { return put(v, descriptor_.exposureLines.minimum); }
int CcdSensorBase::GetExposureLinesMax(int* v) { return put(v, descriptor_.exposureLines.maximum); }
int CcdSensorBase::GetExposureLinesDefault(int* v) { return put(v, descriptor_.exposureLines.defaultValue); }

int CcdSensorBase::SetGlobalGain(int gain) {
    if (!controller_) return 0;
    const int v = gain & kTenBitMask;
    if (!WriteRegister(kGainRegisterBank1, static_cast<uint32_t>(v))) return 0;
    if (!WriteRegister(kGainRegisterBank0, static_cast<uint32_t>(v))) return 0;
    descriptor_.globalGain.current = v;
    return 1;
}

int CcdSensorBase::GetGlobalGain(int* v) { return put(v, descriptor_.globalGain.current); }
int CcdSensorBase::GetGlobalGainMin(int* v) { return put(v, descriptor_.globalGain.minimum); }
int CcdSensorBase::GetGlobalGainMax(int* v) { return put(v, descriptor_.globalGain.maximum); }
int CcdSensorBase::GetGlobalGainDefault(int* v) { return put(v, descriptor_.globalGain.defaultValue); }

// The byte writes' results are not reported: the camera keeps no read-back
// of a half-written pair, and callers verify through GetChannelGain.
int CcdSensorBase::SetChannelGain(int channel, int value) {
    if (!controller_ || !validChannel(channel)) return 0;
    (void)writeFpgaPair(static_cast<uint8_t>(kFpgaChannelGain1 + 2 * (channel - 1)), value);
    return 1;
}

int CcdSensorBase::GetChannelGain(int channel, int* value) {
    if (!controller_ || !validChannel(channel)) return 0;
    return readFpgaPair(static_cast<uint8_t>(kFpgaChannelGain1 + 2 * (channel - 1)), value);
}

int CcdSensorBase::GetChannelGainMin(int* v) { return put(v, 0); }
int CcdSensorBase::GetChannelGainMax(int* v) { return put(v, kChannelGainMax); }
int CcdSensorBase::GetChannelGainDefault(int* v) { return put(v, kChannelGainDefault); }

int CcdSensorBase::SetChannelOffset(int channel, int value) {
    if (!controller_ || !validChannel(channel)) return 0;
    (void)writeFpgaPair(static_cast<uint8_t>(kFpgaChannelOffset1 + 2 * (channel - 1)), value);
    return 1;
}

int CcdSensorBase::GetChannelOffset(int channel, int* value) {
    if (!controller_ || !validChannel(channel)) return 0;
    return readFpgaPair(static_cast<uint8_t>(kFpgaChannelOffset1 + 2 * (channel - 1)), value);
}

int CcdSensorBase::GetChannelOffsetMin(int* v) { return put(v, 0); }
int CcdSensorBase::GetChannelOffsetMax(int* v) { return put(v, kChannelGainMax); }
int CcdSensorBase::GetChannelOffsetDefault(int* v) { return put(v, 0); }

int CcdSensorBase::SetBlackLevel(int value) {
    if (!controller_) return 0;
    (void)writeFpgaPair(kFpgaBlackLevel, value);
    const int w = value & kTenBitMask;
    if (!WriteRegister(kBlackRegisterBank1, static_cast<uint32_t>(w))) return 0;
    if (!WriteRegister(kBlackRegisterBank0, static_cast<uint32_t>(w))) return 0;
    descriptor_.blackLevel.current = w;
    return 1;
}

// The exposure register counts the lines the CCD is NOT integrating: a
// smaller register value is a longer exposure.
int CcdSensorBase::SetExposureTime(uint32_t t) {
    if (t == 0 || descriptor_.clockKHz <= 0) return 0;
    const double period = constants_.linePeriodClocksX10 / descriptor_.clockKHz;
    const ValueRange& range = descriptor_.exposureLines;
    double linesExact = constants_.exposureLineBase - static_cast<double>(t) / period;
    int64_t lines = static_cast<int64_t>(linesExact);
    uint32_t stored = t;
    if (lines < range.minimum) {
        lines = range.minimum;
        stored = static_cast<uint32_t>(range.maximum * period);
    } else if (lines > range.maximum) {
        lines = range.maximum;
        stored = static_cast<uint32_t>(range.minimum * period);
    }
    if (!SetExposureLines(static_cast<int>(lines))) return 0;
    descriptor_.exposureTime.current = static_cast<int32_t>(stored);
    return 1;
}

int CcdSensorBase::GetExposureTime(int* v) { return put(v, descriptor_.exposureTime.current); }
int CcdSensorBase::GetExposureTimeMin(int* v) { return put(v, descriptor_.exposureTime.minimum); }
int CcdSensorBase::GetExposureTimeMax(int* v) { return put(v, descriptor_.exposureTime.maximum); }
int CcdSensorBase::GetExposureTimeDefault(int* v) { return put(v, descriptor_.exposureTime.defaultValue); }

int CcdSensorBase::setMirrorBit(uint8_t bit, int on, int32_t& stored) {
    if (!controller_) return 0;
    uint8_t value = 0;
    if (!controller_->ReadFpgaRegister(kFpgaMirror, &value)) return 0;
    const bool setBit = (on != 0) == constants_.mirrorBitSetMirrors;
    value = setBit ? static_cast<uint8_t>(value | bit) : static_cast<uint8_t>(value & ~bit);
    if (!controller_->WriteFpgaRegister(kFpgaMirror, value)) return 0;
    stored = on != 0 ? 1 : 0;
    return 1;
}

int CcdSensorBase::SetMirrorV(int on) { return setMirrorBit(kMirrorBitV, on, descriptor_.mirrorV); }
int CcdSensorBase::GetMirrorV(int* on) { return put(on, descriptor_.mirrorV); }
int CcdSensorBase::SetMirrorH(int on) { return setMirrorBit(kMirrorBitH, on, descriptor_.mirrorH); }
int CcdSensorBase::GetMirrorH(int* on) { return put(on, descriptor_.mirrorH); }

int CcdSensorBase::AccessSubRegister(int, uint8_t*) { return 1; }

int CcdSensorBase::WriteRegister(uint32_t address, uint32_t value) {
    if (!controller_) return 0;
    shadow_.store(address, value);
    return controller_->WriteSensorRegister32(static_cast<uint16_t>(address & 0xFFFF), value);
}

int CcdSensorBase::ReadRegister(uint32_t address, uint32_t* value) {
    uint32_t v = 0;
    if (!value || !shadow_.lookup(address, &v)) return 0;
    *value = v;
    return 1;
}

} // namespace lumvek
