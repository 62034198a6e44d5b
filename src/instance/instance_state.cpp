#include "instance/instance_state.h"

namespace lumvek {

InstanceState CaptureStateMachine::stateLocked() const {
    if (base_ == InstanceState::Previewing && recording_ && recording_()) {
        return InstanceState::Recording;
    }
    return base_;
}

InstanceState CaptureStateMachine::state() const {
    platform::MutexLock hold(lock_);
    return stateLocked();
}

int CaptureStateMachine::refusal(InstanceOperation op) const {
    platform::MutexLock hold(lock_);
    return refusalCode(stateLocked(), op, pictureReady_);
}

void CaptureStateMachine::deviceMade(bool made) {
    platform::MutexLock hold(lock_);
    base_ = made ? InstanceState::NoCamera : InstanceState::NoDevice;
    cameraOpen_ = false;
    pictureReady_ = false;
}

void CaptureStateMachine::cameraSelected(bool open) {
    platform::MutexLock hold(lock_);
    if (base_ != InstanceState::NoDevice) {
        cameraOpen_ = open;
        base_ = open ? InstanceState::Idle : InstanceState::NoCamera;
    }
}

void CaptureStateMachine::captureStarted() {
    platform::MutexLock hold(lock_);
    base_ = InstanceState::Capturing;
}

void CaptureStateMachine::previewStarted() {
    platform::MutexLock hold(lock_);
    base_ = InstanceState::Previewing;
}

void CaptureStateMachine::stopped() {
    platform::MutexLock hold(lock_);
    if (base_ == InstanceState::Capturing || base_ == InstanceState::Previewing) {
        base_ = cameraOpen_ ? InstanceState::Idle : InstanceState::NoCamera;
    }
}

void CaptureStateMachine::setPictureReady(bool ready) {
    platform::MutexLock hold(lock_);
    pictureReady_ = ready;
}

bool CaptureStateMachine::cameraOpen() const {
    platform::MutexLock hold(lock_);
    return cameraOpen_;
}

bool CaptureStateMachine::capturing() const {
    platform::MutexLock hold(lock_);
    return base_ == InstanceState::Capturing;
}

bool CaptureStateMachine::previewing() const {
    platform::MutexLock hold(lock_);
    return base_ == InstanceState::Previewing;
}

} // namespace lumvek
