#pragma once
// The state of an SDK instance and the one rule that says which capture and
// format operations each state allows. The state is derived, never stored
// twice: the device object's presence, the capture engine's state and the
// recorder's activity give it (CLumvek::state()).
#include <cstdint>

namespace lumvek {

enum class InstanceState : uint8_t {
    NoCamera,    // no camera device object: Initialize could not make one
    Idle,        // a device object, no acquisition
    Capturing,   // Capture prepared the camera; SnapShot takes single frames
    Previewing,  // the worker thread runs the frame loop
    Recording,   // previewing, and the recorder thread writes an AVI file
};

enum class InstanceOperation : uint8_t {
    Capture,        // Lumvek_Capture
    SnapShot,       // Lumvek_SnapShot
    StartPreview,   // Lumvek_StartPreview, Lumvek_Preview, Lumvek_CallBackPreview
    Stop,           // Lumvek_StopPreview, Lumvek_Close
    ReadPicture,    // Lumvek_GetImage, Lumvek_SetPreviewWindow
    ChangeColour,   // Lumvek_SetColorMode: buffers and frames change size
    ChangeWindow,   // the capture-window operations: the same, and the camera is programmed
    Record,         // Lumvek_Record
    SelectCamera,   // Lumvek_SetDeviceNumber: the frame loop must not run on the camera it replaces
};

// Whether op may run in state. A refused operation is reported as code 1.
[[nodiscard]] constexpr bool isAllowed(InstanceState state, InstanceOperation op) {
    using S = InstanceState;
    using O = InstanceOperation;
    switch (op) {
    case O::ChangeColour:
        // A recording keeps the size and depth it started with.
        return state != S::Recording;
    case O::ChangeWindow:
        return state != S::NoCamera && state != S::Recording;
    case O::Capture:
    case O::SnapShot:
        return state == S::Idle || state == S::Capturing;
    case O::StartPreview:
        return state == S::Idle || state == S::Previewing;
    case O::Record:
        return state == S::Idle || state == S::Previewing;
    case O::SelectCamera:
        return state == S::Idle || state == S::Capturing;
    case O::Stop:
    case O::ReadPicture:
        return state != S::NoCamera;
    }
    return false;
}

[[nodiscard]] const char* stateName(InstanceState state);

} // namespace lumvek
