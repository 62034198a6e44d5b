#include "sensors/family/family_sensor.h"

#include <algorithm>
#include <cmath>

#include "platform/sync/clock.h"
#include "sensors/family/family_registers.h"
#include "usb/controller_base.h"

namespace lumvek {
namespace {

constexpr uint32_t kI2cTimeoutMs = 3000;
constexpr uint32_t kBridgeWritePauseMs = 1;
constexpr uint8_t kFpgaIdleRegister = 2;
constexpr int32_t kLinesMax16 = 0xFFFF;
constexpr int32_t kLinesMax24 = 0xFFFFFF;
constexpr double kTenthsOfMsPerSecond = 10000.0;

} // namespace

FamilySensor::FamilySensor(CControllerBase* controller, uint8_t serialAddress, SensorModelId id, RegisterPath path,
                           Blanking blanking)
    : CSensorBase(controller, serialAddress), path_(path), blanking_(blanking) {
    const SensorModel& model = sensorModel(id);
    applySensorModel(descriptor_, model);
    if (model.hasVariantCode) variantCode_ = model.variantCode;
    // The window the sensor starts with sets the line period the default
    // exposure is counted in.
    storeWindow({0, descriptor_.defaultWidth, 0, descriptor_.defaultHeight, 0}, descriptor_.defaultWidth,
                descriptor_.defaultHeight);
    ValueRange& lines = descriptor_.exposureLines;
    lines.minimum = 1;
    lines.maximum = path == RegisterPath::Mt9I2c ? kLinesMax16 : kLinesMax24;
    lines.available = 1;
    const double period = linePeriod();
    const double defaultLines = period > 0.0 ? descriptor_.exposureTime.defaultValue / period : 1.0;
    lines.defaultValue = lines.current =
        static_cast<int32_t>(std::clamp(defaultLines, 1.0, static_cast<double>(lines.maximum)));
}

int FamilySensor::InitializeSensor() {
    if (!controller_) return 0;
    if (!startUp()) return 0;
    const SensorDescriptor& d = descriptor_;
    const WindowRequest full{0, d.defaultWidth, 0, d.defaultHeight, 0};
    const bool window = programWindow(full);
    (void)SetGlobalGain(d.globalGain.defaultValue);
    (void)SetExposureTime(static_cast<uint32_t>(std::max(d.exposureTime.defaultValue, 1)));
    (void)writeMirror(d.mirrorHDefault != 0, d.mirrorVDefault != 0);
    return window ? 1 : 0;
}

bool FamilySensor::windowAllowed(const WindowRequest& w) const {
    const SensorDescriptor& d = descriptor_;
    return w.x >= 0 && w.y >= 0 && w.width >= kMinWindowWidth && w.height >= 1 && w.mode >= 0 &&
           w.mode <= kMaxSubSampleMode && w.x + w.width <= d.maxWidth && w.y + w.height <= d.maxHeight &&
           (w.width >> w.mode) >= 1 && (w.height >> w.mode) >= 1;
}

void FamilySensor::storeWindow(const WindowRequest& w, int outputWidth, int outputHeight) {
    SensorDescriptor& d = descriptor_;
    d.windowX = w.x;
    d.windowY = w.y;
    d.windowWidth = outputWidth;
    d.windowHeight = outputHeight;
    d.subSampleMode = w.mode;
    d.lineLength = outputWidth + blanking_.horizontal;
    d.frameLength = outputHeight + blanking_.vertical;
}

bool FamilySensor::programWindow(const WindowRequest& w) {
    using namespace family;
    const int outW = w.width >> w.mode;
    const int outH = w.height >> w.mode;
    const int lineLength = outW + blanking_.horizontal;
    const int frameLength = outH + blanking_.vertical;
    bool ok = true;
    switch (path_) {
    case RegisterPath::Mt9I2c:
        ok = writeSensorRegister(mt9::kGroupedHold, 1) && writeSensorRegister(mt9::kXStart, w.x) &&
             writeSensorRegister(mt9::kXEnd, w.x + w.width - 1) && writeSensorRegister(mt9::kYStart, w.y) &&
             writeSensorRegister(mt9::kYEnd, w.y + w.height - 1) && writeSensorRegister(mt9::kOutputWidth, outW) &&
             writeSensorRegister(mt9::kOutputHeight, outH) && writeSensorRegister(mt9::kLineLength, lineLength) &&
             writeSensorRegister(mt9::kFrameLength, frameLength);
        (void)writeSensorRegister(mt9::kGroupedHold, 0);
        break;
    case RegisterPath::Bridge:
        ok = writeSensorRegister(bridge::kStandby, 1) && writeWide(bridge::kWindowX, w.x) &&
             writeWide(bridge::kWindowY, w.y) && writeWide(bridge::kOutputWidth, outW) &&
             writeWide(bridge::kOutputHeight, outH) && writeSensorRegister(bridge::kSubSample, w.mode) &&
             writeSensorRegister(bridge::kSampleBits, descriptor_.transferBits == 16 ? 16 : 8) &&
             writeWide(bridge::kLineLength, lineLength) && writeWide(bridge::kFrameLength, frameLength);
        (void)writeSensorRegister(bridge::kStandby, 0);
        break;
    case RegisterPath::FpgaBytes:
        ok = writeWide(fpgahead::kWindowX, w.x) && writeWide(fpgahead::kWindowY, w.y) &&
             writeFpga(fpgahead::kSubSample, static_cast<uint8_t>(w.mode));
        break;
    case RegisterPath::Request32:
        break;  // a CCD reads out whole; the layers above cut the window
    }
    if (!ok) return false;
    storeWindow(w, outW, outH);
    return true;
}

int FamilySensor::SetCaptureWindow(int x, int width, int y, int height, int mode) {
    if (!controller_) return 0;
    const WindowRequest w{x, width, y, height, mode};
    if (!windowAllowed(w) || !programWindow(w)) return 0;
    // The line length changed: the exposure in lines follows the time.
    (void)SetMirrorH(descriptor_.mirrorH);
    (void)SetExposureTime(static_cast<uint32_t>(std::max(descriptor_.exposureTime.current, 1)));
    return 1;
}

int FamilySensor::GetCaptureWindow(int* x, int* width, int* y, int* height, int* mode) {
    putValue(x, descriptor_.windowX);
    putValue(width, descriptor_.windowWidth);
    putValue(y, descriptor_.windowY);
    putValue(height, descriptor_.windowHeight);
    return putValue(mode, descriptor_.subSampleMode);
}

bool FamilySensor::writeExposureLines(int lines) {
    using namespace family;
    switch (path_) {
    case RegisterPath::Mt9I2c:
        return writeSensorRegister(mt9::kCoarseIntegration, static_cast<uint32_t>(lines) & 0xFFFF) != 0;
    case RegisterPath::Bridge:
        return writeWide(bridge::kExposureLines, static_cast<uint32_t>(lines), 3);
    case RegisterPath::FpgaBytes:
        return writeWide(fpgahead::kExposureLines, static_cast<uint32_t>(lines), 3);
    case RegisterPath::Request32:
        return false;
    }
    return false;
}

bool FamilySensor::writeGain(int gain) {
    using namespace family;
    switch (path_) {
    case RegisterPath::Mt9I2c:
        return writeSensorRegister(mt9::kGlobalGain, static_cast<uint32_t>(gain) & 0xFFFF) != 0;
    case RegisterPath::Bridge:
        return writeWide(bridge::kGain, static_cast<uint32_t>(gain));
    case RegisterPath::FpgaBytes:
        return writeFpga(fpgahead::kGain, static_cast<uint8_t>(gain));
    case RegisterPath::Request32:
        return false;
    }
    return false;
}

bool FamilySensor::writeMirror(bool horizontal, bool vertical) {
    using namespace family;
    const uint8_t bits = static_cast<uint8_t>((horizontal ? bridge::kMirrorBitH : 0) | (vertical ? bridge::kMirrorBitV : 0));
    switch (path_) {
    case RegisterPath::Mt9I2c: {
        uint32_t mode = 0;
        if (!readSensorRegister(mt9::kReadMode, &mode)) return false;
        mode &= ~static_cast<uint32_t>(mt9::kReadModeMirrorH | mt9::kReadModeMirrorV);
        mode |= (horizontal ? mt9::kReadModeMirrorH : 0) | (vertical ? mt9::kReadModeMirrorV : 0);
        return writeSensorRegister(mt9::kReadMode, mode) != 0;
    }
    case RegisterPath::Bridge:
        return writeSensorRegister(bridge::kMirror, bits) != 0;
    case RegisterPath::FpgaBytes:
        return writeFpga(fpgahead::kMirror, bits);
    case RegisterPath::Request32:
        return false;
    }
    return false;
}

double FamilySensor::linePeriod() const {
    const SensorDescriptor& d = descriptor_;
    return d.clockKHz > 0 ? d.lineLength * 10.0 / d.clockKHz : 0.0;
}

int FamilySensor::SetExposureLines(int lines) {
    if (!controller_) return 0;
    const ValueRange& r = descriptor_.exposureLines;
    const int clamped = std::clamp(lines, r.minimum, r.maximum);
    if (!writeExposureLines(clamped)) return 0;
    descriptor_.exposureLines.current = clamped;
    return 1;
}

int FamilySensor::GetExposureLines(int* v) { return putValue(v, descriptor_.exposureLines.current); }
int FamilySensor::GetExposureLinesMin(int* v) { return putValue(v, descriptor_.exposureLines.minimum); }
int FamilySensor::GetExposureLinesMax(int* v) { return putValue(v, descriptor_.exposureLines.maximum); }
int FamilySensor::GetExposureLinesDefault(int* v) { return putValue(v, descriptor_.exposureLines.defaultValue); }

int FamilySensor::SetGlobalGain(int gain) {
    if (!controller_) return 0;
    if (!writeGain(gain)) return 0;
    descriptor_.globalGain.current = gain;
    return 1;
}

int FamilySensor::GetGlobalGain(int* v) { return putValue(v, descriptor_.globalGain.current); }
int FamilySensor::GetGlobalGainMin(int* v) { return putValue(v, descriptor_.globalGain.minimum); }
int FamilySensor::GetGlobalGainMax(int* v) { return putValue(v, descriptor_.globalGain.maximum); }
int FamilySensor::GetGlobalGainDefault(int* v) { return putValue(v, descriptor_.globalGain.defaultValue); }

int FamilySensor::SetExposureTime(uint32_t t) {
    const double period = linePeriod();
    if (t == 0 || period <= 0.0 || !controller_) return 0;
    const int32_t maxLines = descriptor_.exposureLines.maximum;
    double lines = std::floor(t / period);
    uint32_t stored = t;
    if (lines < 1.0) lines = 1.0;
    if (lines > maxLines) {
        lines = maxLines;
        stored = static_cast<uint32_t>(maxLines * period);
    }
    if (!SetExposureLines(static_cast<int>(lines))) return 0;
    descriptor_.exposureTime.current = static_cast<int32_t>(std::min<uint32_t>(stored, INT32_MAX));
    if (descriptor_.exposureTimeExAvailable) descriptor_.exposureTimeEx = stored / kTenthsOfMsPerSecond;
    return 1;
}

int FamilySensor::applyExposureSeconds(double seconds) {
    const SensorDescriptor& d = descriptor_;
    const double period = linePeriod();
    if (!controller_ || !d.exposureTimeExAvailable || period <= 0.0 || !std::isfinite(seconds)) return 0;
    const double s = std::clamp(seconds, d.exposureTimeExMin, d.exposureTimeExMax);
    const double lines = std::clamp(std::floor(s * kTenthsOfMsPerSecond / period), 1.0,
                                    static_cast<double>(d.exposureLines.maximum));
    if (!SetExposureLines(static_cast<int>(lines))) return 0;
    descriptor_.exposureTimeEx = s;
    descriptor_.exposureTime.current = static_cast<int32_t>(s * kTenthsOfMsPerSecond);
    return 1;
}

int FamilySensor::GetExposureTime(int* v) { return putValue(v, descriptor_.exposureTime.current); }
int FamilySensor::GetExposureTimeMin(int* v) { return putValue(v, descriptor_.exposureTime.minimum); }
int FamilySensor::GetExposureTimeMax(int* v) { return putValue(v, descriptor_.exposureTime.maximum); }
int FamilySensor::GetExposureTimeDefault(int* v) { return putValue(v, descriptor_.exposureTime.defaultValue); }

int FamilySensor::SetMirrorV(int on) {
    if (!controller_ || !writeMirror(descriptor_.mirrorH != 0, on != 0)) return 0;
    descriptor_.mirrorV = on != 0 ? 1 : 0;
    return 1;
}

int FamilySensor::SetMirrorH(int on) {
    if (!controller_ || !writeMirror(on != 0, descriptor_.mirrorV != 0)) return 0;
    descriptor_.mirrorH = on != 0 ? 1 : 0;
    return 1;
}

int FamilySensor::GetMirrorV(int* on) { return putValue(on, descriptor_.mirrorV); }
int FamilySensor::GetMirrorH(int* on) { return putValue(on, descriptor_.mirrorH); }

// ---- register paths ----

int FamilySensor::writeSensorRegister(uint32_t address, uint32_t value) {
    if (!controller_) return 0;
    switch (path_) {
    case RegisterPath::Mt9I2c:
        return mt9Write(static_cast<uint16_t>(address), static_cast<uint16_t>(value));
    case RegisterPath::Bridge:
        return bridgeWrite(static_cast<uint16_t>(address), static_cast<uint8_t>(value));
    case RegisterPath::FpgaBytes:
        return controller_->WriteFpgaRegister(static_cast<uint8_t>(address), static_cast<uint8_t>(value));
    case RegisterPath::Request32:
        return controller_->WriteSensorRegister32(static_cast<uint16_t>(address), value);
    }
    return 0;
}

int FamilySensor::readSensorRegister(uint32_t address, uint32_t* value) {
    if (!controller_ || value == nullptr) return 0;
    switch (path_) {
    case RegisterPath::Mt9I2c:
        return mt9Read(static_cast<uint16_t>(address), value);
    case RegisterPath::Bridge:
        return bridgeRead(static_cast<uint16_t>(address), value);
    case RegisterPath::FpgaBytes: {
        uint8_t byte = 0;
        if (!controller_->ReadFpgaRegister(static_cast<uint8_t>(address), &byte)) return 0;
        *value = byte;
        return 1;
    }
    case RegisterPath::Request32:
        return controller_->ReadSensorRegister16(static_cast<uint16_t>(address), value);
    }
    return 0;
}

int FamilySensor::mt9Write(uint16_t address, uint16_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                              static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    platform::MutexLock lock(serialLock_);
    return controller_->I2cWrite(serialAddress_, bytes, 4, kI2cTimeoutMs);
}

int FamilySensor::mt9Read(uint16_t address, uint32_t* value) {
    const uint8_t pointer[2] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    uint8_t reply[2] = {0, 0};
    platform::MutexLock lock(serialLock_);
    if (!controller_->I2cWrite(serialAddress_, pointer, 2, kI2cTimeoutMs)) return 0;
    if (!controller_->I2cRead(static_cast<uint8_t>(serialAddress_ | 1), reply, 2, kI2cTimeoutMs)) return 0;
    *value = static_cast<uint32_t>((reply[0] << 8) | reply[1]);
    return 1;
}

int FamilySensor::bridgeWrite(uint16_t address, uint8_t value) {
    const uint8_t bytes[3] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), value};
    platform::MutexLock lock(serialLock_);
    platform::sleepMs(kBridgeWritePauseMs);
    return controller_->I2cWrite(serialAddress_, bytes, 3, kI2cTimeoutMs);
}

