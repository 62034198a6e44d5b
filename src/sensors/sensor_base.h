#pragma once
// CSensorBase: the one interface of every sensor driver. The base is not
// abstract: each operation either refuses (0; -1 for GetGainMode and
// GetSecondMode) or answers from the sensor descriptor, and a driver
// overrides only what its sensor has. The virtual operations are declared in
// slot order. Results are 1 for success and 0 for failure unless stated;
// getters write through their out-pointer. Every operation that touches the
// hardware fails when the driver has no controller.
//
// Threads: called from the application threads and, for one driver's
// SetExposureTime, from the frame transfer thread. The base takes no lock.
#include <cstddef>
#include <cstdint>

#include "sensors/sensor_descriptor.h"

namespace lumvek {

class CControllerBase;

class CSensorBase {
public:
    // The controller is borrowed (may be null); serialAddress is the sensor's
    // 8-bit I2C address, 0 for sensors reached through the FPGA. No
    // constructor touches the hardware.
    CSensorBase(CControllerBase* controller, uint8_t serialAddress);
    virtual ~CSensorBase();  // DestroySensor
    CSensorBase(const CSensorBase&) = delete;
    CSensorBase& operator=(const CSensorBase&) = delete;

    virtual void SetVariantCode(int code);
    virtual void SetTriggerWord(int word);  // no hardware access
    virtual int GetTriggerWord();
    virtual int IsReady() { return 0; }
    virtual int InitializeSensor() { return 0; }
    virtual int OpenSerialLink() { return 0; }
    virtual int SetCaptureWindow(int /*x*/, int /*width*/, int /*y*/, int /*height*/, int /*mode*/) { return 0; }
    virtual int GetCaptureWindow(int* /*x*/, int* /*width*/, int* /*y*/, int* /*height*/, int* /*mode*/) {
        return 0;
    }
    virtual int SetTriggerMode(int /*mode*/) { return 0; }
    virtual int GetTriggerMode(int* /*mode*/) { return 0; }
    virtual int SetAuxMode(int /*mode*/) { return 0; }
    virtual int PulseSensorReset() { return 0; }
    virtual int HasFirmwareFeature() { return 0; }
    virtual int SetTransferBits(int /*sixteenBits*/) { return 0; }
    virtual int SetExposureLines(int /*lines*/) { return 0; }
    virtual int GetExposureLines(int* /*lines*/) { return 0; }
    virtual int SetGlobalGain(int /*gain*/) { return 0; }
    virtual int GetGlobalGain(int* /*gain*/) { return 0; }
    virtual int SetColorGainRed(int /*value*/) { return 0; }
    virtual int GetColorGainRed(int* /*value*/) { return 0; }
    virtual int SetColorGainGreen1(int /*value*/) { return 0; }
    virtual int GetColorGainGreen1(int* /*value*/) { return 0; }
    virtual int SetColorGainGreen2(int /*value*/) { return 0; }
    virtual int GetColorGainGreen2(int* /*value*/) { return 0; }
    virtual int SetColorGainBlue(int /*value*/) { return 0; }
    virtual int GetColorGainBlue(int* /*value*/) { return 0; }
    virtual int GetExposureLinesMin(int* /*value*/) { return 0; }
    virtual int GetExposureLinesMax(int* /*value*/) { return 0; }
    virtual int GetExposureLinesDefault(int* /*value*/) { return 0; }
    virtual int GetGlobalGainMin(int* /*value*/) { return 0; }
    virtual int GetGlobalGainMax(int* /*value*/) { return 0; }
    virtual int GetGlobalGainDefault(int* /*value*/) { return 0; }
    virtual int GetColorGainMin(int* /*value*/) { return 0; }
    virtual int GetColorGainMax(int* /*value*/) { return 0; }
    virtual int GetColorGainDefault(int* /*value*/) { return 0; }
    virtual int SetChannelGain(int /*channel*/, int /*value*/) { return 0; }
    virtual int GetChannelGain(int /*channel*/, int* /*value*/) { return 0; }
    virtual int GetChannelGainMin(int* /*value*/) { return 0; }
    virtual int GetChannelGainMax(int* /*value*/) { return 0; }
    virtual int GetChannelGainDefault(int* /*value*/) { return 0; }
    virtual int SetChannelOffset(int /*channel*/, int /*value*/) { return 0; }
    virtual int GetChannelOffset(int /*channel*/, int* /*value*/) { return 0; }
    virtual int GetChannelOffsetMin(int* /*value*/) { return 0; }
    virtual int GetChannelOffsetMax(int* /*value*/) { return 0; }
    virtual int GetChannelOffsetDefault(int* /*value*/) { return 0; }
    virtual int IsBlackLevelAvailable();
    virtual int SetBlackLevel(int /*value*/) { return 0; }
    // The black-level getters write the range word and return the available flag.
    virtual int GetBlackLevel(int* value);
    virtual int GetBlackLevelMin(int* value);
    virtual int GetBlackLevelMax(int* value);
    virtual int GetBlackLevelDefault(int* value);
    virtual int IsGainStageAvailable();
    // The gain-stage getters write the range word and return the available flag.
    virtual int GetGainStageMin(int* value);
    virtual int GetGainStageMax(int* value);
    virtual int GetGainStageDefault(int* value);
    virtual int GetGainStage(int* value);
    virtual int SetGainStage(int /*index*/) { return 0; }
    virtual int ReadGainStage(int* /*index*/) { return 0; }
    virtual int GetGainStageLabel(int /*index*/, char* /*text*/, size_t /*capacity*/) { return 0; }
    virtual int SetExposureTime(uint32_t /*tenthsOfMs*/) { return 0; }
    virtual int GetExposureTime(int* /*tenthsOfMs*/) { return 0; }
    virtual int GetExposureTimeMin(int* /*value*/) { return 0; }
    virtual int GetExposureTimeMax(int* /*value*/) { return 0; }
    virtual int GetExposureTimeDefault(int* /*value*/) { return 0; }
    virtual int SetMirrorV(int /*on*/) { return 0; }
    virtual int GetMirrorV(int* /*on*/) { return 0; }
    virtual int SetMirrorH(int /*on*/) { return 0; }
    virtual int GetMirrorH(int* /*on*/) { return 0; }
    virtual int GetMirrorVDefault();
    virtual int GetMirrorHDefault();
    virtual int IsMirrorVInSensor();
    virtual int IsMirrorHInSensor();
    // mode 0 writes, 1 reads; registerAndValue points at two bytes.
    virtual int AccessSubRegister(int /*mode*/, uint8_t* /*registerAndValue*/) { return 0; }
    virtual int WriteRegister(uint32_t /*address*/, uint32_t /*value*/) { return 0; }
    virtual int ReadRegister(uint32_t /*address*/, uint32_t* /*value*/) { return 0; }
    virtual int WriteRegisterWhenIdle(uint32_t /*address*/, uint32_t /*value*/) { return 0; }
    virtual int ReadRegisterWhenIdle(uint32_t /*address*/, uint32_t* /*value*/) { return 0; }
    // Five slots no driver fills.
    virtual int ReservedOperation1() { return 0; }
    virtual int ReservedOperation2() { return 0; }
    virtual int ReservedOperation3() { return 0; }
    virtual int ReservedOperation4() { return 0; }
    virtual int ReservedOperation5() { return 0; }
    virtual int SetClockMode(int /*mode*/) { return 0; }
    virtual int GetClockMode(int* /*mode*/) { return 0; }
    // Two slots no driver fills.
    virtual int ReservedOperation6() { return 0; }
    virtual int ReservedOperation7() { return 0; }
    // Copies the whole descriptor; 0 for a null pointer.
    virtual int GetSensorInfo(SensorDescriptor* out);
    virtual void RestartSensorStream() {}
    virtual void KickSensorStream() {}
    virtual int SetReadoutMode(int /*mode*/) { return 0; }
    virtual int GetReadoutMode(int* /*mode*/) { return 0; }
    virtual int IsCoolingAvailable() { return 0; }
    virtual int GetCooling() { return 0; }
    virtual int SetCooling(int /*on*/) { return 0; }
    virtual int IsTemperatureAvailable() { return 0; }
    virtual int GetTemperature(double* /*celsius*/) { return 0; }
    virtual void OnCaptureStart() {}
    virtual void OnCaptureStop() {}
    virtual int IsAuxOutputAvailable() { return 0; }
    virtual int GetAuxOutput(int* /*on*/) { return 0; }
    virtual int SetAuxOutput(int /*on*/) { return 0; }
    virtual int ReceiveText(char* /*buffer*/, int /*capacity*/) { return 0; }
    virtual int SendText(const char* /*text*/, int /*length*/) { return 0; }
    virtual int IsExtUnitAvailable() { return 0; }
    virtual int IsExtUnitPresent(int* /*present*/) { return 0; }
    virtual int SetExtUnitMode(int /*mode*/) { return 0; }
    virtual int IsTemperatureControlAvailable() { return 0; }
    // Two slots no driver fills.
    virtual int ReservedOperation8() { return 0; }
    virtual int ReservedOperation9() { return 0; }
    virtual int GetSensorTemperature(int* /*celsius*/) { return 0; }
    virtual int SetTargetTemperature(int /*celsius*/) { return 0; }
    virtual int IsExposureTimeExAvailable();
    // The seconds getters write the value and return IsExposureTimeExAvailable.
    virtual int GetExposureTimeExMin(double* seconds);
    virtual int GetExposureTimeExMax(double* seconds);
    virtual int GetExposureTimeExDefault(double* seconds);
    virtual int GetExposureTimeEx(double* seconds);
    virtual int SetExposureTimeEx(double /*seconds*/) { return 0; }
    virtual int IsShortExposureModeAvailable() { return 0; }
    virtual int GetShortExposureMode(int* /*on*/) { return 0; }
    virtual int SetShortExposureMode(int /*on*/) { return 0; }
    virtual int IsInfoRecordAvailable() { return 0; }
    virtual int GetInfoRecord(int* /*a*/, uint16_t* /*b*/, uint8_t* /*c*/, uint8_t* /*d*/) { return 0; }
    virtual int IsGainModeAvailable() { return 0; }
    virtual int GetGainMode() { return -1; }
    virtual int SetGainMode(int /*mode*/) { return 0; }
    virtual int IsSecondModeAvailable() { return 0; }
    virtual int GetSecondMode() { return -1; }
    virtual int SetSecondMode(int /*mode*/) { return 0; }

