#pragma once
// CLumvek: the SDK instance behind one handle, a facade over parts that each
// have one owner and one lock:
//   CameraSession       the camera device object and the open camera's
//                       channel block, cooling and short-exposure flags;
//   CaptureStateMachine the capture state and the guard every operation asks;
//   ImageControls       filter, gray and cached device settings, read by the
//                       frame loop as one snapshot per frame;
//   ErrorReporter       the error history and the error message;
//   CaptureEngine       the frame lock: buffers, capture window, frame
//                       records, callback fields, the per-frame work;
//   PreviewWindow, FinishedPicture  the preview window and the last finished
//                       picture, each behind a leaf lock of its own;
// and keeps the acquisition controls and the worker thread (controlLock_).
//
// Threads: application threads call its operations (the handle registry
// keeps it alive while any call is inside); while previewing, the worker
// thread runs the frame loop; while recording, the recorder thread reads the
// newest picture; the camera device object runs its own transfer thread.
//
// Locks, always taken in this order (a thread holding one never waits for
// one above it); none is recursive:
//   1. controlLock_          acquisition controls, camera selection,
//                            Initialize, the dialogs' before/after steps
//                            (application threads only; never the worker,
//                            which is joined under it).
//   2. CameraSession's lock  every call into the camera device object, from
//                            any thread; never held while joining a thread
//                            or waiting for a frame.
//   3. the frame lock        (CaptureEngine) raw and output buffers, frame
//                            records, callback fields, configured mode and
//                            window, the capture window, configuration list.
//                            No wait for the camera, the disk or a display
//                            round trip happens under it.
//   4. the mask lock         inside the defect planes (reference frames and
//                            masks).
//   5. leaves: ImageControls', PreviewWindow's, FinishedPicture's and
//      CaptureStateMachine's locks, the error history's lock, the
//      recorder's and the window layer's own locks.
// The frame side of the device object (frame waits and reads) is the
// consumer end of its frame ring, reached through a FramePort without lock 2
// while acquiring (camera selection is refused meanwhile).
// Messages are only ever posted (queued, never handled on the posting
// thread), so posting under a lock cannot deadlock.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "LumvekSdk.h"
#include "LumvekStream.h"
#include "camera/camera_device.h"
#include "dialogs/dialog_view.h"
#include "imaging/image_buffer.h"
#include "imaging/correction/defect_planes.h"
#include "imaging/pipeline/frame_pipeline.h"
#include "instance/camera_session.h"
#include "instance/capture_engine.h"
#include "instance/error_reporter.h"
#include "instance/finished_picture.h"
#include "instance/image_controls.h"
#include "instance/instance_state.h"
#include "instance/preview_window.h"
#include "output/avi/avi_recorder.h"
#include "platform/sync/event.h"
#include "platform/sync/thread_annotations.h"
#include "settings/settings_records.h"
#include "settings/settings_store.h"

namespace lumvek {

// The library's camera model.
inline constexpr int kProductR13 = 0x3090;
inline constexpr const char* kProductString = "LumvekR13-USB3-K7";
inline constexpr int kFullWidth = 2336;
inline constexpr int kFullHeight = 1752;

// A function that makes the camera device object (tests stand in their own).
using CameraDeviceFactory = std::unique_ptr<CameraDevice> (*)();

class CLumvek {
public:
    explicit CLumvek(CameraDeviceFactory deviceFactory = &createCameraDevice);
    virtual ~CLumvek();
    CLumvek(const CLumvek&) = delete;
    CLumvek& operator=(const CLumvek&) = delete;

    // ---- Lifecycle and device selection ----
    int Initialize(HWND notifyWindow) EXCLUDES(controlLock_);
    int SetDeviceNumber(int index) EXCLUDES(controlLock_);
    int EnumDevice(char names[10][256]);
    int EnumDeviceW(LUMVEK_WCHAR names[10][256]);
    int GetDeviceName(int index, char* buffer, int size);
    int GetDeviceNameW(int index, LUMVEK_WCHAR* buffer, int size);
    int GetCameraInfo(LumvekCameraInfo* record);
    // Why the capture window (x, y, width, height in sensor pixels) would be
    // refused, in the words of camera/window_rule.h; empty when accepted.
    [[nodiscard]] std::string CaptureWindowProblem(int x, int y, int width, int height);
    // The Bayer mode (0..3) of the raw frames (colour modes 8 and 16) this
    // instance delivers now: the stored mode moved by the mirrors in force.
    [[nodiscard]] int RawBayerMode();

