#pragma once
// The IMX-chip CMOS drivers and the sensors driven like them (LI7050),
// 8-bit registers at 16-bit addresses behind the serial bridge at 0x48,
// each transfer under the driver's serial lock.
#include "sensors/family/family_sensor.h"

namespace lumvek {

class ImxSensor : public FamilySensor {
public:
    ImxSensor(CControllerBase* controller, uint8_t serialAddress, SensorModelId id);

    int SetTriggerMode(int mode) override;
    int GetTriggerMode(int* mode) override;
    int WriteRegister(uint32_t address, uint32_t value) override;
    int ReadRegister(uint32_t address, uint32_t* value) override;

protected:
    // This family's own minimal start-up (not a vendor's): standby, then
    // the window programming leaves it streaming.
    bool startUp() override;
    // Mode 0 writes sub-register b[0] = b[1], mode 1 reads it into b[1].
    int accessSubRegister(int mode, uint8_t* registerAndValue);
    // 16 or 8 bits per sample, then the current window again.
    int applyTransferBits(int sixteenBits);

    int triggerMode_ = 0;
};

class CSensorIMX178 final : public ImxSensor {
public:
    CSensorIMX178(CControllerBase* controller, uint8_t serialAddress);
};

class CSensorIMX183 final : public ImxSensor {
public:
    CSensorIMX183(CControllerBase* controller, uint8_t serialAddress);
};

class CSensorIMX174 final : public ImxSensor {
public:
    CSensorIMX174(CControllerBase* controller, uint8_t serialAddress);
    int SetTriggerMode(int) override { return 1; }  // triggering lives in the FPGA steps
    int SetTransferBits(int sixteenBits) override { return applyTransferBits(sixteenBits); }

protected:
    // The IMX174 counts its line in units of eight clocks:
    // P = (lineLength / 8) x 10 / clockKHz.
    [[nodiscard]] double linePeriod() const override;
};

// Horizontal mirror only.
class CSensorIMX159 final : public ImxSensor {
public:
    CSensorIMX159(CControllerBase* controller, uint8_t serialAddress);
    int SetMirrorV(int) override { return 0; }
    int GetMirrorV(int*) override { return 0; }
    int AccessSubRegister(int mode, uint8_t* registerAndValue) override {
        return accessSubRegister(mode, registerAndValue);
    }
};

// The IMX250 group: transfer width, sub-registers, and register access that
// waits for the sensor to be idle (FPGA register 2 reading 0). Some run the
// serial-bridge reset at start-up.
class ImxIdleSensor : public ImxSensor {
public:
    ImxIdleSensor(CControllerBase* controller, uint8_t serialAddress, SensorModelId id, bool bridgeReset);

    int SetTransferBits(int sixteenBits) override { return applyTransferBits(sixteenBits); }
    int AccessSubRegister(int mode, uint8_t* registerAndValue) override {
        return accessSubRegister(mode, registerAndValue);
    }
    // Up to 1000 polls 2 ms apart, then the write.
    int WriteRegisterWhenIdle(uint32_t address, uint32_t value) override;
    // Up to 100 polls 3 ms apart, then the read.
    int ReadRegisterWhenIdle(uint32_t address, uint32_t* value) override;

protected:
    bool startUp() override;

private:
    bool bridgeReset_;
};

// FPGA register 129: bit 1 set once the serial bridge is up. 1 then 0
// restarts it; the outcome goes to the diagnostic log as "::SerReset:: VD
// is ready." or "::SerReset:: failure.". True when the bridge is up.
bool resetSerialBridge(CControllerBase& controller);

class CSensorIMX226 final : public ImxIdleSensor {
public:
    CSensorIMX226(CControllerBase* controller, uint8_t serialAddress);
    int AccessSubRegister(int, uint8_t*) override { return 0; }
};

class CSensorIMX250 final : public ImxIdleSensor {
public:
    CSensorIMX250(CControllerBase* controller, uint8_t serialAddress);
};

class CSensorIMX252 final : public ImxIdleSensor {
public:
    CSensorIMX252(CControllerBase* controller, uint8_t serialAddress);
};

class CSensorIMX264 final : public ImxIdleSensor {
public:
    CSensorIMX264(CControllerBase* controller, uint8_t serialAddress);
};

class CSensorIMX536 final : public ImxIdleSensor {
public:
    CSensorIMX536(CControllerBase* controller, uint8_t serialAddress);
};

// IMX273 and IMX487: black level and the seconds-based exposure besides.
class ImxBlackLevelSensor : public ImxIdleSensor {
public:
    using ImxIdleSensor::ImxIdleSensor;
    int SetBlackLevel(int value) override;
    int SetExposureTimeEx(double seconds) override { return applyExposureSeconds(seconds); }
};

class CSensorIMX273 final : public ImxBlackLevelSensor {
public:
    CSensorIMX273(CControllerBase* controller, uint8_t serialAddress);
};

class CSensorIMX487 final : public ImxBlackLevelSensor {
public:
    CSensorIMX487(CControllerBase* controller, uint8_t serialAddress);
};

class CSensorLI7050 final : public ImxIdleSensor {
public:
    CSensorLI7050(CControllerBase* controller, uint8_t serialAddress);
    int SetExposureTimeEx(double seconds) override { return applyExposureSeconds(seconds); }
};

// IMX990 and IMX991 (short-wave infrared): aux mode, sensor reset, a
// firmware-gated feature, the cooler in FPGA register 209 and the sensor's
// own temperature reading.
class ImxSwirSensor : public ImxIdleSensor {
public:
    ImxSwirSensor(CControllerBase* controller, uint8_t serialAddress, SensorModelId id);

    int SetAuxMode(int mode) override;
    int PulseSensorReset() override;
    // Firmware version above 4.
    int HasFirmwareFeature() override;
    // Available when bit 15 of the FPGA word is set; bit 0 of register 209.
    int IsCoolingAvailable() override;
    int GetCooling() override;
    int SetCooling(int on) override;
    int IsTemperatureAvailable() override { return 1; }
    // Bit 0 of register 0x788 latches the reading into 0x690 (low) and
    // 0x691 (high); the value is in 1/8 degree steps, two's complement.
    int GetTemperature(double* celsius) override;
    int SetExposureTimeEx(double seconds) override { return applyExposureSeconds(seconds); }
};

class CSensorIMX990 final : public ImxSwirSensor {
public:
    CSensorIMX990(CControllerBase* controller, uint8_t serialAddress);
};

class CSensorIMX991 final : public ImxSwirSensor {
public:
    CSensorIMX991(CControllerBase* controller, uint8_t serialAddress);
};

// The temperature formula of the IMX990/IMX991 from the two latched bytes.
[[nodiscard]] double swirTemperature(uint8_t low, uint8_t high);

} // namespace lumvek
