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
//
// Locks, in the order a thread may take them:
//   lock_        the device object's own: held for the whole of every
//                operation that reaches the controller or the sensor driver
//                (selecting a camera, every forwarded setting, the modes, the
//                geometry, starting and stopping acquisition). A camera
//                selection replaces the driver under it, so no caller can
//                reach a driver being freed. The transfer thread never takes
//                it, so a holder may wait for that thread to end.
//   driverLock_  calls into the sensor driver: taken under lock_ around each
//                call an application thread makes (and the product steps
//                that make them), and by the transfer thread for the deferred
//                exposure. Never held while waiting for the transfer thread;
//                the trigger steps, which start acquisition and wait for a
//                frame, run without it (no product with a trigger step
//                defers its exposure).
//   layoutLock_  the copy layout the frame path reads (a few words; leaf).
//   eventMutex_  the frame event and thread-end event pointers (leaf).
// Taken inside them by the callees: the frame ring's lock; the open-device
// table's process lock, then its named lock (table operations, under lock_);
// a sensor driver's serial lock or sampler lock; the controller's register
// lock (innermost). The frame path (WaitFrame, CopyFrame, GetLatestFrame,
// GetFirstFrame) and the diagnostic getters take neither lock_ nor
// driverLock_, and hold no lock across a wait.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "camera/camera_device.h"
#include "camera/frame_ring.h"
#include "camera/product_steps.h"
#include "platform/memory/zeroed_block.h"
#include "platform/sync/event.h"
#include "platform/sync/thread_annotations.h"
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

    // Every public operation takes lock_ itself (EXCLUDES) unless it says
    // otherwise; internally the *Locked variants are called with it held.

    // ---- Device and open-device table ----
    int CreateController(const fx3::Guid* interfaceClass) override EXCLUDES(lock_);
    int InitializeDevice() EXCLUDES(lock_);
    int Release() override EXCLUDES(lock_);
    int ReadDeviceInfo(uint8_t* block64) EXCLUDES(lock_);
    int ReadDeviceInfoB1(uint8_t* block64) EXCLUDES(lock_);
    int OpenDeviceNumber(int deviceNumber) EXCLUDES(lock_);  // 0 on success, -1 on failure
    int CreateSensor(int deviceNumber) override EXCLUDES(lock_);
    int IsDeviceNumberPresent(int deviceNumber) override EXCLUDES(lock_);
    int CountDevices(int productId) override EXCLUDES(lock_);
    int GetDeviceName(int entryIndex, char* out, size_t capacity) EXCLUDES(lock_);
    int SetProductId(int productId) override;  // no lock: an atomic word
    int GetProductId() override { return productId_.load(); }
    int GetEntryVendorId(int index) EXCLUDES(lock_);
    int GetEntryProductId(int index) EXCLUDES(lock_);
    int GetEntryDeviceNumber(int index) EXCLUDES(lock_);
    int IsFrameDirectProduct() const;
    int GetOpenDeviceNumber() override { return openDeviceNumber_.load(); }

    // ---- Acquisition (frame_transfer.cpp) ----
    int StartAcquisition(int mode) override EXCLUDES(lock_);
    int StopAcquisition() override EXCLUDES(lock_);
    // Copies a frame out with the raw orientation undone. `length` is the
    // size of `buffer`: fails when it is below the frame byte count. Frame
    // path: no lock_.
    int CopyFrame(uint8_t* buffer, size_t length, bool oldest, int flag);
    int SetAcquisitionMode(int mode) EXCLUDES(lock_);
    int StopTransfer() EXCLUDES(lock_);
    int UpdateFrameGeometry() EXCLUDES(lock_);
    int GetMaxDevices() override { return kMaxDevicesInTable; }
    int ReadFrameTag() EXCLUDES(lock_);
    int RunSingleFrame() EXCLUDES(lock_);
    int GetFirstFrame(uint8_t* buffer, size_t length, int flag);  // -2 for a null buffer, else 0
    int SetFrameTimeout(int timeoutMs) override;
    int WaitFrame(int timeoutMs) override;
    int GetLatestFrame(uint8_t* buffer, size_t capacity, int flag) override;
    int GetLatestFrameStamped(uint8_t* buffer, size_t capacity, int flag, FrameStamp* stamp) override;
    int PinLatestFrame(std::optional<PinnedFrame>& out, size_t capacity, int flag) override EXCLUDES(layoutLock_);
    [[nodiscard]] TransferCountersSnapshot GetTransferCounters() override { return snapshotOf(counters_); }

    // ---- Sensor configuration ----
    int SetColorMode(int mode) override EXCLUDES(lock_);
    int SetSpeedMode(int mode) EXCLUDES(lock_);
    int SetCaptureWindow(int x, int y, int width, int height, int subSampleMode) override EXCLUDES(lock_);
    int GetCaptureWindow(int* x, int* y, int* width, int* height, int* subSampleMode) override EXCLUDES(lock_);
    int SetTriggerMode(int mode, int force) override EXCLUDES(lock_);
    int GetFreeWidthFlag() override EXCLUDES(lock_);
    int GetFreeHeightFlag() override EXCLUDES(lock_);
    int GetFullWidth() override EXCLUDES(lock_);
    int GetFullHeight() override EXCLUDES(lock_);
    int SetMirrorH(int on) override EXCLUDES(lock_);
    int SetMirrorV(int on) override EXCLUDES(lock_);
    int GetMirrorH() override EXCLUDES(lock_);
    int GetMirrorV() override EXCLUDES(lock_);
    int IsMirrorHInSensor() override EXCLUDES(lock_);
    int IsMirrorVInSensor() override EXCLUDES(lock_);

    // ---- Gains and exposure (lumvek_u3k7_forwarding.cpp; each takes lock_) ----
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

    // ---- Forwarded sensor features (each takes lock_) ----
    int IsBlackLevelAvailable() override;
    int SetBlackLevel(int value) override;
    int GetBlackLevel(int* value) override;
    int GetBlackLevelDefault(int* value) override;
    int GetChannelGainDefault(int* value) override;
    int GetChannelOffsetDefault(int* value) override;
    int IsCoolingSupported() override EXCLUDES(lock_);
    int GetCooling() override EXCLUDES(lock_);
    int SetCooling(int on) override EXCLUDES(lock_);
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
    // Each goes unchanged to the sensor driver's operation of the same role,
    // under lock_; 0 without a driver (-1 for the mode getters that report -1).
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
    int WriteRegister(int bank, int address, int value) override EXCLUDES(lock_);
    int ReadRegister(int bank, int address, int* ok) override EXCLUDES(lock_);
    int WriteFpgaRegister(int reg, int value) override EXCLUDES(lock_);
    int ReadFpgaRegister(int reg, int* ok) override EXCLUDES(lock_);
    int WriteSromByte(uint16_t address, uint8_t value) override EXCLUDES(lock_);
    int ReadSromByte(uint16_t address, uint8_t* value) override EXCLUDES(lock_);
    int SetSamplingRate(int index, int mode, int* value) override EXCLUDES(lock_);
    int WriteUserByte(uint8_t value) EXCLUDES(lock_);
    int ReadUserByte(uint8_t* value) EXCLUDES(lock_);

    // For tests and diagnostics (no lock).
    [[nodiscard]] const FrameRing& ring() const { return ring_; }
    [[nodiscard]] int frameByteCount() const { return frameBytes_.load(); }
    [[nodiscard]] int frameTimeoutMs() const { return frameTimeoutMs_.load(); }
    [[nodiscard]] bool acquisitionRunning() const { return running_.load() != 0; }
    [[nodiscard]] int lastFrameTag() const { return lastFrameTag_.load(); }
    // An exposure waits for the transfer thread (products reprogrammed between frames).
    [[nodiscard]] bool deferredExposurePending() const { return deferredExposurePending_.load() != 0; }
    // Raw views for tests and the C++ interface's descriptor reads: valid
    // until the next camera selection or release, which the caller must not
    // run concurrently.
    [[nodiscard]] CQuelroCy3Cam* controller() const NO_THREAD_SAFETY_ANALYSIS { return controller_.get(); }
    [[nodiscard]] CSensorBase* sensor() const NO_THREAD_SAFETY_ANALYSIS { return sensor_.get(); }
    // Frames stored in the ring since construction (a statistics word).
    [[nodiscard]] uint32_t framesStored() const { return framesStored_.load(); }

    // ---- ProductStepHost: the product steps run with lock_ held, and all
    // but the trigger steps with driverLock_ as well ----
    CControllerBase* stepController() override REQUIRES(lock_);
    CSensorBase* stepSensor() override REQUIRES(lock_) { return sensor_.get(); }
    int stepReadReadyStatus(uint8_t* status) override REQUIRES(lock_);
    int stepWriteOutputMode(uint8_t mode) override REQUIRES(lock_);
    int stepResetPort() override REQUIRES(lock_);
    int stepResetPipe(uint8_t endpoint) override REQUIRES(lock_);
    int stepRestartStream() override REQUIRES(lock_);
    int stepReadSromByte(uint16_t address, uint8_t* value) override REQUIRES(lock_);
    int stepWriteSromByte(uint16_t address, uint8_t value) override REQUIRES(lock_);
    const uint8_t* stepDeviceInfo() override REQUIRES(lock_) { return deviceInfo_.data(); }
    int stepStartAcquisition(int mode) override REQUIRES(lock_) EXCLUDES(driverLock_) {
        return startAcquisitionLocked(mode);
    }
    // No lock: also what tests wait on.
    int stepWaitAcquisitionEnd(uint32_t timeoutMs) override;
    int stepWaitFrame(uint32_t timeoutMs) override { return WaitFrame(static_cast<int>(timeoutMs)); }
    int stepReadFrameTag() override REQUIRES(lock_) { return readFrameTagLocked(); }