int FamilySensor::bridgeRead(uint16_t address, uint32_t* value) {
    const uint8_t pointer[2] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    uint8_t reply = 0;
    platform::MutexLock lock(serialLock_);
    if (!controller_->I2cWrite(serialAddress_, pointer, 2, kI2cTimeoutMs)) return 0;
    if (!controller_->I2cRead(static_cast<uint8_t>(serialAddress_ | 1), &reply, 1, kI2cTimeoutMs)) return 0;
    *value = reply;
    return 1;
}

bool FamilySensor::writeWide(uint32_t address, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        const uint8_t byte = static_cast<uint8_t>(value >> (8 * i));
        const int ok = path_ == RegisterPath::FpgaBytes ? writeFpga(static_cast<uint8_t>(address + i), byte)
                                                        : writeSensorRegister(address + static_cast<uint32_t>(i), byte);
        if (!ok) return false;
    }
    return true;
}

bool FamilySensor::readWide(uint32_t address, uint32_t* value, int bytes) {
    uint32_t result = 0;
    for (int i = 0; i < bytes; ++i) {
        uint32_t byte = 0;
        if (path_ == RegisterPath::FpgaBytes) {
            uint8_t b = 0;
            if (!readFpga(static_cast<uint8_t>(address + i), &b)) return false;
            byte = b;
        } else if (!readSensorRegister(address + static_cast<uint32_t>(i), &byte)) {
            return false;
        }
        result |= (byte & 0xFF) << (8 * i);
    }
    *value = result;
    return true;
}

bool FamilySensor::writeFpga(uint8_t reg, uint8_t value) {
    return controller_ && controller_->WriteFpgaRegister(reg, value) != 0;
}

bool FamilySensor::readFpga(uint8_t reg, uint8_t* value) {
    return controller_ && controller_->ReadFpgaRegister(reg, value) != 0;
}

bool FamilySensor::waitSensorIdle(int tries, uint32_t pauseMs) {
    for (int i = 0; i < tries; ++i) {
        uint8_t busy = 1;
        if (readFpga(kFpgaIdleRegister, &busy) && busy == 0) return true;
        platform::sleepMs(pauseMs);
    }
    return false;
}

} // namespace lumvek