    // ---- Error history ----
    int GetLastError() { return errors_.pop(); }
    // Pushes code and posts the error message (when a notification window is set).
    void ReportError(int code) { errors_.report(code); }
    // Posts the error message without pushing (the paths the interface names).
    void PostErrorOnly(int code) { errors_.postOnly(code); }

    // ---- Small settings ----
    int SetColorMode(int bits) EXCLUDES(controlLock_);
    int GetColorMode() const;
    int SetSubSample(int mode);
    int GetSubSample() const { return subSample_.load(); }
    int SetWaitTime(int ms);
    int GetWaitTime() const { return waitTime_.load(); }
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
    int Capture() EXCLUDES(controlLock_);
    int Preview() EXCLUDES(controlLock_);
    int StartPreview() EXCLUDES(controlLock_);
    int StopPreview() EXCLUDES(controlLock_);
    int Close() EXCLUDES(controlLock_);
    int SnapShot(void* buffer, int size, int topDown) EXCLUDES(controlLock_);
    int GetImage(void* buffer, int size, int topDown);
    // Frame metadata and stream statistics (LumvekStream.h): 1, or 0 with
    // the code reported.
    int GetFrameMetadata(LumvekFrameMetadata* metadata);
    int GetRecordMetadata(const LumvekFrameInfo* record, LumvekFrameMetadata* metadata);
    // GetImage; metadata (may be null; else its size word set) receives the picture's.
    int GetImageWithMetadata(void* buffer, int size, int topDown, LumvekFrameMetadata* metadata);
    int GetStreamStatistics(LumvekStreamStatistics* statistics);
    int ResetStreamStatistics();
    int CallBackPreview(HWND window, void* buffer, int size, int topDown) EXCLUDES(controlLock_);
    int SetPreviewWindow(HWND parent, int left, int top, int right, int bottom) EXCLUDES(controlLock_);
    int Width() const;
    int Height() const;
    int SetCaptureWindow(int width, int height) EXCLUDES(controlLock_);
    int SetCaptureWindowEx(int th, int ehs, int eh, int tv, int evs, int ev) EXCLUDES(controlLock_);
    int GetCaptureWindowEx(int* th, int* ehs, int* eh, int* tv, int* evs, int* ev) const;

    // ---- Files ----
    int SaveImage(const char* path, int fileType);
    int Record(const char* path, int milliseconds, int showWindow) EXCLUDES(controlLock_);
    int SaveMaskFile(const char* path);
    int LoadMaskFile(const char* path);
    int UpdateMaskData(int kind);

    // ---- Settings dialogs ----
    int SetCameraDlg(HWND owner) EXCLUDES(controlLock_);
    int SetImageDlg(HWND owner) EXCLUDES(controlLock_);
    int SetAnalogDlg(HWND owner) EXCLUDES(controlLock_);
    // Shows the dialogs with view instead of the GTK module (null: the module again).
    void setDialogView(std::unique_ptr<dialogs::DialogView> view) EXCLUDES(controlLock_);

    // The instance's state (see instance_state.h).
    [[nodiscard]] InstanceState state() const { return state_.state(); }

private:
    friend struct SelectorOps;
    friend class CLumvekInternals;  // read-only views for tests and diagnostics

    [[nodiscard]] CaptureWindowRecord captureWindow() const { return engine_.window(); }

    // What the recorder thread reads: the newest processed picture, under the frame lock.
    class RecorderSource final : public RecorderFrameSource {
    public:
        explicit RecorderSource(CLumvek& self) : self_(self) {}
        bool withNewestPicture(const std::function<void(const ImageBuffer& picture)>& use) override;

    private:
        CLumvek& self_;
    };

    // The guard: whether op may run now; a refusal is reported with its code
    // (admit) or only posted (admitPostOnly).
    [[nodiscard]] bool admit(InstanceOperation op);
    [[nodiscard]] bool admitPostOnly(InstanceOperation op);

