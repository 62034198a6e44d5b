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
auto valueOf(Getter getter) {
    return [getter](CSensorBase& sensor) {
        int value = 0;
        return (sensor.*getter)(&value) ? value : 0;
    };
}
} // namespace

int CLumvekU3K7Base::GetFreeWidthFlag() {
    return withSensor([&](CSensorBase& s) { return s.descriptor().windowAdjustH; });
}
int CLumvekU3K7Base::GetFreeHeightFlag() {
    return withSensor([&](CSensorBase& s) { return s.descriptor().windowAdjustV; });
}
int CLumvekU3K7Base::GetFullWidth() {
    return withSensor([&](CSensorBase& s) { return s.descriptor().maxWidth; });
}
int CLumvekU3K7Base::GetFullHeight() {
    return withSensor([&](CSensorBase& s) { return s.descriptor().maxHeight; });
}

int CLumvekU3K7Base::SetMirrorH(int on) {
    return withSensor([&](CSensorBase& s) { return s.SetMirrorH(on); });
}
int CLumvekU3K7Base::SetMirrorV(int on) {
    return withSensor([&](CSensorBase& s) { return s.SetMirrorV(on); });
}
int CLumvekU3K7Base::GetMirrorH() {
    return withSensor(valueOf(&CSensorBase::GetMirrorH));
}
int CLumvekU3K7Base::GetMirrorV() {
    return withSensor(valueOf(&CSensorBase::GetMirrorV));
}
int CLumvekU3K7Base::IsMirrorHInSensor() {
    return withSensor([&](CSensorBase& s) { return s.IsMirrorHInSensor(); });
}
int CLumvekU3K7Base::IsMirrorVInSensor() {
    return withSensor([&](CSensorBase& s) { return s.IsMirrorVInSensor(); });
}

int CLumvekU3K7Base::SetGlobalGain(int gain) {
    return withSensor([&](CSensorBase& s) { return s.SetGlobalGain(gain); });
}
int CLumvekU3K7Base::GetGlobalGain() {
    return withSensor(valueOf(&CSensorBase::GetGlobalGain));
}
int CLumvekU3K7Base::GetGlobalGainMin() {
    return withSensor(valueOf(&CSensorBase::GetGlobalGainMin));
}
int CLumvekU3K7Base::GetGlobalGainMax() {
    return withSensor(valueOf(&CSensorBase::GetGlobalGainMax));
}
int CLumvekU3K7Base::GetGlobalGainDefault() {
    return withSensor(valueOf(&CSensorBase::GetGlobalGainDefault));
}

int CLumvekU3K7Base::SetColorGainRed(int value) {
    return withSensor([&](CSensorBase& s) { return s.SetColorGainRed(value); });
}
int CLumvekU3K7Base::SetColorGainGreen1(int value) {
    return withSensor([&](CSensorBase& s) { return s.SetColorGainGreen1(value); });
}
int CLumvekU3K7Base::SetColorGainGreen2(int value) {
    return withSensor([&](CSensorBase& s) { return s.SetColorGainGreen2(value); });
}
int CLumvekU3K7Base::SetColorGainBlue(int value) {
    return withSensor([&](CSensorBase& s) { return s.SetColorGainBlue(value); });
}
int CLumvekU3K7Base::GetColorGainRed() {
    return withSensor(valueOf(&CSensorBase::GetColorGainRed));
}
int CLumvekU3K7Base::GetColorGainGreen1() {
    return withSensor(valueOf(&CSensorBase::GetColorGainGreen1));
}
int CLumvekU3K7Base::GetColorGainGreen2() {
    return withSensor(valueOf(&CSensorBase::GetColorGainGreen2));
}
int CLumvekU3K7Base::GetColorGainBlue() {
    return withSensor(valueOf(&CSensorBase::GetColorGainBlue));
}
int CLumvekU3K7Base::GetColorGainMin() {
    return withSensor(valueOf(&CSensorBase::GetColorGainMin));
}
int CLumvekU3K7Base::GetColorGainMax() {
    return withSensor(valueOf(&CSensorBase::GetColorGainMax));
}
int CLumvekU3K7Base::GetColorGainDefault() {
    return withSensor(valueOf(&CSensorBase::GetColorGainDefault));
}

