#pragma once
// CLumvekU3K7Base: the camera device object. It owns the controller and the
// sensor driver of one opened camera, the receive buffer and the ring of raw
// frame buffers, and the frame transfer thread; it offers the SDK instance
// one flat set of operations (CameraDevice) and hands the product steps a
// view of itself (ProductStepHost).
//
// Threads: application threads call every operation; the frame transfer
// thread (frame_transfer.cpp) runs while acquiring and touches only the
// controller's stream and FPGA registers, the receive buffer, the ring, the
// flags below marked atomic, and the sensor driver's exposure and reset pulse.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "camera/camera_device.h"
#include "camera/frame_ring.h"
#include "camera/product_steps.h"
#include "platform/memory/zeroed_block.h"
#include "platform/sync/event.h"
#include "sensors/sensor_descriptor.h"
#include "usb/frame_record.h"

namespace lumvek {

class CQuelroCy3Cam;
class CSensorBase;
struct ProductRow;

inline constexpr int kDefaultFrameTimeoutMs = 5000;
inline constexpr int kMaxDevicesInTable = 32;

class CLumvekU3K7Base : public CameraDevice, public ProductStepHost {
public:
    CLumvekU3K7Base();
    ~CLumvekU3K7Base() override;

    // ---- Device and open-device table ----
    int CreateController(const fx3::Guid* interfaceClass) override;
    int InitializeDevice();
    int Release() override;
    int ReadDeviceInfo(uint8_t* block64);
    int ReadDeviceInfoB1(uint8_t* block64);
    int OpenDeviceNumber(int deviceNumber);  // 0 on success, -1 on failure
    int CreateSensor(int deviceNumber) override;
    int IsDeviceNumberPresent(int deviceNumber) override;
    int CountDevices(int productId) override;
    int GetDeviceName(int entryIndex, char* out, size_t capacity);
    int SetProductId(int productId) override;
    int GetProductId() override { return productId_; }
    int GetEntryVendorId(int index);
    int GetEntryProductId(int index);
    int GetEntryDeviceNumber(int index);
    int IsFrameDirectProduct() const;
    int GetOpenDeviceNumber() override { return openDeviceNumber_; }

    // ---- Acquisition (frame_transfer.cpp) ----
    int StartAcquisition(int mode) override;
    int StopAcquisition() override;
    // Copies a frame out with the raw orientation undone. `length` is the
    // size of `buffer`: fails when it is below the frame byte count.
    int CopyFrame(uint8_t* buffer, size_t length, bool oldest, int flag);
    int SetAcquisitionMode(int mode);
    int StopTransfer();
    int RunHeaderedTransfer();
    int RunDirectTransfer();
    int UpdateFrameGeometry();
    int GetMaxDevices() override { return kMaxDevicesInTable; }
    int ReadFrameTag();
    int RunSingleFrame();
    int GetFirstFrame(uint8_t* buffer, size_t length, int flag);  // -2 for a null buffer, else 0
    int SetFrameTimeout(int timeoutMs) override;
    int WaitFrame(int timeoutMs) override;
    int GetLatestFrame(uint8_t* buffer, size_t capacity, int flag) override;

    // ---- Sensor configuration ----
    int SetColorMode(int mode) override;
    int SetSpeedMode(int mode);
    int SetCaptureWindow(int x, int y, int width, int height, int subSampleMode) override;
    int GetCaptureWindow(int* x, int* y, int* width, int* height, int* subSampleMode) override;
    int SetTriggerMode(int mode, int force) override;
    int GetFreeWidthFlag() override;
    int GetFreeHeightFlag() override;
    int GetFullWidth() override;
    int GetFullHeight() override;
    int SetMirrorH(int on) override;
    int SetMirrorV(int on) override;
    int GetMirrorH() override;
    int GetMirrorV() override;
    int IsMirrorHInSensor() override;
    int IsMirrorVInSensor() override;

