#pragma once
// Read-only views of an SDK instance's internals, for tests and diagnostics:
// what the exports do not show (the cached records, the channel block, the
// capture engine's state, buffers, the preview window). Kept out of
// CLumvek's public interface so that the instance's callers see only its
// operations.
#include "instance/lumvek.h"

namespace lumvek {

class CLumvekInternals {
public:
    explicit CLumvekInternals(CLumvek& self) : self_(self) {}

    [[nodiscard]] CaptureWindowRecord captureWindow() const { return self_.captureWindow(); }
    [[nodiscard]] ImageSettings imageSettings() const { return self_.controls_.image(); }
    [[nodiscard]] GainSettings gainSettings() const { return self_.controls_.gain(); }
    [[nodiscard]] std::vector<std::pair<int32_t, int32_t>> configList() const { return self_.engine_.configList(); }
    [[nodiscard]] int cameraNumber() const { return self_.cameraNumber_.load(); }
    [[nodiscard]] const ImageBuffer* buffer(BufferId id) const { return self_.engine_.buffer(id); }
    [[nodiscard]] int32_t channelGain(int channel) const {
        platform::MutexLock hold(self_.session_.mutex());
        return self_.session_.channels().gain[channel - 1];
    }
    [[nodiscard]] int32_t channelOffset(int channel) const {
        platform::MutexLock hold(self_.session_.mutex());
        return self_.session_.channels().offset[channel - 1];
    }
    [[nodiscard]] DefectPlanes* defectPlanes() const { return self_.engine_.planes(); }
    // 0 idle (or no camera), 1 previewing, 2 capture prepared.
    [[nodiscard]] int captureState() const {
        switch (self_.state_.state()) {
        case InstanceState::Previewing:
        case InstanceState::Recording: return 1;
        case InstanceState::Capturing: return 2;
        default: return 0;
        }
    }
    [[nodiscard]] HWND previewWindow() const { return self_.preview_.window(); }
    // The lock the frame loop holds while it processes a frame: a test holds
    // it to stand for a frame in progress.
    [[nodiscard]] platform::Mutex& frameLock() const { return self_.engine_.lock(); }
    [[nodiscard]] int frameRateX10() const { return self_.engine_.frameRateX10(); }
    [[nodiscard]] uint32_t framesDropped() const { return self_.engine_.framesDropped(); }
    [[nodiscard]] int previewScalingAllocations() const { return self_.preview_.scalingBufferAllocations(); }

private:
    CLumvek& self_;
};

[[nodiscard]] inline CLumvekInternals internals(CLumvek& self) {
    return CLumvekInternals(self);
}

} // namespace lumvek
