#include "sensors/family/sensor_r03.h"

#include <array>
#include <chrono>

#include "platform/sync/thread_annotations.h"
#include "sensors/family/family_registers.h"
#include "usb/controller_base.h"

namespace lumvek {
namespace {

constexpr uint8_t kFpgaCooler = 151;
constexpr uint16_t kCoolerFirmware = 256;
constexpr uint8_t kFpgaAuxOutput = 0x82;
constexpr auto kSamplePeriod = std::chrono::milliseconds(100);
constexpr size_t kRingSamples = 16;
// Conversion of the head's sensor voltage.
constexpr double kVolts = 3.3;
constexpr double kFullScale = 4096.0;
constexpr double kOffsetVolts = 0.07 + 2.5;
constexpr double kAmplifierGain = 20.1;
constexpr double kBiasVolts = 0.865 + 0.015;
constexpr double kReferenceVolts = 0.75;
constexpr double kVoltsPerDegree = 0.00133;
constexpr double kReferenceCelsius = 49.607;

} // namespace

// State the sampling thread shares with the driver. `lock` guards all of it;
// the thread gives it up around its register reads, so the controller's
// register lock is never taken under it.
struct TemperatureSampler {
    platform::Mutex lock;
    platform::ConditionVariable wake;
    bool stop GUARDED_BY(lock) = false;
    bool exited GUARDED_BY(lock) = false;
    std::array<uint16_t, kRingSamples> ring GUARDED_BY(lock){};
    size_t count GUARDED_BY(lock) = 0;  // samples held, at most kRingSamples
    size_t next GUARDED_BY(lock) = 0;   // where the next sample goes
};

double r03Temperature(double m) {
    return (kReferenceVolts - ((m * kVolts / kFullScale - kOffsetVolts) / kAmplifierGain + kBiasVolts)) /
               kVoltsPerDegree +
           kReferenceCelsius;
}

CSensorR03::CSensorR03(CControllerBase* controller, uint8_t serialAddress)
    : ImxIdleSensor(controller, serialAddress, SensorModelId::R03, false),
      sampler_(std::make_shared<TemperatureSampler>()) {}

CSensorR03::~CSensorR03() { stopSampling(); }

void CSensorR03::OnCaptureStart() {
    if (!controller_ || thread_.joinable()) return;
    {
        platform::MutexLock lock(sampler_->lock);
        sampler_->stop = false;
        sampler_->exited = false;
    }
    thread_ = std::thread([sampler = sampler_, controller = controller_] {
        platform::MutexLock lock(sampler->lock);
        while (!sampler->stop) {
            lock.unlock();
            uint8_t low = 0;
            uint8_t high = 0;
            const bool read = controller->ReadFpgaRegister(family::fpgahead::kTemperatureSample, &low) &&
                              controller->ReadFpgaRegister(family::fpgahead::kTemperatureSample + 1, &high);
            lock.lock();
            if (read) {
                sampler->ring[sampler->next] = static_cast<uint16_t>(low | (high << 8));
                sampler->next = (sampler->next + 1) % kRingSamples;
                if (sampler->count < kRingSamples) ++sampler->count;
            }
            (void)sampler->wake.waitFor(sampler->lock, kSamplePeriod,
                                        [&]() REQUIRES(sampler->lock) { return sampler->stop; });
        }
        sampler->exited = true;
        sampler->wake.notifyAll();
    });
}

void CSensorR03::OnCaptureStop() { stopSampling(); }

void CSensorR03::stopSampling() {
    if (!thread_.joinable()) return;
    platform::MutexLock lock(sampler_->lock);
    sampler_->stop = true;
    sampler_->wake.notifyAll();
    const bool ended = sampler_->wake.waitFor(sampler_->lock, std::chrono::milliseconds(kStopLimitMs),
                                              [&]() REQUIRES(sampler_->lock) { return sampler_->exited; });
    lock.unlock();
    // A thread stuck in a transfer past the limit is let go; it owns its
    // share of the sampler state and ends on its own.
    if (ended) {
        thread_.join();
    } else {
        thread_.detach();
    }
}

int CSensorR03::GetTemperature(double* celsius) {
    if (celsius == nullptr) return 0;
    platform::MutexLock lock(sampler_->lock);
    if (sampler_->count == 0) return 0;
    double sum = 0.0;
    for (size_t i = 0; i < sampler_->count; ++i) sum += sampler_->ring[i];
    *celsius = r03Temperature(sum / static_cast<double>(sampler_->count));
    return 1;
}

int CSensorR03::IsCoolingAvailable() { return firmwareVersion() >= kCoolerFirmware ? 1 : 0; }

int CSensorR03::GetCooling() {
    uint8_t value = 0;
    return IsCoolingAvailable() && readFpga(kFpgaCooler, &value) ? (value & 1) : 0;
}

int CSensorR03::SetCooling(int on) {
    uint8_t value = 0;
    if (!IsCoolingAvailable() || !readFpga(kFpgaCooler, &value)) return 0;
    value = on != 0 ? static_cast<uint8_t>(value | 1) : static_cast<uint8_t>(value & ~1);
    return writeFpga(kFpgaCooler, value) ? 1 : 0;
}

int CSensorR03::GetAuxOutput(int* on) {
    uint8_t value = 0;
    if (!readFpga(kFpgaAuxOutput, &value)) return 0;
    return putValue(on, value != 0 ? 1 : 0);
}

int CSensorR03::SetAuxOutput(int on) { return writeFpga(kFpgaAuxOutput, on != 0 ? 1 : 0) ? 1 : 0; }

} // namespace lumvek