    // ---- Gains and exposure ----
    int SetGlobalGain(int gain) override;
    int GetGlobalGain() override;
    int GetGlobalGainMin() override;
    int GetGlobalGainMax() override;
    int GetGlobalGainDefault() override;
    int SetColorGainRed(int value) override;
    int SetColorGainGreen1(int value) override;
    int SetColorGainGreen2(int value) override;
    int SetColorGainBlue(int value) override;
    int GetColorGainRed() override;
    int GetColorGainGreen1() override;
    int GetColorGainGreen2() override;
    int GetColorGainBlue() override;
    int GetColorGainMin() override;
    int GetColorGainMax() override;
    int GetColorGainDefault() override;
    int SetExposure(int value) override;
    int GetExposure() override;
    int GetExposureMin() override;
    int GetExposureMax() override;
    int GetExposureDefault() override;
    int IsExposureTimeExAvailable() override;
    int SetExposureSeconds(double seconds) override;
    int GetExposureTimeEx(double* seconds) override;
    int GetExposureTimeExMin(double* seconds) override;
    int GetExposureTimeExMax(double* seconds) override;
    int GetExposureTimeExDefault(double* seconds) override;
    int SetChannelGain(int channel, int value) override;
    int GetChannelGain(int channel, int* value) override;
    int GetChannelGainMin() override;
    int GetChannelGainMax() override;
    int SetChannelOffset(int channel, int value) override;
    int GetChannelOffset(int channel, int* value) override;
    int GetChannelOffsetMin() override;
    int GetChannelOffsetMax() override;

    // ---- Forwarded sensor features ----
    int IsBlackLevelAvailable() override;
    int SetBlackLevel(int value) override;
    int GetBlackLevel(int* value) override;
    int GetBlackLevelDefault(int* value) override;
    int GetChannelGainDefault(int* value) override;
    int GetChannelOffsetDefault(int* value) override;
    int IsCoolingSupported() override;
    int GetCooling() override;
    int SetCooling(int on) override;
    int IsTemperatureAvailable() override;
    int GetTemperature(double* celsius) override;
    int IsShortExposureModeAvailable() override;
    int GetShortExposureMode(int* on) override;
    int SetShortExposureMode(int on) override;
    int IsGainModeAvailable() override;
    int GetGainMode() override;
    int SetGainMode(int mode) override;
    int IsExtUnitAvailable() override;
    int SetExtUnitMode(int mode) override;
    int RestartSensorStream() override;
    int ReceiveText(char* buffer, int length);
    int SendText(const char* text, int length);

    // ---- Further forwarded sensor operations (lumvek_u3k7_sensor_features.cpp) ----
    // Each goes unchanged to the sensor driver's operation of the same role;
    // 0 without a driver (-1 for the mode getters that report -1).
    int SetExposureLines(int lines);
    int GetExposureLines(int* lines);
    int GetExposureLinesMin(int* value);
    int GetExposureLinesMax(int* value);
    int GetExposureLinesDefault(int* value);
    int IsGainStageAvailable();
    int SetGainStage(int index);
    int GetGainStage(int* index);
    int ReadGainStage(int* index);
    int GetGainStageMin(int* value);
    int GetGainStageMax(int* value);
    int GetGainStageDefault(int* value);
    int GetGainStageLabel(int index, char* text, size_t capacity);
    int GetClockMode(int* mode);
    int SetReadoutMode(int mode);
    int GetReadoutMode(int* mode);
    int GetSensorTriggerMode(int* mode);
    int SetTransferBits(int sixteenBits);
    int SetAuxMode(int mode);
    int IsAuxOutputAvailable();
    int GetAuxOutput(int* on);
    int SetAuxOutput(int on);
    int IsExtUnitPresent(int* present);
    int IsTemperatureControlAvailable();
    int GetSensorTemperature(int* celsius);
    int SetTargetTemperature(int celsius);
    int IsInfoRecordAvailable();
    int GetInfoRecord(int* a, uint16_t* b, uint8_t* c, uint8_t* d);
    int IsSecondModeAvailable();
    int GetSecondMode();  // -1 when unsupported
    int SetSecondMode(int mode);
    int WriteRegisterWhenIdle(int address, int value);
    int ReadRegisterWhenIdle(int address, int* ok);  // the value; ok 1 on success
    int GetChannelGainDefault();
    int GetChannelOffsetDefault();
    int GetBlackLevelMin(int* value) override;
    int GetBlackLevelMax(int* value) override;
    int GetMirrorHDefault();
    int GetMirrorVDefault();
    int GetDefaultWidth();
    int GetDefaultHeight();
    int GetLineLength();
    int GetFrameLength();
    int GetSensorInfo(SensorDescriptor* out);
    int KickSensorStream();
    int PulseSensorReset();
    int HasFirmwareFeature();

