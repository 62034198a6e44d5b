#pragma once
// CSensorGLUX9701: an IMX250-group style sensor behind the serial bridge
// whose camera boots slowly: ready once FPGA register 33 reads 3. It adds a
// temperature word, a short-exposure mode and a high/low gain mode, all in
// sensor registers reached when the sensor is idle.
#include "sensors/family/imx_sensors.h"

namespace lumvek {

class CSensorGLUX9701 final : public ImxIdleSensor {
public:
    CSensorGLUX9701(CControllerBase* controller, uint8_t serialAddress);

    // FPGA 33 = 3; else after 7000 ms up to five rounds of: read 33, set
    // bit 1 of FPGA 164, wait 5000 ms.
    int IsReady() override;
    int IsTemperatureAvailable() override { return 1; }
    // raw = 0x188 | 0x189 << 8 (idle reads); T = raw x 0.3213 - 287.09.
    int GetTemperature(double* celsius) override;
    int SetExposureTimeEx(double seconds) override { return applyExposureSeconds(seconds); }
    int IsShortExposureModeAvailable() override { return 1; }
    // Registers 90, 91, 92: 100/32/31 on, 255/255/255 off.
    int GetShortExposureMode(int* on) override;
    int SetShortExposureMode(int on) override;
    int IsGainModeAvailable() override { return 1; }
    // Registers 78/82: 255/6 high gain (0), 6/255 low gain (1).
    int GetGainMode() override;
    int SetGainMode(int mode) override;

private:
    int shortExposureLines_ = 1;  // the exposure the short mode programs
};

} // namespace lumvek
