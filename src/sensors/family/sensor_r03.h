#pragma once
// CSensorR03: a cooled thermal head behind the serial bridge at 0x48. While
// capturing, a thread of the driver samples the head's 16-bit temperature
// word (FPGA 0x98/0x99) into a ring; GetTemperature averages the ring. The
// cooler (bit 0 of FPGA 151) needs firmware 256 or later; the aux output is
// FPGA register 0x82. The camera device object applies its exposure from
// the frame transfer thread, between frames.
#include <memory>
#include <thread>

#include "sensors/family/imx_sensors.h"

namespace lumvek {

struct TemperatureSampler;

class CSensorR03 final : public ImxIdleSensor {
public:
    static constexpr uint32_t kStopLimitMs = 3000;

    CSensorR03(CControllerBase* controller, uint8_t serialAddress);
    ~CSensorR03() override;  // stops the sampling thread (3000 ms at most)

    int SetGlobalGain(int) override { return 0; }  // the head has no gain
    int IsCoolingAvailable() override;
    int GetCooling() override;
    int SetCooling(int on) override;
    int IsTemperatureAvailable() override { return 1; }
    // Average of the samples; 0 while there are none.
    int GetTemperature(double* celsius) override;
    void OnCaptureStart() override;
    void OnCaptureStop() override;
    int IsAuxOutputAvailable() override { return 1; }
    int GetAuxOutput(int* on) override;
    int SetAuxOutput(int on) override;

    [[nodiscard]] bool samplingRunning() const { return thread_.joinable(); }

private:
    void stopSampling();

    std::shared_ptr<TemperatureSampler> sampler_;  // shared with the thread
    std::thread thread_;
};

// The head's conversion of an averaged sample word to degrees Celsius.
[[nodiscard]] double r03Temperature(double meanSample);

} // namespace lumvek
