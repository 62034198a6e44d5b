#pragma once
// The operations the SDK instance uses on its camera device object. The
// camera device object (CLumvekU3K7Base / CLumvekUSB3K7SimpleSdk) implements
// them; the instance holds it through this interface only, which also lets
// the instance's own tests stand a scripted device in its place.
//
// Results follow the device layer's convention: 1 (or a value) for success,
// 0 for failure; -1 where stated. Getters of ranges return the value itself
// (0 without a sensor driver).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "camera/frame_stamp.h"
#include "camera/pinned_frame.h"
#include "platform/fx3/fx3_driver.h"

namespace lumvek {

class CameraDevice {
public:
    virtual ~CameraDevice() = default;

    // ---- Device and open-device table ----
    virtual int SetProductId(int productId) = 0;
    virtual int GetProductId() = 0;
    // Replaces the controller; null selects the cameras' interface class.
    virtual int CreateController(const fx3::Guid* interfaceClass) = 0;
    virtual int Release() = 0;
    // Opens device number n of the product (sensor driver created, camera initialised); 1/0.
    virtual int CreateSensor(int deviceNumber) = 0;
    virtual int IsDeviceNumberPresent(int deviceNumber) = 0;
    virtual int CountDevices(int productId) = 0;
    virtual int GetOpenDeviceNumber() = 0;
    virtual int GetMaxDevices() = 0;

    // ---- Acquisition ----
    // mode 0 continuous (preview), 1 one frame (snapshot).
    virtual int StartAcquisition(int mode) = 0;
    virtual int StopAcquisition() = 0;
    // 1 = the transfer has failed, 2 = no new frame within timeoutMs, 3 = a new frame is ready.
    virtual int WaitFrame(int timeoutMs) = 0;
    // Copies the newest frame (raw orientation undone) into buffer, which holds
    // capacity bytes; 0 = success, nonzero = failure.
    virtual int GetLatestFrame(uint8_t* buffer, size_t capacity, int flag) = 0;
    // GetLatestFrame that also gives what the transfer thread knew of the
    // frame copied (a device without stamps leaves *stamp all zero).
    virtual int GetLatestFrameStamped(uint8_t* buffer, size_t capacity, int flag, FrameStamp* stamp) {
        if (stamp != nullptr) {
            *stamp = {};
        }
        return GetLatestFrame(buffer, capacity, flag);
    }
    // The newest frame held for its rows to be taken (see PinnedFrame), and
    // counted as taken as GetLatestFrameStamped counts it: 0 = held in
    // `out`, 1 = no frame, 2 = this device or frame layout hands out whole
    // copies only (GetLatestFrameStamped then).
    virtual int PinLatestFrame(std::optional<PinnedFrame>& out, size_t capacity, int flag) {
        (void)capacity, (void)flag;
        out.reset();
        return 2;
    }
    // The transfer's loss and traffic counters since the device object was made.
    [[nodiscard]] virtual TransferCountersSnapshot GetTransferCounters() { return {}; }
    virtual int SetFrameTimeout(int timeoutMs) = 0;

    // ---- Sensor configuration ----
    // 0 = 8-bit transfer, 1 = 16-bit transfer.
    virtual int SetColorMode(int mode) = 0;
    virtual int SetCaptureWindow(int x, int y, int width, int height, int subSampleMode) = 0;
    virtual int GetCaptureWindow(int* x, int* y, int* width, int* height, int* subSampleMode) = 0;
    virtual int SetTriggerMode(int mode, int force) = 0;
    virtual int GetFreeWidthFlag() = 0;
    virtual int GetFreeHeightFlag() = 0;
    virtual int GetFullWidth() = 0;
    virtual int GetFullHeight() = 0;
    virtual int SetMirrorH(int on) = 0;
    virtual int SetMirrorV(int on) = 0;
    virtual int GetMirrorH() = 0;
    virtual int GetMirrorV() = 0;
    virtual int IsMirrorHInSensor() = 0;
    virtual int IsMirrorVInSensor() = 0;

