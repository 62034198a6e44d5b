#pragma once
// The capture state machine of an SDK instance and the one rule that says
// which operation each state allows. The state is kept here only: the
// capture engine, camera selection and Initialize tell the machine what they
// did; every operation asks refusal() before it starts.
#include <cstdint>
#include <functional>

#include "LumvekSdk.h"
#include "platform/sync/thread_annotations.h"

namespace lumvek {

enum class InstanceState : uint8_t {
    NoDevice,    // no camera device object (before Initialize, or it could not make one)
    NoCamera,    // a device object, no camera open (none present, several and none chosen, or opening failed)
    Idle,        // a camera open, no acquisition
    Capturing,   // Capture prepared the camera; SnapShot takes single frames
    Previewing,  // the worker thread runs the frame loop
    Recording,   // previewing, and the recorder thread writes an AVI file
};
inline constexpr int kInstanceStates = 6;

enum class InstanceOperation : uint8_t {
    UseDevice,     // every call that reaches the device object, its cameras' table or the mask planes
    SelectCamera,  // Lumvek_SetDeviceNumber: the frame loop must not run on the camera it replaces
    Capture,       // Lumvek_Capture
    SnapShot,      // Lumvek_SnapShot
    StartPreview,  // Lumvek_StartPreview
    Preview,       // Lumvek_Preview, Lumvek_CallBackPreview: the window first, then StartPreview
    Stop,          // Lumvek_StopPreview
    PlacePreview,  // Lumvek_SetPreviewWindow
    ReadPicture,   // Lumvek_GetImage: the last processed picture
    SavePicture,   // Lumvek_SaveImage
    ChangeColour,  // Lumvek_SetColorMode: buffers and frames change size
    ChangeWindow,  // the capture-window operations: the same, and the camera is programmed
    Record,        // Lumvek_Record
    OpenDialog,    // the settings dialogs: they show the open camera's ranges
};
inline constexpr int kInstanceOperations = 14;

// 0 when op may run in state, else the code it is refused with.
// pictureReady: a frame has been processed since the last Close.
[[nodiscard]] constexpr int refusalCode(InstanceState state, InstanceOperation op, bool pictureReady) {
    using S = InstanceState;
    using O = InstanceOperation;
    constexpr int kAllowed = 0;
    if (state == S::NoDevice && op != O::ChangeColour) {
        return LUMVEK_ERR_STATE;
    }
    const bool cameraOpen = state != S::NoCamera;
    switch (op) {
    case O::UseDevice:
    case O::Stop:
    case O::PlacePreview:
        return kAllowed;
    case O::ChangeColour:
    case O::ChangeWindow:
        // A recording keeps the size and depth it started with.
        return state == S::Recording ? LUMVEK_ERR_STATE : kAllowed;
    case O::SelectCamera:
        return state == S::Previewing || state == S::Recording ? LUMVEK_ERR_STATE : kAllowed;
    // Without an open camera these pass the guard and configuring refuses
    // them: code 2 when no camera is present, 7 when the device object has
    // no sensor to take the window.
    case O::Capture:
    case O::SnapShot:
        return state == S::Previewing || state == S::Recording ? LUMVEK_ERR_STATE : kAllowed;
    case O::StartPreview:
        return state == S::Capturing || state == S::Recording ? LUMVEK_ERR_STATE : kAllowed;
    case O::Preview:
        return state == S::Capturing || state == S::Recording ? LUMVEK_ERR_STATE : kAllowed;
    case O::Record:
        return state == S::Capturing || state == S::Recording ? LUMVEK_ERR_STATE : kAllowed;
    case O::ReadPicture:
        return pictureReady ? kAllowed : LUMVEK_ERR_MEMORY;
    case O::SavePicture:
        return pictureReady ? kAllowed : LUMVEK_ERR_STATE;
    case O::OpenDialog:
        return cameraOpen ? kAllowed : LUMVEK_ERR_STATE;
    }
    return LUMVEK_ERR_STATE;
}

// The state itself, under its own lock (a leaf). Transitions are made by
// holders of the instance's control lock; any thread may read.
class CaptureStateMachine {
public:
    // recording() tells whether the recorder thread is writing a file.
    explicit CaptureStateMachine(std::function<bool()> recording) : recording_(std::move(recording)) {}

    [[nodiscard]] InstanceState state() const EXCLUDES(lock_);
    // The guard: 0, or the code op is refused with now.
    [[nodiscard]] int refusal(InstanceOperation op) const EXCLUDES(lock_);

    // Initialize made the device object (or could not).
    void deviceMade(bool made) EXCLUDES(lock_);
    // A camera was opened (true) or could not be (false); acquisition ends.
    void cameraSelected(bool open) EXCLUDES(lock_);
    void captureStarted() EXCLUDES(lock_);
    void previewStarted() EXCLUDES(lock_);
    // Acquisition has ended (a camera stays open).
    void stopped() EXCLUDES(lock_);
    void setPictureReady(bool ready) EXCLUDES(lock_);

    [[nodiscard]] bool cameraOpen() const EXCLUDES(lock_);
    [[nodiscard]] bool capturing() const EXCLUDES(lock_);
    [[nodiscard]] bool previewing() const EXCLUDES(lock_);

private:
    [[nodiscard]] InstanceState stateLocked() const REQUIRES(lock_);

    const std::function<bool()> recording_;
    mutable platform::Mutex lock_;
    // Never Recording: that is Previewing while the recorder writes.
    InstanceState base_ GUARDED_BY(lock_) = InstanceState::NoDevice;
    bool cameraOpen_ GUARDED_BY(lock_) = false;  // where acquisition returns to: Idle, else NoCamera
    bool pictureReady_ GUARDED_BY(lock_) = false;
};

} // namespace lumvek
