#pragma once
// CSensorICX274: the 1600 x 1200 CCD of product 0x3050, its registers
// written with vendor request 0xD0 (32-bit) and read with 0xD1 (16-bit).
// The CCD reads out whole: the window is cut by the layers above.
#include "sensors/family/family_sensor.h"

namespace lumvek {

class CSensorICX274 final : public FamilySensor {
public:
    CSensorICX274(CControllerBase* controller, uint8_t serialAddress);

    // The CCD needs no programming beyond its defaults: this family's own
    // minimal start-up applies gain, exposure and mirrors and reports 1, so
    // that the camera opens.
    int InitializeSensor() override;
    int SetCaptureWindow(int, int, int, int, int) override { return 1; }
    int SetTriggerMode(int mode) override;
    int GetTriggerMode(int* mode) override;
    int WriteRegister(uint32_t address, uint32_t value) override { return writeSensorRegister(address, value); }
    int ReadRegister(uint32_t address, uint32_t* value) override { return readSensorRegister(address, value); }

protected:
    bool writeExposureLines(int lines) override;
    bool writeGain(int gain) override;
    bool writeMirror(bool horizontal, bool vertical) override;

private:
    int triggerMode_ = 0;
};

} // namespace lumvek
