#pragma once
// The settings an SDK instance keeps for the pipeline and restores to the
// camera: the filter and gray values, the white-balance and measurement
// flags, and the cached gains, exposure, mirrors and modes. Application
// threads and the dialogs edit them; the frame loop reads them as one
// snapshot per frame, so a frame never mixes values from before and after
// an edit. One lock, a leaf: nothing else is taken while it is held.
#include <cstdint>
#include <utility>

#include "platform/sync/thread_annotations.h"
#include "settings/settings_records.h"

namespace lumvek {

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

// What one frame uses.
struct ControlsSnapshot {
    ImageSettings image;
    GainSettings gain;
};

class ImageControls {
public:
    [[nodiscard]] ImageSettings image() const EXCLUDES(lock_) {
        platform::MutexLock hold(lock_);
        return image_;
    }
    [[nodiscard]] GainSettings gain() const EXCLUDES(lock_) {
        platform::MutexLock hold(lock_);
        return gain_;
    }
    [[nodiscard]] ControlsSnapshot snapshot() const EXCLUDES(lock_) {
        platform::MutexLock hold(lock_);
        return ControlsSnapshot{image_, gain_};
    }
    // edit(ImageSettings&, GainSettings&) runs with the lock held; it must
    // not call out of this object.
    template <typename Edit>
    decltype(auto) edit(Edit&& edit) EXCLUDES(lock_) {
        platform::MutexLock hold(lock_);
        return std::forward<Edit>(edit)(image_, gain_);
    }

private:
    mutable platform::Mutex lock_;
    ImageSettings image_ GUARDED_BY(lock_);
    GainSettings gain_ GUARDED_BY(lock_);  // restored to the camera at every open and capture configuration
};

} // namespace lumvek
