// lumvek::Camera: the operations, each a call of the camera device object
// with its result turned into an error code.
#include <algorithm>
#include <new>

#include "camera/product_table.h"
#include "camera/window_rule.h"
#include "imaging/colour/bayer_pattern.h"
#include "sensors/family/family_sensor.h"
#include "cxxapi/camera_impl.h"
#include "sensors/sensor_base.h"

namespace lumvek {
namespace {

constexpr int kOneFrame = 1;
constexpr int kContinuous = 0;
constexpr int kWaitFailed = 1;
constexpr int kWaitNewFrame = 3;
[[maybe_unused]] constexpr int kTopDown = 1;
constexpr int kTextBytes = 256;

bool inRange(int value, int minimum, int maximum) { return value >= minimum && value <= maximum; }

} // namespace

int Camera::productId() const noexcept { return impl_->productId; }
int Camera::deviceNumber() const noexcept { return impl_->deviceNumber; }
const std::string& Camera::id() const noexcept { return impl_->id; }

CameraInfo Camera::info() const noexcept {
    CLumvekUSB3K7SimpleSdk& d = *impl_->device;
    CameraInfo info;
    info.productId = impl_->productId;
    info.fullWidth = d.GetFullWidth();
    info.fullHeight = d.GetFullHeight();
    info.windowAdjustable = d.GetFreeWidthFlag() != 0 || d.GetFreeHeightFlag() != 0;
    info.gainMin = d.GetGlobalGainMin();
    info.gainMax = d.GetGlobalGainMax();
    info.gainDefault = d.GetGlobalGainDefault();
    info.exposureMin = d.GetExposureMin();
    info.exposureMax = d.GetExposureMax();
    info.exposureDefault = d.GetExposureDefault();
    info.exposureSecondsAvailable = d.IsExposureTimeExAvailable() != 0;
    (void)d.GetExposureTimeExMin(&info.exposureSecondsMin);
    (void)d.GetExposureTimeExMax(&info.exposureSecondsMax);
    info.blackLevelAvailable = d.IsBlackLevelAvailable() != 0;
    (void)d.GetBlackLevelMin(&info.blackLevelMin);
    (void)d.GetBlackLevelMax(&info.blackLevelMax);
    info.coolingAvailable = d.IsCoolingSupported() != 0 || (impl_->sensor() && impl_->sensor()->IsCoolingAvailable());
    info.temperatureAvailable = d.IsTemperatureAvailable() != 0;
    info.textLink = productRow(impl_->productId).textLink;
    info.clockKHz = impl_->sensor() ? impl_->sensor()->descriptor().clockKHz : 0;
    return info;
}

namespace {

// The sensor's filter at its first pixel: B G / G R, the Bayer mode the
// library's interpolation assumes unless told otherwise.
constexpr int kSensorBayerMode = 2;

WindowLimits windowLimitsOf(Camera::Impl& impl) {
    CLumvekUSB3K7SimpleSdk& d = *impl.device;
    WindowLimits limits;
    limits.fullWidth = d.GetFullWidth();
    limits.fullHeight = d.GetFullHeight();
    limits.freeWidth = d.GetFreeWidthFlag() != 0;
    limits.freeHeight = d.GetFreeHeightFlag() != 0;
    if (dynamic_cast<FamilySensor*>(impl.sensor()) != nullptr) {
        if (limits.freeWidth) limits.minWidth = FamilySensor::kMinWindowWidth;
        if (limits.freeWidth || limits.freeHeight) limits.maxSubSample = FamilySensor::kMaxSubSampleMode;
    }
    return limits;
}

} // namespace

std::string Camera::windowProblem(const Window& w) const noexcept {
    try {
        return windowRuleProblem(windowLimitsOf(*impl_), {w.x, w.y, w.width, w.height, w.subSample});
    } catch (const std::bad_alloc&) {
        return {};
    }
}

Error Camera::setWindow(const Window& w) noexcept {
    std::string reason;
    return setWindow(w, reason);
}

Error Camera::setWindow(const Window& w, std::string& reason) noexcept {
    try {
        const WindowLimits limits = windowLimitsOf(*impl_);
        reason = windowRuleProblem(limits, {w.x, w.y, w.width, w.height, w.subSample});
        if (!reason.empty()) return Error::InvalidArgument;
        CLumvekUSB3K7SimpleSdk& d = *impl_->device;
        if (!d.SetCaptureWindow(w.x, w.y, w.width, w.height, w.subSample)) {
            reason = "the camera refused the capture window " + std::to_string(w.width) + " x " +
                     std::to_string(w.height) + " at (" + std::to_string(w.x) + ", " + std::to_string(w.y) +
                     "); accepted: " + acceptedWindows(limits);
            return Error::Failed;
        }
    } catch (const std::bad_alloc&) {
        return Error::OutOfMemory;
    }
    CLumvekUSB3K7SimpleSdk& d = *impl_->device;
    return resultOf(d.UpdateFrameGeometry() || d.frameByteCount() > 0, Error::OutOfMemory);
}

BayerOrder Camera::bayerOrder() const noexcept {
    if (productRow(impl_->productId).frameSizeFactor == 3) return BayerOrder::None;
    CLumvekUSB3K7SimpleSdk& d = *impl_->device;
    return static_cast<BayerOrder>(effectiveBayerMode(kSensorBayerMode, d.GetMirrorV() != 0, d.GetMirrorH() != 0));
}

Window Camera::window() const noexcept {
    Window w;
    (void)impl_->device->GetCaptureWindow(&w.x, &w.y, &w.width, &w.height, &w.subSample);
    return w;
}

Error Camera::setSixteenBit(bool sixteen) noexcept {
    if (!impl_->device->SetColorMode(sixteen ? 1 : 0)) return Error::Failed;
    impl_->sixteenBit = sixteen;
    return Error::None;
}

size_t Camera::frameBytes() const noexcept { return static_cast<size_t>(std::max(impl_->device->frameByteCount(), 0)); }

Error Camera::setExposure(int tenthsOfMs) noexcept {
    CLumvekUSB3K7SimpleSdk& d = *impl_->device;
    if (!inRange(tenthsOfMs, std::max(d.GetExposureMin(), 1), d.GetExposureMax())) return Error::InvalidArgument;
    return resultOf(d.SetExposure(tenthsOfMs));
}

Error Camera::exposure(int& tenthsOfMs) const noexcept {
    tenthsOfMs = impl_->device->GetExposure();
    return Error::None;
}

Error Camera::setExposureSeconds(double seconds) noexcept {
    CLumvekUSB3K7SimpleSdk& d = *impl_->device;
    if (!d.IsExposureTimeExAvailable()) return Error::Unsupported;
    if (!(seconds > 0.0)) return Error::InvalidArgument;
    return resultOf(d.SetExposureSeconds(seconds));
}

Error Camera::exposureSeconds(double& seconds) const noexcept {
    return resultOf(impl_->device->GetExposureTimeEx(&seconds), Error::Unsupported);
}

Error Camera::setGain(int gain) noexcept {
    CLumvekUSB3K7SimpleSdk& d = *impl_->device;
    if (!inRange(gain, d.GetGlobalGainMin(), d.GetGlobalGainMax())) return Error::InvalidArgument;
    return resultOf(d.SetGlobalGain(gain));
}

Error Camera::gain(int& gain) const noexcept {
    gain = impl_->device->GetGlobalGain();
    return Error::None;
}

Error Camera::setBlackLevel(int level) noexcept {
    CLumvekUSB3K7SimpleSdk& d = *impl_->device;
    if (!d.IsBlackLevelAvailable()) return Error::Unsupported;
    int minimum = 0;
    int maximum = 0;
    (void)d.GetBlackLevelMin(&minimum);
    (void)d.GetBlackLevelMax(&maximum);
    if (!inRange(level, minimum, maximum)) return Error::InvalidArgument;
    return resultOf(d.SetBlackLevel(level));
}

Error Camera::blackLevel(int& level) const noexcept {
    return resultOf(impl_->device->GetBlackLevel(&level), Error::Unsupported);
}

Error Camera::setMirror(bool horizontal, bool vertical) noexcept {
    CLumvekUSB3K7SimpleSdk& d = *impl_->device;
    if (!d.SetMirrorH(horizontal ? 1 : 0)) return Error::Unsupported;
    return resultOf(d.SetMirrorV(vertical ? 1 : 0), Error::Unsupported);
}

Error Camera::mirror(bool& horizontal, bool& vertical) const noexcept {
    horizontal = impl_->device->GetMirrorH() != 0;
    vertical = impl_->device->GetMirrorV() != 0;
    return Error::None;
}

Error Camera::setTriggerMode(int mode) noexcept {
    if (mode < 0) return Error::InvalidArgument;
    return resultOf(impl_->device->SetTriggerMode(mode, 0));
}

Error Camera::setCooling(bool on) noexcept {
    CLumvekUSB3K7SimpleSdk& d = *impl_->device;
    if (d.IsCoolingSupported()) return resultOf(d.SetCooling(on ? 1 : 0));
    CSensorBase* s = impl_->sensor();
    if (!s || !s->IsCoolingAvailable()) return Error::Unsupported;
    return resultOf(s->SetCooling(on ? 1 : 0));
}

Error Camera::cooling(bool& on) const noexcept {
    CLumvekUSB3K7SimpleSdk& d = *impl_->device;
    if (d.IsCoolingSupported()) {
        on = d.GetCooling() > 0;
        return Error::None;
    }
    CSensorBase* s = impl_->sensor();
    if (!s || !s->IsCoolingAvailable()) return Error::Unsupported;
    on = s->GetCooling() > 0;
    return Error::None;
}

Error Camera::temperature(double& celsius) const noexcept {
    CLumvekUSB3K7SimpleSdk& d = *impl_->device;
    if (!d.IsTemperatureAvailable()) return Error::Unsupported;
    return resultOf(d.GetTemperature(&celsius));
}

Error Camera::sendText(std::string_view text) noexcept {
    if (!productRow(impl_->productId).textLink) return Error::Unsupported;
    if (text.size() >= static_cast<size_t>(kTextBytes)) return Error::InvalidArgument;
    return resultOf(impl_->device->SendText(text.data(), static_cast<int>(text.size())));
}

Error Camera::receiveText(std::string& line) noexcept {
    if (!productRow(impl_->productId).textLink) return Error::Unsupported;
    char buffer[kTextBytes];
    const int count = impl_->device->ReceiveText(buffer, kTextBytes);
    try {
        line.assign(buffer, static_cast<size_t>(std::clamp(count, 0, kTextBytes)));
    } catch (const std::bad_alloc&) {
        return Error::OutOfMemory;
    }
    return Error::None;
}

Error Camera::writeRegister(uint32_t address, uint32_t value) noexcept {
    return resultOf(impl_->device->WriteRegister(0, static_cast<int>(address), static_cast<int>(value)));
}

Error Camera::readRegister(uint32_t address, uint32_t& value) const noexcept {
    int ok = 0;
    const int v = impl_->device->ReadRegister(0, static_cast<int>(address), &ok);
    if (!ok) return Error::Failed;
    value = static_cast<uint32_t>(v);
    return Error::None;
}

Error Camera::writeFpgaRegister(uint8_t reg, uint8_t value) noexcept {
    return resultOf(impl_->device->WriteFpgaRegister(reg, value));
}

Error Camera::readFpgaRegister(uint8_t reg, uint8_t& value) const noexcept {
    int ok = 0;
    const int v = impl_->device->ReadFpgaRegister(reg, &ok);
    if (!ok) return Error::Failed;
    value = static_cast<uint8_t>(v);
    return Error::None;
}

Error Camera::start(bool continuous) noexcept {
    return resultOf(impl_->device->StartAcquisition(continuous ? kContinuous : kOneFrame));
}

Error Camera::stop() noexcept { return resultOf(impl_->device->StopAcquisition()); }

Error Camera::waitFrame(int timeoutMs) noexcept {
    if (timeoutMs < 0) return Error::InvalidArgument;
    const int result = impl_->device->WaitFrame(timeoutMs);
    if (result == kWaitNewFrame) return Error::None;
    return result == kWaitFailed ? Error::Failed : Error::Timeout;
}

Error Camera::copyFrame(uint8_t* buffer, size_t capacity, size_t& written) noexcept {
    written = 0;
    if (buffer == nullptr) return Error::InvalidArgument;
    const size_t bytes = frameBytes();
    if (bytes == 0) return Error::Failed;
    if (capacity < bytes) return Error::BufferTooSmall;
    FrameMetadata unused;
    return copyFrame(buffer, capacity, written, unused);
}

Error Camera::snap(uint8_t* buffer, size_t capacity, size_t& written, int timeoutMs) noexcept {
    FrameMetadata unused;
    return snap(buffer, capacity, written, timeoutMs, unused);
}

} // namespace lumvek