    // ---- Gains and exposure (exposure in 0.1 ms units) ----
    virtual int SetGlobalGain(int gain) = 0;
    virtual int GetGlobalGain() = 0;
    virtual int GetGlobalGainMin() = 0;
    virtual int GetGlobalGainMax() = 0;
    virtual int GetGlobalGainDefault() = 0;
    virtual int SetColorGainRed(int value) = 0;
    virtual int SetColorGainGreen1(int value) = 0;
    virtual int SetColorGainGreen2(int value) = 0;
    virtual int SetColorGainBlue(int value) = 0;
    virtual int GetColorGainRed() = 0;
    virtual int GetColorGainGreen1() = 0;
    virtual int GetColorGainGreen2() = 0;
    virtual int GetColorGainBlue() = 0;
    virtual int GetColorGainMin() = 0;
    virtual int GetColorGainMax() = 0;
    virtual int GetColorGainDefault() = 0;
    // Also sets the frame time-out: 5000 ms up to 50000, else value / 5.
    virtual int SetExposure(int value) = 0;
    virtual int GetExposure() = 0;
    virtual int GetExposureMin() = 0;
    virtual int GetExposureMax() = 0;
    virtual int GetExposureDefault() = 0;
    virtual int IsExposureTimeExAvailable() = 0;
    virtual int SetExposureSeconds(double seconds) = 0;
    virtual int GetExposureTimeEx(double* seconds) = 0;
    virtual int GetExposureTimeExMin(double* seconds) = 0;
    virtual int GetExposureTimeExMax(double* seconds) = 0;
    virtual int GetExposureTimeExDefault(double* seconds) = 0;
    // Channels 1..4.
    virtual int SetChannelGain(int channel, int value) = 0;
    virtual int GetChannelGain(int channel, int* value) = 0;
    virtual int GetChannelGainMin() = 0;
    virtual int GetChannelGainMax() = 0;
    virtual int SetChannelOffset(int channel, int value) = 0;
    virtual int GetChannelOffset(int channel, int* value) = 0;
    virtual int GetChannelOffsetMin() = 0;
    virtual int GetChannelOffsetMax() = 0;

    // ---- Forwarded sensor features ----
    virtual int IsBlackLevelAvailable() = 0;
    virtual int SetBlackLevel(int value) = 0;
    virtual int GetBlackLevel(int* value) = 0;
    virtual int GetBlackLevelDefault(int* value) = 0;
    // The black-level range and the channel defaults, for the settings
    // dialogs; 1 with *value set, 0 when the camera does not tell.
    virtual int GetBlackLevelMin(int* /*value*/) { return 0; }
    virtual int GetBlackLevelMax(int* /*value*/) { return 0; }
    virtual int GetChannelGainDefault(int* /*value*/) { return 0; }
    virtual int GetChannelOffsetDefault(int* /*value*/) { return 0; }
    virtual int IsCoolingSupported() = 0;
    virtual int GetCooling() = 0;
    virtual int SetCooling(int on) = 0;
    virtual int IsTemperatureAvailable() = 0;
    virtual int GetTemperature(double* celsius) = 0;
    virtual int IsShortExposureModeAvailable() = 0;
    virtual int GetShortExposureMode(int* on) = 0;
    virtual int SetShortExposureMode(int on) = 0;
    virtual int IsGainModeAvailable() = 0;
    virtual int GetGainMode() = 0;  // -1 when unsupported or unreadable
    virtual int SetGainMode(int mode) = 0;
    virtual int IsExtUnitAvailable() = 0;
    virtual int SetExtUnitMode(int mode) = 0;
    virtual int RestartSensorStream() = 0;

    // ---- Registers, serial ROM ----
    virtual int WriteRegister(int bank, int address, int value) = 0;
    virtual int ReadRegister(int bank, int address, int* ok) = 0;
    virtual int WriteFpgaRegister(int reg, int value) = 0;
    virtual int ReadFpgaRegister(int reg, int* ok) = 0;
    virtual int WriteSromByte(uint16_t address, uint8_t value) = 0;
    virtual int ReadSromByte(uint16_t address, uint8_t* value) = 0;
    virtual int SetSamplingRate(int index, int mode, int* value) = 0;
};

// Makes the camera device object an SDK instance owns (a
// CLumvekUSB3K7SimpleSdk). Null when it cannot be made.
[[nodiscard]] std::unique_ptr<CameraDevice> createCameraDevice();

} // namespace lumvek