int CLumvekU3K7Base::SetExposure(int value) {
    (void)SetFrameTimeout(value <= kLongExposureThreshold ? kDefaultFrameTimeoutMs : value / kLongExposureDivisor);
    if (row().exposureBetweenFrames) {
        deferredExposureValue_ = value;
        deferredExposurePending_ = 1;
        return 1;
    }
    return withSensor([&](CSensorBase& s) { return s.SetExposureTime(static_cast<uint32_t>(value)); });
}
int CLumvekU3K7Base::GetExposure() {
    return withSensor(valueOf(&CSensorBase::GetExposureTime));
}
int CLumvekU3K7Base::GetExposureMin() {
    return withSensor(valueOf(&CSensorBase::GetExposureTimeMin));
}
int CLumvekU3K7Base::GetExposureMax() {
    return withSensor(valueOf(&CSensorBase::GetExposureTimeMax));
}
int CLumvekU3K7Base::GetExposureDefault() {
    return withSensor(valueOf(&CSensorBase::GetExposureTimeDefault));
}
int CLumvekU3K7Base::IsExposureTimeExAvailable() {
    return withSensor([&](CSensorBase& s) { return s.IsExposureTimeExAvailable(); });
}
int CLumvekU3K7Base::SetExposureSeconds(double seconds) {
    if (seconds > kSecondsTimeoutThreshold) {
        (void)SetFrameTimeout(static_cast<int>((seconds + 1.0) * 1000.0));
    }
    return withSensor([&](CSensorBase& s) { return s.SetExposureTimeEx(seconds); });
}
int CLumvekU3K7Base::GetExposureTimeEx(double* seconds) {
    return withSensor([&](CSensorBase& s) { return s.GetExposureTimeEx(seconds); });
}
int CLumvekU3K7Base::GetExposureTimeExMin(double* seconds) {
    return withSensor([&](CSensorBase& s) { return s.GetExposureTimeExMin(seconds); });
}
int CLumvekU3K7Base::GetExposureTimeExMax(double* seconds) {
    return withSensor([&](CSensorBase& s) { return s.GetExposureTimeExMax(seconds); });
}
int CLumvekU3K7Base::GetExposureTimeExDefault(double* seconds) {
    return withSensor([&](CSensorBase& s) { return s.GetExposureTimeExDefault(seconds); });
}

int CLumvekU3K7Base::SetChannelGain(int channel, int value) {
    return withSensor([&](CSensorBase& s) { return s.SetChannelGain(channel, value); });
}
int CLumvekU3K7Base::GetChannelGain(int channel, int* value) {
    return withSensor([&](CSensorBase& s) { return s.GetChannelGain(channel, value); });
}
int CLumvekU3K7Base::GetChannelGainMin() {
    return withSensor(valueOf(&CSensorBase::GetChannelGainMin));
}
int CLumvekU3K7Base::GetChannelGainMax() {
    return withSensor(valueOf(&CSensorBase::GetChannelGainMax));
}
int CLumvekU3K7Base::SetChannelOffset(int channel, int value) {
    return withSensor([&](CSensorBase& s) { return s.SetChannelOffset(channel, value); });
}
int CLumvekU3K7Base::GetChannelOffset(int channel, int* value) {
    return withSensor([&](CSensorBase& s) { return s.GetChannelOffset(channel, value); });
}
int CLumvekU3K7Base::GetChannelOffsetMin() {
    return withSensor(valueOf(&CSensorBase::GetChannelOffsetMin));
}
int CLumvekU3K7Base::GetChannelOffsetMax() {
    return withSensor(valueOf(&CSensorBase::GetChannelOffsetMax));
}

int CLumvekU3K7Base::IsBlackLevelAvailable() {
    return withSensor([&](CSensorBase& s) { return s.IsBlackLevelAvailable(); });
}
int CLumvekU3K7Base::SetBlackLevel(int value) {
    return withSensor([&](CSensorBase& s) { return s.SetBlackLevel(value); });
}
int CLumvekU3K7Base::GetBlackLevel(int* value) {
    return withSensor([&](CSensorBase& s) { return s.GetBlackLevel(value); });
}
int CLumvekU3K7Base::GetBlackLevelDefault(int* value) {
    return withSensor([&](CSensorBase& s) { return s.GetBlackLevelDefault(value); });
}
int CLumvekU3K7Base::GetChannelGainDefault(int* value) {
    return withSensor([&](CSensorBase& s) { return s.GetChannelGainDefault(value); });
}
int CLumvekU3K7Base::GetChannelOffsetDefault(int* value) {
    return withSensor([&](CSensorBase& s) { return s.GetChannelOffsetDefault(value); });
}