private:
    // What the running transfer thread works with, fixed when it starts: the
    // controller and sensor driver cannot change under it, since selecting a
    // camera and releasing stop the thread first, under lock_.
    struct TransferContext {
        CQuelroCy3Cam* controller = nullptr;
        CSensorBase* sensor = nullptr;
        std::shared_ptr<platform::Event> end;  // set when the body returns
        int mode = 0;
    };
    // The frame copy's view of the frame layout, published under lock_
    // whenever the driver, its window or the geometry changes.
    struct CopyLayout {
        bool hasDriver = false;
        int width = 0;
        int height = 0;
        int rawOrientation = 0;
        int revision = 0;  // the driver's revision value, read for the last-row product only
    };

    const ProductRow& row() const;
    void ensureFrameEvent() EXCLUDES(eventMutex_);
    std::shared_ptr<platform::Event> frameEvent() const EXCLUDES(eventMutex_);
    void signalFrameEvent() EXCLUDES(eventMutex_);
    void storeFrame(FrameRecord& record, int slot, const FrameStamp& stamp = {});
    // CopyFrame; *slot receives the ring buffer copied (-1 when none),
    // *stamp (when given) what the transfer thread knew of the frame.
    int copyFrameOut(uint8_t* buffer, size_t length, bool oldest, int flag, int* slot, FrameStamp* stamp = nullptr)
        EXCLUDES(layoutLock_);
    // A newest frame taken by a reader: frames stored after the previous
    // one taken and before it were overwritten unread.
    void countTaken(const FrameStamp& stamp);
    void countStored(uint64_t bytes);
    void publishCopyLayout() REQUIRES(lock_, driverLock_) EXCLUDES(layoutLock_);
    void threadMain(const TransferContext& context);
    // Thread bodies.
    int RunHeaderedTransfer(const TransferContext& context);
    int RunDirectTransfer(const TransferContext& context);
    // The deferred exposure, applied by the transfer thread between frames.
    void applyDeferredExposure(CSensorBase* sensor) EXCLUDES(driverLock_);

    int releaseLocked() REQUIRES(lock_) EXCLUDES(driverLock_);
    int initializeDeviceLocked() REQUIRES(lock_) EXCLUDES(driverLock_);
    int createSensorLocked(int deviceNumber) REQUIRES(lock_) EXCLUDES(driverLock_);
    int startAcquisitionLocked(int mode) REQUIRES(lock_) EXCLUDES(driverLock_);
    int stopAcquisitionLocked() REQUIRES(lock_) EXCLUDES(driverLock_);
    int setAcquisitionModeLocked(int mode) REQUIRES(lock_) EXCLUDES(driverLock_);
    int stopTransferLocked() REQUIRES(lock_) EXCLUDES(driverLock_);
    int updateFrameGeometryLocked() REQUIRES(lock_) EXCLUDES(driverLock_);
    int readFrameTagLocked() REQUIRES(lock_);
    int writeSromByteLocked(uint16_t address, uint8_t value) REQUIRES(lock_);
    // Runs `call` on the sensor driver under lock_ and driverLock_;
    // `missing` without one.
    template <class Call>
    int withSensor(Call call, int missing = 0) EXCLUDES(lock_, driverLock_);

    mutable platform::Mutex lock_ ACQUIRED_BEFORE(driverLock_, layoutLock_, eventMutex_);
    mutable platform::Mutex driverLock_ ACQUIRED_BEFORE(layoutLock_, eventMutex_);
    mutable platform::Mutex layoutLock_;
    mutable platform::Mutex eventMutex_;

    std::unique_ptr<CQuelroCy3Cam> controller_ GUARDED_BY(lock_);
    std::array<uint8_t, 64> deviceInfo_ GUARDED_BY(lock_){};  // reply of request 0xB0 at initialisation
    // Frame-sized; filled by bulk reads. The transfer thread's while it runs,
    // lock_'s holders' otherwise (they stop the thread before changing it).
    platform::ZeroedBlock receiveBuffer_;
    size_t receiveCapacity_ = 0;
    std::atomic<int> acquisitionMode_{0};
    std::atomic<int> productId_{-1};
    std::atomic<int> colorMode_{0};
    int triggerMode_ GUARDED_BY(lock_) = -1;
    FrameRing ring_;
    std::atomic<int> frameBytes_{0};
    std::atomic<bool> frameError_{false};
    std::shared_ptr<platform::Event> frameEvent_ GUARDED_BY(eventMutex_);  // auto-reset: one signal per stored frame
    // Set (manual reset) when this object's thread body returns. One per
    // device object and per start, never shared by name with other objects.
    std::shared_ptr<platform::Event> threadEnd_ GUARDED_BY(eventMutex_);
    CopyLayout copyLayout_ GUARDED_BY(layoutLock_);
    std::atomic<int> geometryStale_{1};
    std::atomic<uint32_t> framesStored_{0};  // written by the transfer thread only
    TransferCounters counters_;  // atomics: written by the transfer thread and readers
    // The frame number of the last frame stored: the next start counts on
    // from it. Written by the transfer thread (or RunSingleFrame's caller).
    std::atomic<uint64_t> lastFrameNumber_{0};
    std::atomic<uint64_t> lastTakenSequence_{0};  // storedSequence of the last newest frame taken
    std::unique_ptr<CSensorBase> sensor_ GUARDED_BY(lock_);
    std::atomic<int> lastFrameTag_{0};
    std::atomic<int> openDeviceNumber_{0};  // written under lock_
    std::atomic<int> frameTimeoutMs_{kDefaultFrameTimeoutMs};
    std::atomic<int> deferredExposurePending_{0};
    std::atomic<int> deferredExposureValue_{0};
    std::thread thread_ GUARDED_BY(lock_);
    std::atomic<int> running_{0};
};

template <class Call>
int CLumvekU3K7Base::withSensor(Call call, int missing) {
    platform::MutexLock hold(lock_);
    if (!sensor_) {
        return missing;
    }
    platform::MutexLock driver(driverLock_);
    return call(*sensor_);
}

} // namespace lumvek