    // ---- Registers, serial ROM ----
    int WriteRegister(int bank, int address, int value) override;
    int ReadRegister(int bank, int address, int* ok) override;
    int WriteFpgaRegister(int reg, int value) override;
    int ReadFpgaRegister(int reg, int* ok) override;
    int WriteSromByte(uint16_t address, uint8_t value) override;
    int ReadSromByte(uint16_t address, uint8_t* value) override;
    int SetSamplingRate(int index, int mode, int* value) override;
    int WriteUserByte(uint8_t value);
    int ReadUserByte(uint8_t* value);

    // For tests and diagnostics.
    [[nodiscard]] const FrameRing& ring() const { return ring_; }
    [[nodiscard]] int frameByteCount() const { return frameBytes_.load(); }
    [[nodiscard]] int frameTimeoutMs() const { return frameTimeoutMs_.load(); }
    [[nodiscard]] bool acquisitionRunning() const { return running_.load() != 0; }
    [[nodiscard]] int lastFrameTag() const { return lastFrameTag_.load(); }
    // An exposure waits for the transfer thread (products reprogrammed between frames).
    [[nodiscard]] bool deferredExposurePending() const { return deferredExposurePending_.load() != 0; }
    [[nodiscard]] CQuelroCy3Cam* controller() const { return controller_.get(); }
    [[nodiscard]] CSensorBase* sensor() const { return sensor_.get(); }
    [[nodiscard]] size_t receiveCapacity() const { return receiveCapacity_; }
    // Frames stored in the ring since construction (a statistics word).
    [[nodiscard]] uint32_t framesStored() const { return framesStored_.load(); }

    // ---- ProductStepHost ----
    CControllerBase* stepController() override;
    CSensorBase* stepSensor() override { return sensor_.get(); }
    int stepReadReadyStatus(uint8_t* status) override;
    int stepWriteOutputMode(uint8_t mode) override;
    int stepResetPort() override;
    int stepResetPipe(uint8_t endpoint) override;
    int stepRestartStream() override;
    int stepReadSromByte(uint16_t address, uint8_t* value) override;
    int stepWriteSromByte(uint16_t address, uint8_t value) override;
    const uint8_t* stepDeviceInfo() override { return deviceInfo_.data(); }
    int stepStartAcquisition(int mode) override { return StartAcquisition(mode); }
    int stepWaitAcquisitionEnd(uint32_t timeoutMs) override;
    int stepWaitFrame(uint32_t timeoutMs) override { return WaitFrame(static_cast<int>(timeoutMs)); }
    int stepReadFrameTag() override { return ReadFrameTag(); }

private:
    const ProductRow& row() const;
    void ensureFrameEvent();
    std::shared_ptr<platform::Event> frameEvent() const;
    void signalFrameEvent();
    void storeFrame(FrameRecord& record, int slot);
    // CopyFrame; *slot receives the ring buffer copied (-1 when none).
    int copyFrameOut(uint8_t* buffer, size_t length, bool oldest, int flag, int* slot);
    void pulseFpgaReset();
    void threadMain();

    std::unique_ptr<CQuelroCy3Cam> controller_;
    std::array<uint8_t, 64> deviceInfo_{};           // reply of request 0xB0 at initialisation
    platform::ZeroedBlock receiveBuffer_;             // frame-sized; filled by bulk reads
    size_t receiveCapacity_ = 0;
    std::atomic<int> acquisitionMode_{0};
    int productId_ = -1;
    std::atomic<int> colorMode_{0};
    int triggerMode_ = -1;
    FrameRing ring_;
    std::atomic<int> frameBytes_{0};
    std::atomic<bool> frameError_{false};
    mutable std::mutex eventMutex_;                  // guards frameEvent_ (the pointer)
    std::shared_ptr<platform::Event> frameEvent_;    // auto-reset: one signal per stored frame
    std::atomic<int> geometryStale_{1};
    std::atomic<uint32_t> framesStored_{0};  // written by the transfer thread only
    std::unique_ptr<CSensorBase> sensor_;
    std::atomic<int> lastFrameTag_{0};
    int openDeviceNumber_ = 0;
    std::atomic<int> frameTimeoutMs_{kDefaultFrameTimeoutMs};
    std::atomic<int> deferredExposurePending_{0};
    std::atomic<int> deferredExposureValue_{0};
    std::thread thread_;
    std::atomic<int> running_{0};
    // Set (manual reset) when this object's thread body returns. One per
    // device object and per start, never shared by name with other objects.
    std::shared_ptr<platform::Event> threadEnd_;
};

} // namespace lumvek
