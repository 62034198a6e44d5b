#pragma once
// CSensorR13: the 2336 x 1752 CCD of the R13 camera, timed by the FPGA. The
// sensor reads out the full frame rows bottom-up, each row right to left.
#include "sensors/ccd/ccd_sensor_base.h"

namespace lumvek {

class CSensorR13 : public CcdSensorBase {
public:
    CSensorR13(CControllerBase* controller, uint8_t serialAddress);

    // Runs the power-up script, then applies the default trigger mode, gain,
    // exposure lines, mirrors and window. Write failures do not stop it; 0
    // only without a controller.
    int InitializeSensor() override;
};

// The R07 and R11 CCDs: the R13's behaviour with their own constants, and
// the mirror bits cleared to mirror. Their start-up applies the defaults.
class CSensorR07 : public CcdSensorBase {
public:
    CSensorR07(CControllerBase* controller, uint8_t serialAddress);
    int InitializeSensor() override;
};

class CSensorR11 : public CcdSensorBase {
public:
    CSensorR11(CControllerBase* controller, uint8_t serialAddress);
    int InitializeSensor() override;
    // The R11 gain goes to FPGA registers 0xA0 (value << 6, low 8 bits) and
    // 0xA1 (value >> 2) instead of the sensor's gain word.
    int SetGlobalGain(int gain) override;
};

} // namespace lumvek
