#pragma once
// CLumvek: the SDK instance behind one handle. It owns the camera device
// object, the image buffers, the reference frames and defect masks, and the
// caches of every setting the exports read back; it reports failures through
// its error history and the error message to the notification window.
//
// Threads: application threads call its operations (the handle registry
// keeps it alive while any call is inside); while previewing, the worker
// thread runs the frame loop; while recording, the recorder thread reads the
// newest picture; the camera device object runs its own transfer thread.
//
// Locks, always taken in this order (a thread holding one never waits for
// one above it):
//   1. controlLock_   acquisition controls and camera selection (application
//                     threads only; never taken by the worker).
//   2. deviceLock_    every application-thread call into the camera device
//                     object, and the worker's automatic exposure and gain
//                     step; never held while joining the worker or waiting
//                     for a frame. The transfer thread's own sensor calls
//                     (deferred exposure, the FPGA reset pulse) need no lock:
//                     application threads only store the deferred value, and
//                     each register transfer holds the controller's lock.
//   3. frameLock_     raw and output buffers, frame records, configured mode
//                     and window, the capture window, configuration list;
//                     the worker holds it while it processes one frame.
//                     Nothing waits for the camera, the disk or a USB round
//                     trip while holding it.
//   4. the mask lock  inside the defect planes (reference frames and masks);
//                     mask files are read and written on copies outside it.
//   5. settingsLock_  a leaf: the setting records the frame loop copies once
//                     per frame.
// Messages are only ever posted (queued, never handled on the posting
// thread), so posting under a lock cannot deadlock.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "LumvekSdk.h"
#include "camera/camera_device.h"
#include "dialogs/dialog_view.h"
#include "imaging/image_buffer.h"
#include "imaging/correction/defect_planes.h"
#include "imaging/pipeline/frame_pipeline.h"
#include "instance/error_history.h"
#include "instance/instance_state.h"
#include "instance/preview_window.h"
#include "output/avi/avi_recorder.h"
#include "platform/sync/event.h"
#include "settings/settings_records.h"
#include "settings/settings_store.h"

namespace lumvek {

// The image buffers of an instance. The reference frames and defect masks
// live in the defect planes, the preview's scaling buffer in the preview.
enum class BufferId : int {
    Raw8,
    Raw16,
    Out24,
    Out32,
    Out48,
    Out64,
    // The full frame the device delivers when it is larger than the capture
    // window (the R13 reads out its whole sensor): the window is cut from it.
    Delivery,
    Count
};

// The library's camera model.
inline constexpr int kProductR13 = 0x3090;
inline constexpr const char* kProductString = "LumvekR13-USB3-K7";
inline constexpr int kFullWidth = 2336;
inline constexpr int kFullHeight = 1752;

// Image settings kept by the instance (what the pipeline reads per frame).
struct ImageSettings {
    FilterSettings filter;
    GraySettings gray;
    int32_t autoWhiteBalance = 0;
    int32_t whiteBalanceOneShot[2] = {0, 0};
    int32_t grayMeasureRequest = 0;  // selector 28
    int32_t maskFilter = 0;          // selector 103
    int32_t dotFilter = 0;           // selector 102
};

// A function that makes the camera device object (tests stand in their own).
using CameraDeviceFactory = std::unique_ptr<CameraDevice> (*)();

class CLumvek {
public:
    explicit CLumvek(CameraDeviceFactory deviceFactory = &createCameraDevice);
    virtual ~CLumvek();
    CLumvek(const CLumvek&) = delete;
    CLumvek& operator=(const CLumvek&) = delete;

    // ---- Lifecycle and device selection ----
    int Initialize(HWND notifyWindow);
    int SetDeviceNumber(int index);
    int EnumDevice(char names[10][256]);
    int EnumDeviceW(char16_t names[10][256]);
    int GetDeviceName(int index, char* buffer, int size);
    int GetDeviceNameW(int index, char16_t* buffer, int size);
    int GetCameraInfo(LumvekCameraInfo* record);

