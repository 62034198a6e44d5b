#pragma once
// The camera session of an SDK instance: it owns the camera device object
// and holds the only lock through which the instance reaches it. Opening a
// camera replaces the device's sensor driver under that lock, so no reader
// (the camera description, names, gains, exposure, channel values) can ever
// see a driver half made or being freed. Beside the device it keeps what
// belongs to the open camera: the channel block of its serial ROM (channel
// gains and offsets) and the cooling and short-exposure flags.
//
// The frame side (WaitFrame, GetLatestFrame) is the consumer end of the
// device's frame ring, which the transfer thread hands over without a lock;
// it is reached through a FramePort taken when acquisition starts, and is
// valid until acquisition stops (camera selection is refused meanwhile).
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>

#include "camera/camera_device.h"
#include "platform/sync/thread_annotations.h"

namespace lumvek {

// The channel gains and offsets 1..4, as the serial ROM holds them.
struct ChannelBlock {
    std::array<int32_t, 4> gain{};
    std::array<int32_t, 4> offset{};
};

// The frame side of the device object, borrowed while acquiring.
class FramePort {
public:
    FramePort() = default;
    explicit FramePort(CameraDevice* device) : device_(device) {}
    // 1 = the transfer failed, 2 = no new frame in time, 3 = a new frame is ready.
    [[nodiscard]] int waitFrame(int timeoutMs) const { return device_ ? device_->WaitFrame(timeoutMs) : 1; }
    // 0 = the newest frame was copied.
    [[nodiscard]] int latestFrame(uint8_t* buffer, size_t capacity) const {
        return device_ ? device_->GetLatestFrame(buffer, capacity, 1) : 1;
    }
    // The same, with what the transfer thread knew of the frame.
    [[nodiscard]] int latestFrame(uint8_t* buffer, size_t capacity, FrameStamp* stamp) const {
        return device_ ? device_->GetLatestFrameStamped(buffer, capacity, 1, stamp) : 1;
    }
    // The newest frame held for its rows to be taken: 0 = held, 1 = no
    // frame, 2 = only whole copies (latestFrame) from this device.
    [[nodiscard]] int pinLatestFrame(std::optional<PinnedFrame>& out, size_t capacity) const {
        return device_ ? device_->PinLatestFrame(out, capacity, 1) : 1;
    }
    // The transfer's counters (zero without a device).
    [[nodiscard]] TransferCountersSnapshot transferCounters() const {
        return device_ ? device_->GetTransferCounters() : TransferCountersSnapshot{};
    }

private:
    CameraDevice* device_ = nullptr;
};

class CameraSession {
public:
    CameraSession() = default;
    ~CameraSession();
    CameraSession(const CameraSession&) = delete;
    CameraSession& operator=(const CameraSession&) = delete;

    [[nodiscard]] platform::Mutex& mutex() RETURN_CAPABILITY(lock_) { return lock_; }

    // Replaces the device object (the old one is released first); null when
    // none could be made.
    void install(std::unique_ptr<CameraDevice> device) REQUIRES(lock_);
    // Closes the camera and deletes the device object.
    void release() REQUIRES(lock_);
    [[nodiscard]] CameraDevice* device() REQUIRES(lock_) { return device_.get(); }

    // use(CameraDevice&) with the lock held; without a device object the
    // result is a value-initialised one and use is not called.
    template <typename Use, typename Result = std::invoke_result_t<Use, CameraDevice&>>
    Result use(Use&& fn) EXCLUDES(lock_) {
        platform::MutexLock hold(lock_);
        if (!device_) {
            return Result();
        }
        return std::forward<Use>(fn)(*device_);
    }

    // Opens device number index: false when it is not present or does not open.
    [[nodiscard]] bool open(int index) REQUIRES(lock_);

    // The channel block: read from the camera's serial ROM at open, set on
    // the camera, and written back only when it was read whole (zeros
    // standing in for unreadable bytes must never reach the ROM).
    void readChannelBlock() REQUIRES(lock_);
    void writeChannelBlock() REQUIRES(lock_);
    void applyChannelValues() REQUIRES(lock_);
    [[nodiscard]] ChannelBlock& channels() REQUIRES(lock_) { return channels_; }
    [[nodiscard]] int32_t& coolingOn() REQUIRES(lock_) { return coolingOn_; }
    [[nodiscard]] int32_t& shortExposureMode() REQUIRES(lock_) { return shortExposureMode_; }

    [[nodiscard]] FramePort framePort() REQUIRES(lock_) { return FramePort(device_.get()); }

private:
    platform::Mutex lock_;
    std::unique_ptr<CameraDevice> device_ GUARDED_BY(lock_);
    ChannelBlock channels_ GUARDED_BY(lock_);
    bool channelBlockReadWhole_ GUARDED_BY(lock_) = false;
    // The channel block as the ROM holds it: read at open, or last written.
    std::array<uint8_t, 16> channelBlockInRom_ GUARDED_BY(lock_){};
    int32_t coolingOn_ GUARDED_BY(lock_) = 0;
    int32_t shortExposureMode_ GUARDED_BY(lock_) = 0;
};

} // namespace lumvek
