// lumvek::Camera: frames copied out with their metadata, and the stream's
// statistics (the transfer's counters of the device object with the
// interface's own delivery counts).
#include <cstring>

#include "cxxapi/camera_impl.h"
#include "platform/sync/clock.h"

namespace lumvek {

namespace {
constexpr int kRowsTopDown = 1;

FrameMetadata publicMetadata(const FrameStamp& stamp, uint64_t delivered, uint32_t lostBefore, int exposure,
                             int gain, bool sixteenBit, const Window& window) {
    FrameMetadata m;
    m.frameNumber = stamp.frameNumber;
    m.frameNumberFromCamera = stamp.fromFrameTag;
    m.headerMonotonicNs = stamp.headerMonotonicNs;
    m.headerWallNs = stamp.headerWallNs;
    m.completeMonotonicNs = stamp.completeMonotonicNs;
    m.completeWallNs = stamp.completeWallNs;
    m.deliveredMonotonicNs = delivered;
    m.exposure = exposure;
    m.gain = gain;
    m.sixteenBit = sixteenBit;
    m.window = window;
    m.framesLostBefore = lostBefore;
    return m;
}
} // namespace

Error Camera::copyFrame(uint8_t* buffer, size_t capacity, size_t& written, FrameMetadata& metadata) noexcept {
    written = 0;
    metadata = {};
    if (buffer == nullptr) return Error::InvalidArgument;
    const size_t bytes = frameBytes();
    if (bytes == 0) return Error::Failed;
    if (capacity < bytes) return Error::BufferTooSmall;
    FrameStamp stamp;
    if (impl_->device->GetLatestFrameStamped(buffer, capacity, kRowsTopDown, &stamp) != 0) return Error::Failed;
    written = bytes;
    const uint64_t now = platform::monotonicNs();
    uint32_t lost = 0;
    if (stamp.frameNumber != 0 && impl_->lastCopiedNumber != 0 && stamp.frameNumber > impl_->lastCopiedNumber) {
        lost = static_cast<uint32_t>(stamp.frameNumber - impl_->lastCopiedNumber - 1);
    }
    if (stamp.frameNumber != 0) {
        impl_->lastCopiedNumber = stamp.frameNumber;
    }
    metadata = publicMetadata(stamp, now, lost, impl_->device->GetExposure(), impl_->device->GetGlobalGain(),
                              impl_->sixteenBit, window());
    DeliveryMetadata internal;
    internal.stamp = stamp;
    impl_->stream.delivered(internal, bytes, now);
    return Error::None;
}

Error Camera::snap(uint8_t* buffer, size_t capacity, size_t& written, int timeoutMs,
                   FrameMetadata& metadata) noexcept {
    written = 0;
    metadata = {};
    if (buffer == nullptr) return Error::InvalidArgument;
    if (capacity < frameBytes()) return Error::BufferTooSmall;
    Error error = start(false);
    if (error == Error::None) error = waitFrame(timeoutMs);
    if (error == Error::None) error = copyFrame(buffer, capacity, written, metadata);
    (void)stop();
    return error;
}

StreamStatistics Camera::statistics() const noexcept {
    LumvekStreamStatistics record{};
    record.size = sizeof record;
    impl_->stream.fill(impl_->device->GetTransferCounters(), &record);
    StreamStatistics s;
    s.framesDelivered = record.framesDelivered;
    s.framesLostInTransfer = record.framesLostInTransfer;
    s.framesFailed = record.framesFailed;
    s.transferResets = record.transferResets;
    s.framesOverwritten = record.framesOverwritten;
    s.framesNotDelivered = record.framesNotDelivered;
    s.bytesDelivered = record.bytesDelivered;
    s.frameRate = record.frameRate;
    s.latencySamples = record.latencySamples;
    s.latencyMedianNs = record.latencyMedianNs;
    s.latencyP99Ns = record.latencyP99Ns;
    return s;
}

void Camera::resetStatistics() noexcept {
    impl_->stream.reset(impl_->device->GetTransferCounters());
}

} // namespace lumvek
