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
    [[nodiscard]] ImageSettings imageSettings() const { return self_.imageSettings(); }
    [[nodiscard]] GainSettings gainSettings() const { return self_.gainSettings(); }
    [[nodiscard]] std::vector<std::pair<int32_t, int32_t>> configList() const { return self_.configList(); }
    [[nodiscard]] int cameraNumber() const { return self_.cameraNumber_; }
    [[nodiscard]] const ImageBuffer* buffer(BufferId id) const { return self_.buffers_[static_cast<int>(id)].get(); }
    [[nodiscard]] int32_t channelGain(int channel) const { return self_.channelGain_[channel - 1]; }
    [[nodiscard]] int32_t channelOffset(int channel) const { return self_.channelOffset_[channel - 1]; }
    [[nodiscard]] DefectPlanes* defectPlanes() const { return self_.planes_.get(); }
    // 0 idle, 1 previewing, 2 capture prepared.
    [[nodiscard]] int captureState() const { return self_.captureState_.load(); }
    [[nodiscard]] HWND previewWindow() const { return self_.preview_.window(); }
    [[nodiscard]] int frameRateX10() const { return self_.frameRateX10_.load(); }
    [[nodiscard]] uint32_t framesDropped() const { return self_.framesDropped_.load(); }
    [[nodiscard]] int previewScalingAllocations() const { return self_.preview_.scalingBufferAllocations(); }

private:
    CLumvek& self_;
};

[[nodiscard]] inline CLumvekInternals internals(CLumvek& self) {
    return CLumvekInternals(self);
}

} // namespace lumvek