    // ---- Lifecycle (lumvek_lifecycle.cpp) ----
    [[nodiscard]] int selectCamera(int index) REQUIRES(controlLock_);
    void loadGroups() REQUIRES(session_.mutex());
    void saveGroups();
    void restoreDeviceSettings() REQUIRES(session_.mutex());
    [[nodiscard]] GainDefaults gainDefaults() REQUIRES(session_.mutex());
    void refreshExposureSeconds() REQUIRES(session_.mutex());
    bool formatDeviceName(int index, char* buffer, size_t size);

    // ---- Capture controls (lumvek_capture.cpp, frame_loop.cpp) ----
    [[nodiscard]] bool validWindow(const CaptureWindowRecord& window) const;
    [[nodiscard]] int configure() REQUIRES(controlLock_) EXCLUDES(session_.mutex());
    // Starts the device's transfer and lends its frame side.
    [[nodiscard]] int startAcquisition(int mode, FramePort* port) EXCLUDES(session_.mutex());
    void stopAcquisition() EXCLUDES(session_.mutex());
    void restoreForCapture(CameraDevice& device) REQUIRES(session_.mutex());
    // Gains and exposure from the cache to the camera, in the camera's order.
    void restoreGainsAndExposure(CameraDevice& device, const GainSettings& gain);
    [[nodiscard]] int captureLocked() REQUIRES(controlLock_);
    [[nodiscard]] int startPreviewLocked() REQUIRES(controlLock_);
    [[nodiscard]] int startPreviewFromIdle() REQUIRES(controlLock_);
    [[nodiscard]] int stopPreviewLocked() REQUIRES(controlLock_);
    void closeLocked() REQUIRES(controlLock_);
    void stopWorker() REQUIRES(controlLock_) EXCLUDES(session_.mutex());
    [[nodiscard]] int startWindowAndPreview() REQUIRES(controlLock_);
    bool createPreviewWindowIfWanted() REQUIRES(controlLock_);
    void reconfigureWhileAcquiring() REQUIRES(controlLock_);
    void programWindowOrReconfigure() REQUIRES(controlLock_);
    void frameLoop(FramePort port);
    // Scales exposure or gain by d (0: nothing) on the camera; USB round
    // trips under the session lock, never under the frame lock.
    void applyAutoIris(double d) EXCLUDES(session_.mutex());
    [[nodiscard]] PreviewPlacement previewPlacement() const REQUIRES(controlLock_);
    void postFrameMessage(HWND window, uintptr_t wParam, intptr_t lParam);

    // ---- Dialogs (lumvek_dialogs.cpp) ----
    // The view a dialog is shown with: null (code 1 reported) without an
    // open camera, null (code 4) when no dialog can be shown.
    [[nodiscard]] dialogs::DialogView* viewForDialog() EXCLUDES(controlLock_);

    // The parts.
    const CameraDeviceFactory deviceFactory_;
    ErrorReporter errors_;
    CameraSession session_;
    ImageControls controls_;
    RecorderSource recorderSource_{*this};
    std::unique_ptr<AviRecorder> recorder_;  // never stopped while the frame lock is held
    CaptureStateMachine state_;
    SettingsStore store_;
    PreviewWindow preview_;     // its own lock: staged under the frame lock, presented after it
    FinishedPicture finished_;  // its own lock: what GetImage, SaveImage and the recorder read

    // Lock 1 of the order above.
    platform::Mutex controlLock_ ACQUIRED_BEFORE(session_.mutex(), engine_.lock());
    bool openedBefore_ GUARDED_BY(controlLock_) = false;
    HWND previewParent_ GUARDED_BY(controlLock_) = nullptr;
    int previewRect_[4] GUARDED_BY(controlLock_) = {0, 0, kFullWidth, kFullHeight};
    std::thread worker_ GUARDED_BY(controlLock_);
    std::unique_ptr<dialogs::DialogView> dialogView_ GUARDED_BY(controlLock_);

    // Lock 3 of the order above is the capture engine's.
    CaptureEngine engine_{controls_, preview_, finished_, errors_};

    // Plain values any thread reads and writes whole.
    std::atomic<int32_t> colorModeIndex_{0};
    std::atomic<int32_t> subSample_{0};
    std::atomic<int32_t> waitTime_{10};
    std::atomic<int32_t> clock_{0};
    std::atomic<int> cameraNumber_{0};
    std::atomic<int32_t> runFlag_{0};
    platform::Event workerWake_{platform::Event::Reset::Manual};  // cuts the loop's pause short at stop
};

} // namespace lumvek