    // ---- Error history ----
    int GetLastError() { return errors_.pop(); }
    // Pushes code and posts the error message (when a notification window is set).
    void ReportError(int code);
    // Posts the error message without pushing (the paths the interface names).
    void PostErrorOnly(int code);

    // ---- Small settings ----
    int SetColorMode(int bits);
    int GetColorMode() const;
    int SetSubSample(int mode);
    int GetSubSample() const { return subSample_; }
    int SetWaitTime(int ms);
    int GetWaitTime() const { return waitTime_; }
    int SetAutoIris(int mode);
    int GetAutoIris(int* ok);
    int SetMirrorH(int on);
    int SetMirrorV(int on);
    int GetMirrorH();
    int GetMirrorV();
    int SetExposureTimeEx(double seconds);
    double GetExposureTimeEx(int* ok);
    int SetRealExposureTime(int microseconds);
    int GetRealExposureTime(int* ok);
    double GetTemperatureEx(int* ok);
    int LoadConfigFile(const char* path);
    int GetStatus() const { return 0; }
    int GetSamplingRate(int* value);
    // Operations this camera does not offer: code 11 pushed and posted
    // (result 0, or -1 for the configuration filter), or only posted.
    int NotSupported();
    int NotSupportedConfigFilter();
    int NotSupportedPostOnly();

    // ---- Filter selectors ----
    int GetFilterValue(int selector, int* ok);
    int SetFilterValue(int selector, int value);

    // ---- Registers, serial ROM, I/O port ----
    int ReadRegister(int address, int* ok);
    int WriteRegister(int address, int value);
    int FpgaReadRegister(int address, int* ok);
    int FpgaWriteRegister(int address, int value);
    int GetIOPort(unsigned char* value);
    int SetIOPort(unsigned char value);
    int ReadSromID(int address, int* ok);
    int WriteSromID(int address, int value);
    int SetSamplingRate(int rate);

    // ---- Capture engine ----
    int Capture();
    int Preview();
    int StartPreview();
    int StopPreview();
    int Close();
    int SnapShot(void* buffer, int size, int topDown);
    int GetImage(void* buffer, int size, int topDown);
    int CallBackPreview(HWND window, void* buffer, int size, int topDown);
    int SetPreviewWindow(HWND parent, int left, int top, int right, int bottom);
    int Width() const;
    int Height() const;
    int SetCaptureWindow(int width, int height);
    int SetCaptureWindowEx(int th, int ehs, int eh, int tv, int evs, int ev);
    int GetCaptureWindowEx(int* th, int* ehs, int* eh, int* tv, int* evs, int* ev) const;

    // ---- Files ----
    int SaveImage(const char* path, int fileType);
    int Record(const char* path, int milliseconds, int showWindow);
    int SaveMaskFile(const char* path);
    int LoadMaskFile(const char* path);
    int UpdateMaskData(int kind);

    // ---- Settings dialogs ----
    int SetCameraDlg(HWND owner);
    int SetImageDlg(HWND owner);
    int SetAnalogDlg(HWND owner);
    // Shows the dialogs with view instead of the GTK module (null: the module again).
    void setDialogView(std::unique_ptr<dialogs::DialogView> view);

    // The instance's state (see instance_state.h).
    [[nodiscard]] InstanceState state() const;

private:
    friend struct SelectorOps;
    friend class CLumvekInternals;  // read-only views for tests and diagnostics

    // Copies of records other threads write, each taken under its lock.
    [[nodiscard]] CaptureWindowRecord captureWindow() const;
    [[nodiscard]] ImageSettings imageSettings() const;
    [[nodiscard]] GainSettings gainSettings() const;
    [[nodiscard]] std::vector<std::pair<int32_t, int32_t>> configList() const;

    // What the recorder thread reads: the newest processed picture, under the frame lock.
    class RecorderSource final : public RecorderFrameSource {
    public:
        explicit RecorderSource(CLumvek& self) : self_(self) {}
        bool withNewestPicture(const std::function<void(const ImageBuffer& picture)>& use) override;

