// CLumvekU3K7Base: the operations forwarded to the sensor driver, with the
// few the device object adds to (exposure time-outs, the deferred exposure
// of the product whose sensor is reprogrammed between frames, cooling).
#include "camera/lumvek_u3k7_base.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "camera/product_step_runner.h"
#include "camera/product_table.h"
#include "sensors/sensor_base.h"

namespace lumvek {

namespace {
constexpr int kLongExposureThreshold = 50000;  // 0.1 ms units: 5 s
constexpr int kLongExposureDivisor = 5;
constexpr double kSecondsTimeoutThreshold = 2.0;
constexpr int kTextChannelBytes = 256;

// A forwarded getter of the form int Get(int*): the value, 0 on failure.
template <class Getter>
int valueOrZero(CSensorBase* sensor, Getter getter) {
    if (sensor == nullptr) {
        return 0;
    }
    int value = 0;
    return (sensor->*getter)(&value) ? value : 0;
}
} // namespace

int CLumvekU3K7Base::GetFreeWidthFlag() {
    return sensor_ ? sensor_->descriptor().windowAdjustH : 0;
}
int CLumvekU3K7Base::GetFreeHeightFlag() {
    return sensor_ ? sensor_->descriptor().windowAdjustV : 0;
}
int CLumvekU3K7Base::GetFullWidth() {
    return sensor_ ? sensor_->descriptor().maxWidth : 0;
}
int CLumvekU3K7Base::GetFullHeight() {
    return sensor_ ? sensor_->descriptor().maxHeight : 0;
}

int CLumvekU3K7Base::SetMirrorH(int on) {
    return sensor_ ? sensor_->SetMirrorH(on) : 0;
}
int CLumvekU3K7Base::SetMirrorV(int on) {
    return sensor_ ? sensor_->SetMirrorV(on) : 0;
}
int CLumvekU3K7Base::GetMirrorH() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetMirrorH);
}
int CLumvekU3K7Base::GetMirrorV() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetMirrorV);
}
int CLumvekU3K7Base::IsMirrorHInSensor() {
    return sensor_ ? sensor_->IsMirrorHInSensor() : 0;
}
int CLumvekU3K7Base::IsMirrorVInSensor() {
    return sensor_ ? sensor_->IsMirrorVInSensor() : 0;
}

int CLumvekU3K7Base::SetGlobalGain(int gain) {
    return sensor_ ? sensor_->SetGlobalGain(gain) : 0;
}
int CLumvekU3K7Base::GetGlobalGain() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetGlobalGain);
}
int CLumvekU3K7Base::GetGlobalGainMin() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetGlobalGainMin);
}
int CLumvekU3K7Base::GetGlobalGainMax() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetGlobalGainMax);
}
int CLumvekU3K7Base::GetGlobalGainDefault() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetGlobalGainDefault);
}

int CLumvekU3K7Base::SetColorGainRed(int value) {
    return sensor_ ? sensor_->SetColorGainRed(value) : 0;
}
int CLumvekU3K7Base::SetColorGainGreen1(int value) {
    return sensor_ ? sensor_->SetColorGainGreen1(value) : 0;
}
int CLumvekU3K7Base::SetColorGainGreen2(int value) {
    return sensor_ ? sensor_->SetColorGainGreen2(value) : 0;
}
int CLumvekU3K7Base::SetColorGainBlue(int value) {
    return sensor_ ? sensor_->SetColorGainBlue(value) : 0;
}
int CLumvekU3K7Base::GetColorGainRed() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetColorGainRed);
}
int CLumvekU3K7Base::GetColorGainGreen1() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetColorGainGreen1);
}
int CLumvekU3K7Base::GetColorGainGreen2() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetColorGainGreen2);
}
int CLumvekU3K7Base::GetColorGainBlue() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetColorGainBlue);
}
int CLumvekU3K7Base::GetColorGainMin() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetColorGainMin);
}
int CLumvekU3K7Base::GetColorGainMax() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetColorGainMax);
}
int CLumvekU3K7Base::GetColorGainDefault() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetColorGainDefault);
}

int CLumvekU3K7Base::SetExposure(int value) {
    (void)SetFrameTimeout(value <= kLongExposureThreshold ? kDefaultFrameTimeoutMs : value / kLongExposureDivisor);
    if (row().exposureBetweenFrames) {
        deferredExposureValue_ = value;
        deferredExposurePending_ = 1;
        return 1;
    }
    return sensor_ ? sensor_->SetExposureTime(static_cast<uint32_t>(value)) : 0;
}
int CLumvekU3K7Base::GetExposure() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetExposureTime);
}
int CLumvekU3K7Base::GetExposureMin() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetExposureTimeMin);
}
int CLumvekU3K7Base::GetExposureMax() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetExposureTimeMax);
}
int CLumvekU3K7Base::GetExposureDefault() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetExposureTimeDefault);
}
int CLumvekU3K7Base::IsExposureTimeExAvailable() {
    return sensor_ ? sensor_->IsExposureTimeExAvailable() : 0;
}
int CLumvekU3K7Base::SetExposureSeconds(double seconds) {
    if (seconds > kSecondsTimeoutThreshold) {
        (void)SetFrameTimeout(static_cast<int>((seconds + 1.0) * 1000.0));
    }
    return sensor_ ? sensor_->SetExposureTimeEx(seconds) : 0;
}
int CLumvekU3K7Base::GetExposureTimeEx(double* seconds) {
    return sensor_ ? sensor_->GetExposureTimeEx(seconds) : 0;
}
int CLumvekU3K7Base::GetExposureTimeExMin(double* seconds) {
    return sensor_ ? sensor_->GetExposureTimeExMin(seconds) : 0;
}
int CLumvekU3K7Base::GetExposureTimeExMax(double* seconds) {
    return sensor_ ? sensor_->GetExposureTimeExMax(seconds) : 0;
}
int CLumvekU3K7Base::GetExposureTimeExDefault(double* seconds) {
    return sensor_ ? sensor_->GetExposureTimeExDefault(seconds) : 0;
}

