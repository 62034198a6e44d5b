#pragma once
// The MT9 CMOS chips: 16-bit registers over I2C (high bytes first), colour
// gains in registers 0x305A/0x3056/0x305C/0x3058, the exposure in the coarse
// integration register, mirrors in the read-mode register 0x3040.
#include "sensors/family/family_sensor.h"

namespace lumvek {

class Mt9Sensor : public FamilySensor {
public:
    Mt9Sensor(CControllerBase* controller, uint8_t serialAddress, SensorModelId id);

    // Ready when the chip's version register answers.
    int IsReady() override;
    int SetColorGainRed(int value) override;
    int GetColorGainRed(int* value) override;
    int SetColorGainGreen1(int value) override;
    int GetColorGainGreen1(int* value) override;
    int SetColorGainGreen2(int value) override;
    int GetColorGainGreen2(int* value) override;
    int SetColorGainBlue(int value) override;
    int GetColorGainBlue(int* value) override;
    int GetColorGainMin(int* value) override;
    int GetColorGainMax(int* value) override;
    int GetColorGainDefault(int* value) override;
    int WriteRegister(uint32_t address, uint32_t value) override;
    int ReadRegister(uint32_t address, uint32_t* value) override;

protected:
    // This family's own minimal start-up (not a vendor's): streaming off,
    // reset register to its parallel-output value, streaming on.
    bool startUp() override;
    bool writeGain(int gain) override;
    bool writeMirror(bool horizontal, bool vertical) override;
    int setColorGain(uint16_t reg, int value, ValueRange& range);

    uint16_t readMode_ = 0x0041;  // the last value written to register 0x3040
};

// The window limits and alignments both MT9F chips share.
class Mt9fSensor : public Mt9Sensor {
public:
    Mt9fSensor(CControllerBase* controller, uint8_t serialAddress, SensorModelId id);

protected:
    [[nodiscard]] bool windowAllowed(const WindowRequest& w) const override;
    // The MT9F001 window sequence: read mode, output size, line length and
    // the sixteen register writes in their fixed order.
    bool programMt9f001Window(const WindowRequest& w);
};

class CSensorMT9F001 final : public Mt9fSensor {
public:
    CSensorMT9F001(CControllerBase* controller, uint8_t serialAddress);

protected:
    bool programWindow(const WindowRequest& w) override { return programMt9f001Window(w); }
};

class CSensorMT9F002 final : public Mt9fSensor {
public:
    CSensorMT9F002(CControllerBase* controller, uint8_t serialAddress);
    // Restart: the reset register's restart bit. Kick: streaming off and on.
    void RestartSensorStream() override;
    void KickSensorStream() override;

protected:
    // Same limits as the MT9F001, its own (shorter) register sequence.
    bool programWindow(const WindowRequest& w) override;
    // Addresses with bit 15 set are read from the auxiliary register device.
    int readSensorRegister(uint32_t address, uint32_t* value) override;
};

class CSensorMT9J001 final : public Mt9Sensor {
public:
    CSensorMT9J001(CControllerBase* controller, uint8_t serialAddress);
    // Mode 0/1/2: PLL for 32, 16 or 80 MHz.
    int SetClockMode(int mode) override;
    int GetClockMode(int* mode) override;

protected:
    // With trigger word 0x10000 (product 0x3042) the registers go through
    // vendor requests 0x3E/0x3F instead of I2C.
    int writeSensorRegister(uint32_t address, uint32_t value) override;
    int readSensorRegister(uint32_t address, uint32_t* value) override;
};

class CSensorMT9P001 final : public Mt9Sensor {
public:
    CSensorMT9P001(CControllerBase* controller, uint8_t serialAddress);
    // Mode 1 sets bits 0x310 of register 0x1E, other modes clear them.
    int SetTriggerMode(int mode) override;
    int GetTriggerMode(int* mode) override;
    int GetClockMode(int* mode) override;

private:
    int triggerMode_ = 0;
};

} // namespace lumvek
