#include "instance/instance_state.h"

#include "instance/lumvek.h"

namespace lumvek {

const char* stateName(InstanceState state) {
    switch (state) {
    case InstanceState::NoCamera: return "no camera";
    case InstanceState::Idle: return "idle";
    case InstanceState::Capturing: return "capturing";
    case InstanceState::Previewing: return "previewing";
    case InstanceState::Recording: return "recording";
    }
    return "?";
}

InstanceState CLumvek::state() const {
    if (!device_) {
        return InstanceState::NoCamera;
    }
    switch (captureState_.load()) {
    case kCapture: return InstanceState::Capturing;
    case kPreview: return recorder_ && recorder_->isRecording() ? InstanceState::Recording : InstanceState::Previewing;
    default: return InstanceState::Idle;
    }
}

bool CLumvek::admit(InstanceOperation op) {
    if (isAllowed(state(), op)) {
        return true;
    }
    ReportError(LUMVEK_ERR_STATE);
    return false;
}

} // namespace lumvek
