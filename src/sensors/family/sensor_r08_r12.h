#pragma once
// CSensorR08 and CSensorR12: large-format heads whose sensor the FPGA
// drives. Ready once a probe over I2C device 95 (and for the R12 FPGA
// register 187) says so; the FPGA measures their temperature; an external
// unit exists from firmware 23 on; gain mode in FPGA register 0x80.
#include "sensors/family/family_sensor.h"

namespace lumvek {

class HeadR08Family : public FamilySensor {
public:
    HeadR08Family(CControllerBase* controller, uint8_t serialAddress, SensorModelId id);

    int SetTriggerMode(int mode) override;
    int GetTriggerMode(int* mode) override;
    int IsTemperatureAvailable() override { return 1; }
    int IsExtUnitAvailable() override;
    int IsExtUnitPresent(int* present) override;
    int SetExtUnitMode(int mode) override;
    int SetExposureTimeEx(double seconds) override { return applyExposureSeconds(seconds); }
    int IsInfoRecordAvailable() override { return 1; }
    // The model code, the firmware word and the two information bytes of
    // FPGA registers 0xC0 and 0xC1.
    int GetInfoRecord(int* a, uint16_t* b, uint8_t* c, uint8_t* d) override;
    int IsGainModeAvailable() override { return 1; }

    // The revision the 0x31E0 frame copy checks: the firmware word.
    [[nodiscard]] int revision() { return firmwareVersion(); }

protected:
    // I2C device 95 answers one byte; low four bits 0 mean ready. Tries
    // until it answers (100 ms apart) within limitMs or `tries`.
    bool probeDevice95(int tries, uint32_t limitMs);
    // FPGA 0xA0 = 1 then 2, wait while register 32 bit 0 is set, raw =
    // registers 169 | 170 << 8; T = raw x slope + offset.
    int readTemperature(double slope, double offset, double* celsius);

    int triggerMode_ = 0;
};

class CSensorR08 final : public HeadR08Family {
public:
    CSensorR08(CControllerBase* controller, uint8_t serialAddress);
    // Up to 20 probes, 100 ms apart, 5000 ms at most.
    int IsReady() override;
    int SetReadoutMode(int mode) override;
    int GetReadoutMode(int* mode) override;
    int GetTemperature(double* celsius) override;
    // The camera device object switches the R08's cooler through the
    // driver (and keeps the state in the serial ROM): bit 0 of FPGA 0xBF.
    int IsCoolingAvailable() override { return 1; }
    int GetCooling() override;
    int SetCooling(int on) override;
    // FPGA register 0x80 = (mode != 0); read back as 0/1, -1 when unreadable.
    int GetGainMode() override;
    int SetGainMode(int mode) override;

private:
    int readoutMode_ = 0;
};

class CSensorR12 final : public HeadR08Family {
public:
    CSensorR12(CControllerBase* controller, uint8_t serialAddress);
    // The device-95 probe until it answers (29999 ms at most), then FPGA
    // register 187 bit 0 within 30000 ms.
    int IsReady() override;
    int GetTemperature(double* celsius) override;
    int SetBlackLevel(int value) override;
    // Index within the gain-stage range: bits 2-4 of FPGA 90 (read, then
    // written as register 218; 89 goes to 217 unchanged).
    int SetGainStage(int index) override;
    int ReadGainStage(int* index) override;
    int GetGainStageLabel(int index, char* text, size_t capacity) override;
    // 1 = low gain (FPGA 224 = 79), 0 = high gain (224 = 95); refused
    // while the second mode is on. FPGA 0x80 is written and read back up
    // to 100 times, 100 ms apart.
    int SetGainMode(int mode) override;
    // FPGA 96: 79 is 1, 95 is 0, else -1.
    int GetGainMode() override;
    int IsSecondModeAvailable() override { return 1; }
    int GetSecondMode() override;
    int SetSecondMode(int mode) override;
};

} // namespace lumvek