    // Not virtual: the FPGA reset pulse the camera device object gives at
    // stop and for some products' frame geometry: register 0x6C (0x96 for
    // model codes 103 and 115) set to 1 then 0, 1 ms after each. Results of
    // the writes are not checked; 0 only without a controller.
    int PulseFpgaReset();

    // The descriptor, read and (for the window words) written by the camera
    // device object.
    [[nodiscard]] SensorDescriptor& descriptor() { return descriptor_; }
    [[nodiscard]] const SensorDescriptor& descriptor() const { return descriptor_; }
    [[nodiscard]] CControllerBase* controller() const { return controller_; }
    [[nodiscard]] uint8_t serialAddress() const { return serialAddress_; }
    [[nodiscard]] int variantCode() const { return variantCode_; }
    // The revision value the frame copy of some heads checks: the camera's
    // firmware word, read once (0 when it cannot be read).
    [[nodiscard]] int revisionValue() { return firmwareVersion(); }

protected:
    // Fills firmwareVersion_ once from the FPGA word; 0 when it cannot be read.
    uint16_t firmwareVersion();

    SensorDescriptor descriptor_;
    int32_t reserved_[8] = {};
    CControllerBase* controller_ = nullptr;  // borrowed, may be null
    uint8_t serialAddress_ = 0;
    int32_t triggerWord_ = 0;
    uint16_t firmwareVersion_ = 0;  // 0 until first needed
    int32_t variantCode_ = 0;       // the model code of close variants
    int64_t auxModeWord_ = 1;       // the three words single drivers use
    int64_t secondModeWord_ = 0;
    int32_t infoRecordWord_ = 0;
};

} // namespace lumvek