    private:
        CLumvek& self_;
    };

    // Whether op may run now; a refusal is reported as code 1.
    [[nodiscard]] bool admit(InstanceOperation op);
    [[nodiscard]] ImageBuffer& buf(BufferId id) { return *buffers_[static_cast<int>(id)]; }
    bool allocateReferenceFrames();
    void loadGroups();
    void saveGroups();
    void restoreDeviceSettings();
    void readChannelBlock();
    void writeChannelBlock();
    void applyChannelValues();
    [[nodiscard]] GainDefaults gainDefaults() const;
    void refreshExposureSeconds();
    bool formatDeviceName(int index, char* buffer, size_t size);

    // Capture engine (capture_engine.cpp, frame_loop.cpp).
    enum CaptureState : int32_t { kIdle = 0, kPreview = 1, kCapture = 2 };
    bool validWindow() const;
    int Configure();
    // Fixes the configured mode, the window cut from each frame and the
    // delivered size, and makes the buffers they need, under frameLock_.
    bool allocateFrameBuffers(int mode, const CaptureWindow& window, int deliveredWidth, int deliveredHeight);
    // Acquisition start and stop on the device, under deviceLock_.
    [[nodiscard]] int startAcquisition(int mode);
    void stopAcquisition();
    // Writes the capture window under frameLock_ (callers hold controlLock_).
    void setWindow(const CaptureWindowRecord& window);
    void restoreForCapture();
    int startPreviewFromIdle();
    void stopWorker();
    int startWindowAndPreview();
    bool createPreviewWindowIfWanted();
    void setCallback(HWND window, void* buffer, int size, int topDown);
    // Gains and exposure from the cache to the camera, in the camera's order.
    void restoreGainsAndExposure(const GainSettings& gain);
    void reconfigureWhileAcquiring();
    void programWindowOrReconfigure();
    void frameLoop();
    // Reads the newest frame into the raw buffer of the configured mode
    // (window cut out, rows re-strided); caller holds frameLock_.
    bool readFrame();
    // Processes the raw frame into the output buffer; caller holds frameLock_.
    // Returns the automatic exposure or gain correction the frame asks for
    // (0: none), for applyAutoIris once the frame lock is released. With a
    // delivery, the finished rows also go there, and *delivered says whether
    // they did.
    [[nodiscard]] double processFrame(RowDelivery delivery = {}, bool* delivered = nullptr);
    // Whether posting another frame message would rewrite a record the
    // application may still read; caller holds frameLock_.
    [[nodiscard]] bool applicationIsBehind() const;
    // Scales exposure or gain by d (0: nothing) on the camera; USB round
    // trips under deviceLock_, never under frameLock_.
    void applyAutoIris(double d);
    [[nodiscard]] ImageBuffer& rawBuffer();
    [[nodiscard]] ImageBuffer& outputBuffer();
    bool copyOutput(void* buffer, int size, int topDown, HWND callbackWindow);
    void drawPreview();
    [[nodiscard]] PreviewPlacement previewPlacement() const;
    void updateFrameRate();
    void postFrameMessage(HWND window, uintptr_t wParam, intptr_t lParam);

    // Device and buffers.
    CameraDeviceFactory deviceFactory_;
    std::unique_ptr<CameraDevice> device_;
    std::array<std::unique_ptr<ImageBuffer>, static_cast<int>(BufferId::Count)> buffers_{};
    std::unique_ptr<DefectPlanes> planes_;
    std::unique_ptr<FramePipeline> pipeline_;
    RecorderSource recorderSource_{*this};
    std::unique_ptr<AviRecorder> recorder_;  // never stopped while frameLock_ is held

    // Capture window and the per-camera values from the settings store.
    CaptureWindowRecord window_;  // written under controlLock_ and frameLock_; read under either
    SettingsStore store_;

    // Lock 2 of the order above: serialises every call into the device
    // object (its sensor driver keeps no lock of its own) between application
    // threads and the frame loop's automatic exposure and gain step.
    mutable std::recursive_mutex deviceLock_;