int CLumvekU3K7Base::SetChannelGain(int channel, int value) {
    return sensor_ ? sensor_->SetChannelGain(channel, value) : 0;
}
int CLumvekU3K7Base::GetChannelGain(int channel, int* value) {
    return sensor_ ? sensor_->GetChannelGain(channel, value) : 0;
}
int CLumvekU3K7Base::GetChannelGainMin() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetChannelGainMin);
}
int CLumvekU3K7Base::GetChannelGainMax() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetChannelGainMax);
}
int CLumvekU3K7Base::SetChannelOffset(int channel, int value) {
    return sensor_ ? sensor_->SetChannelOffset(channel, value) : 0;
}
int CLumvekU3K7Base::GetChannelOffset(int channel, int* value) {
    return sensor_ ? sensor_->GetChannelOffset(channel, value) : 0;
}
int CLumvekU3K7Base::GetChannelOffsetMin() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetChannelOffsetMin);
}
int CLumvekU3K7Base::GetChannelOffsetMax() {
    return valueOrZero(sensor_.get(), &CSensorBase::GetChannelOffsetMax);
}

int CLumvekU3K7Base::IsBlackLevelAvailable() {
    return sensor_ ? sensor_->IsBlackLevelAvailable() : 0;
}
int CLumvekU3K7Base::SetBlackLevel(int value) {
    return sensor_ ? sensor_->SetBlackLevel(value) : 0;
}
int CLumvekU3K7Base::GetBlackLevel(int* value) {
    return sensor_ ? sensor_->GetBlackLevel(value) : 0;
}
int CLumvekU3K7Base::GetBlackLevelDefault(int* value) {
    return sensor_ ? sensor_->GetBlackLevelDefault(value) : 0;
}
int CLumvekU3K7Base::GetChannelGainDefault(int* value) {
    return sensor_ ? sensor_->GetChannelGainDefault(value) : 0;
}
int CLumvekU3K7Base::GetChannelOffsetDefault(int* value) {
    return sensor_ ? sensor_->GetChannelOffsetDefault(value) : 0;
}

int CLumvekU3K7Base::IsCoolingSupported() {
    return isProductCoolingSupported(row(), *this);
}
int CLumvekU3K7Base::GetCooling() {
    return getProductCooling(row(), *this);
}
int CLumvekU3K7Base::SetCooling(int on) {
    return setProductCooling(row(), *this, on);
}
int CLumvekU3K7Base::IsTemperatureAvailable() {
    return sensor_ ? sensor_->IsTemperatureAvailable() : 0;
}
int CLumvekU3K7Base::GetTemperature(double* celsius) {
    return sensor_ ? sensor_->GetTemperature(celsius) : 0;
}
int CLumvekU3K7Base::IsShortExposureModeAvailable() {
    return sensor_ ? sensor_->IsShortExposureModeAvailable() : 0;
}
int CLumvekU3K7Base::GetShortExposureMode(int* on) {
    return sensor_ ? sensor_->GetShortExposureMode(on) : 0;
}
int CLumvekU3K7Base::SetShortExposureMode(int on) {
    return sensor_ ? sensor_->SetShortExposureMode(on) : 0;
}
int CLumvekU3K7Base::IsGainModeAvailable() {
    return sensor_ ? sensor_->IsGainModeAvailable() : 0;
}
int CLumvekU3K7Base::GetGainMode() {
    return sensor_ ? sensor_->GetGainMode() : -1;
}
int CLumvekU3K7Base::SetGainMode(int mode) {
    return sensor_ ? sensor_->SetGainMode(mode) : 0;
}
int CLumvekU3K7Base::IsExtUnitAvailable() {
    return sensor_ ? sensor_->IsExtUnitAvailable() : 0;
}
int CLumvekU3K7Base::SetExtUnitMode(int mode) {
    return sensor_ ? sensor_->SetExtUnitMode(mode) : 0;
}
int CLumvekU3K7Base::RestartSensorStream() {
    if (!sensor_) {
        return 0;
    }
    sensor_->RestartSensorStream();
    return 1;
}

int CLumvekU3K7Base::ReceiveText(char* buffer, int length) {
    if (!sensor_ || !row().textLink || buffer == nullptr || length < 0) {
        return 0;
    }
    char received[kTextChannelBytes] = {};
    const int count = std::clamp(sensor_->ReceiveText(received, kTextChannelBytes), 0, kTextChannelBytes);
    std::memcpy(buffer, received, static_cast<size_t>(std::min(length, count)));
    return count;
}

int CLumvekU3K7Base::SendText(const char* text, int length) {
    if (!sensor_ || !row().textLink || text == nullptr || length < 0) {
        return 0;
    }
    std::string withTerminator(text, static_cast<size_t>(length));
    return sensor_->SendText(withTerminator.c_str(), length + 1);
}

int CLumvekU3K7Base::SetSamplingRate(int /*index*/, int mode, int* value) {
    if (!sensor_ || value == nullptr) {
        return 0;
    }
    uint8_t registerAndValue[2] = {static_cast<uint8_t>(*value & 0xFF), static_cast<uint8_t>((*value >> 8) & 0xFF)};
    const int result = sensor_->AccessSubRegister(mode, registerAndValue);
    *value = registerAndValue[0] | (registerAndValue[1] << 8) | (*value & ~0xFFFF);
    return result;
}

} // namespace lumvek