int CLumvekU3K7Base::IsCoolingSupported() {
    platform::MutexLock hold(lock_);
    platform::MutexLock driver(driverLock_);
    return isProductCoolingSupported(row(), *this);
}
int CLumvekU3K7Base::GetCooling() {
    platform::MutexLock hold(lock_);
    platform::MutexLock driver(driverLock_);
    return getProductCooling(row(), *this);
}
int CLumvekU3K7Base::SetCooling(int on) {
    platform::MutexLock hold(lock_);
    platform::MutexLock driver(driverLock_);
    return setProductCooling(row(), *this, on);
}
int CLumvekU3K7Base::IsTemperatureAvailable() {
    return withSensor([&](CSensorBase& s) { return s.IsTemperatureAvailable(); });
}
int CLumvekU3K7Base::GetTemperature(double* celsius) {
    return withSensor([&](CSensorBase& s) { return s.GetTemperature(celsius); });
}
int CLumvekU3K7Base::IsShortExposureModeAvailable() {
    return withSensor([&](CSensorBase& s) { return s.IsShortExposureModeAvailable(); });
}
int CLumvekU3K7Base::GetShortExposureMode(int* on) {
    return withSensor([&](CSensorBase& s) { return s.GetShortExposureMode(on); });
}
int CLumvekU3K7Base::SetShortExposureMode(int on) {
    return withSensor([&](CSensorBase& s) { return s.SetShortExposureMode(on); });
}
int CLumvekU3K7Base::IsGainModeAvailable() {
    return withSensor([&](CSensorBase& s) { return s.IsGainModeAvailable(); });
}
int CLumvekU3K7Base::GetGainMode() {
    return withSensor([&](CSensorBase& s) { return s.GetGainMode(); }, -1);
}
int CLumvekU3K7Base::SetGainMode(int mode) {
    return withSensor([&](CSensorBase& s) { return s.SetGainMode(mode); });
}
int CLumvekU3K7Base::IsExtUnitAvailable() {
    return withSensor([&](CSensorBase& s) { return s.IsExtUnitAvailable(); });
}
int CLumvekU3K7Base::SetExtUnitMode(int mode) {
    return withSensor([&](CSensorBase& s) { return s.SetExtUnitMode(mode); });
}
int CLumvekU3K7Base::RestartSensorStream() {
    return withSensor([](CSensorBase& s) {
        s.RestartSensorStream();
        return 1;
    });
}

int CLumvekU3K7Base::ReceiveText(char* buffer, int length) {
    if (!row().textLink || buffer == nullptr || length < 0) {
        return 0;
    }
    return withSensor([&](CSensorBase& s) {
        char received[kTextChannelBytes] = {};
        const int count = std::clamp(s.ReceiveText(received, kTextChannelBytes), 0, kTextChannelBytes);
        std::memcpy(buffer, received, static_cast<size_t>(std::min(length, count)));
        return count;
    });
}

int CLumvekU3K7Base::SendText(const char* text, int length) {
    if (!row().textLink || text == nullptr || length < 0) {
        return 0;
    }
    std::string withTerminator(text, static_cast<size_t>(length));
    return withSensor([&](CSensorBase& s) { return s.SendText(withTerminator.c_str(), length + 1); });
}

int CLumvekU3K7Base::SetSamplingRate(int /*index*/, int mode, int* value) {
    if (value == nullptr) {
        return 0;
    }
    return withSensor([&](CSensorBase& s) {
        uint8_t registerAndValue[2] = {static_cast<uint8_t>(*value & 0xFF),
                                       static_cast<uint8_t>((*value >> 8) & 0xFF)};
        const int result = s.AccessSubRegister(mode, registerAndValue);
        *value = registerAndValue[0] | (registerAndValue[1] << 8) | (*value & ~0xFFFF);
        return result;
    });
}

} // namespace lumvek
