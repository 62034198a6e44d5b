#pragma once
// Behaviour shared word for word by the FPGA-timed CCD drivers (R07, R11,
// R13): 32-bit register writes into two banks with a shadow for reads, the
// exposure register in FPGA 0xE2/0xE3 running opposite to the time, the
// channel gains and offsets in FPGA 0x70-0x7F, the black level, and mirror
// bits in FPGA register 0x3F. The sensor always reads out the full frame; the
// capture window is cut by the layers above.
#include <cstdint>

#include "sensors/ccd/register_shadow.h"
#include "sensors/sensor_base.h"
#include "sensors/sensor_models.h"

namespace lumvek {

// What sets the CCD drivers apart besides their descriptor constants.
struct CcdConstants {
    double linePeriodClocksX10;  // line period in clocks x 10: P = this / clockKHz (0.1 ms)
    double exposureLineBase;     // lines = base - t / P
    bool mirrorBitSetMirrors;    // polarity of the bits in FPGA 0x3F
};

class CcdSensorBase : public CSensorBase {
public:
    CcdSensorBase(CControllerBase* controller, uint8_t serialAddress, const SensorModel& model,
                  const CcdConstants& constants);

    int IsReady() override { return 1; }
    int SetCaptureWindow(int x, int width, int y, int height, int mode) override;
    int GetCaptureWindow(int* x, int* width, int* y, int* height, int* mode) override;
    int SetTriggerMode(int mode) override;
    int GetTriggerMode(int* mode) override;
    int SetExposureLines(int lines) override;
    int GetExposureLines(int* lines) override;
    int GetExposureLinesMin(int* value) override;
    int GetExposureLinesMax(int* value) override;
    int GetExposureLinesDefault(int* value) override;
    int SetGlobalGain(int gain) override;
    int GetGlobalGain(int* gain) override;
    int GetGlobalGainMin(int* value) override;
    int GetGlobalGainMax(int* value) override;
    int GetGlobalGainDefault(int* value) override;
    int SetChannelGain(int channel, int value) override;
    int GetChannelGain(int channel, int* value) override;
    int GetChannelGainMin(int* value) override;
    int GetChannelGainMax(int* value) override;
    int GetChannelGainDefault(int* value) override;
    int SetChannelOffset(int channel, int value) override;
    int GetChannelOffset(int channel, int* value) override;
    int GetChannelOffsetMin(int* value) override;
    int GetChannelOffsetMax(int* value) override;
    int GetChannelOffsetDefault(int* value) override;
    int SetBlackLevel(int value) override;
    int SetExposureTime(uint32_t tenthsOfMs) override;
    int GetExposureTime(int* value) override;
    int GetExposureTimeMin(int* value) override;
    int GetExposureTimeMax(int* value) override;
    int GetExposureTimeDefault(int* value) override;
    int SetMirrorV(int on) override;
    int GetMirrorV(int* on) override;
    int SetMirrorH(int on) override;
    int GetMirrorH(int* on) override;
    int AccessSubRegister(int mode, uint8_t* registerAndValue) override;
    // Stores the value in the shadow (also when the write then fails) and
    // writes it with WriteSensorRegister32.
    int WriteRegister(uint32_t address, uint32_t value) override;
    // Answered from the shadow only; 0 for a register never written.
    int ReadRegister(uint32_t address, uint32_t* value) override;

protected:
    // Trigger mode 0, default gain, exposure lines and mirrors, full window.
    void applyStartupDefaults();
    // Writes a 16-bit value low byte first to reg and reg + 1.
    int writeFpgaPair(uint8_t reg, int value);
    int readFpgaPair(uint8_t reg, int* value);
    int setMirrorBit(uint8_t bit, int on, int32_t& stored);

    CcdConstants constants_;
    RegisterShadow shadow_;
};

} // namespace lumvek