    // Image settings and cached device settings (guarded by settingsLock_).
    mutable std::mutex settingsLock_;
    ImageSettings image_;
    GainSettings gain_;  // restored to the camera at every open and capture configuration
    int32_t coolingOn_ = 0;
    int32_t shortExposureMode_ = 0;
    std::array<int32_t, 4> channelGain_{};
    std::array<int32_t, 4> channelOffset_{};
    bool channelBlockReadWhole_ = false;  // the channel block is written back only then
    std::array<uint8_t, 16> channelBlockInRom_{};  // the channel block as read at open (or last written)
    int32_t realExposureUnits_ = 1;  // from SetRealExposureTime, 100 us units
    int32_t lastRealExposure_ = 0;

    // Synchronisation.
    mutable std::mutex frameLock_;  // raw and output buffers, frame records, configuration list
    bool openedBefore_ = false;
    std::vector<std::pair<int32_t, int32_t>> configList_;  // guarded by frameLock_

    // Windows.
    HWND notifyWindow_ = nullptr;
    HWND previewParent_ = nullptr;
    int previewRect_[4] = {0, 0, kFullWidth, kFullHeight};
    PreviewWindow preview_;  // drawn by the frame loop under frameLock_

    // Modes. The colour mode and window a frame uses are the configured ones
    // (configuredMode_, frameWindow_), fixed by Configure.
    std::atomic<int32_t> colorModeIndex_{0};
    int32_t subSample_ = 0;
    std::atomic<int32_t> waitTime_{10};
    int32_t clock_ = 0;
    int32_t configuredMode_ = 0;
    CaptureWindow frameWindow_;       // the window cut out of each delivered frame
    int deliveredWidth_ = 0;          // what the device delivers
    int deliveredHeight_ = 0;

    // Capture state and the frame loop.
    std::atomic<int32_t> captureState_{kIdle};
    std::atomic<int32_t> runFlag_{0};
    std::thread worker_;
    platform::Event workerWake_{platform::Event::Reset::Manual};  // cuts the loop's pause short at stop
    // Lock 1 of the order above: serialises the acquisition controls
    // (capture, preview, stop, close, reconfiguration, camera selection) of
    // application threads; never taken by the worker.
    std::recursive_mutex controlLock_;
    bool deviceMirrorsV_ = false;  // fixed at Configure
    bool deviceMirrorsH_ = false;
    std::atomic<int32_t> imageReady_{0};

    // Callback delivery (written by application threads while idle or under
    // frameLock_; read by the frame loop under frameLock_).
    HWND callbackWindow_ = nullptr;
    void* callbackBuffer_ = nullptr;
    int callbackSize_ = 0;
    int callbackTopDown_ = 0;
    // Frame records handed out with the frame messages: a ring, so a record
    // stays untouched while the application reads it until well after the
    // next message has been posted.
    static constexpr int kFrameRecords = 4;
    std::array<LumvekFrameInfo, kFrameRecords> frameRecords_{};
    int nextFrameRecord_ = 0;
    LumvekFrameInfo droppedRecord_{};  // what a frame not delivered fills instead
    std::atomic<uint32_t> framesDropped_{0};  // frames not delivered: the application was behind
    uint32_t frameCount_ = 0;
    uint32_t lastRateTime_ = 0;
    std::atomic<int32_t> frameRateX10_{0};

    ErrorHistory errors_;
    int cameraNumber_ = 0;

    // Settings dialogs (lumvek_dialogs.cpp).
    [[nodiscard]] bool cameraOpen();
    [[nodiscard]] dialogs::DialogView* dialogView();
    // The view a dialog is shown with: null (code 1 reported) without an
    // open camera, null (code 4) when no dialog can be shown.
    [[nodiscard]] dialogs::DialogView* viewForDialog();
    std::unique_ptr<dialogs::DialogView> dialogView_;
};

} // namespace lumvek
