#pragma once
// What the SDK instance knows of each delivered frame (DeliveryMetadata), the
// metadata of the frames handed out (DeliveredFrames) and the stream's
// delivery counters and latency (DeliveryStatistics).
//
// Written on the frame loop's thread (and by SnapShot's caller), read by
// any application thread. DeliveryStatistics is lock-free (atomics, a fixed
// histogram: nothing allocated per frame); DeliveredFrames has its own leaf
// lock, taken for a copy of a few words, inside the frame lock or alone.
#include <array>
#include <atomic>
#include <cstdint>

#include "LumvekStream.h"
#include "camera/frame_stamp.h"
#include "imaging/correction/capture_window.h"
#include "platform/sync/thread_annotations.h"

namespace lumvek {

struct DeliveryMetadata {
    FrameStamp stamp;               // from the transfer thread (frameNumber 0: none)
    uint64_t deliveredMonotonicNs = 0;
    int exposure = 0;               // 0.1 ms
    int gain = 0;
    int colourModeBits = 0;         // bits per output pixel
    CaptureWindow window;
    uint32_t framesLostBefore = 0;  // since the previous delivered frame
};

// Fills the public record from metadata: as many bytes as out->size allows
// (at least the size word); out->size becomes the bytes filled.
void fillPublicRecord(const DeliveryMetadata& metadata, LumvekFrameMetadata* out);

// Delivery latencies in a fixed histogram: four buckets per power of two of
// microseconds (about 19% resolution), from 1 us to beyond 16 s.
class LatencyHistogram {
public:
    // Up to 2^25 us (33 s): 16 buckets in each power of two from 16 us, one per microsecond below.
    static constexpr int kBuckets = 16 * 22;
    void add(uint64_t nanoseconds);
    void clear();
    [[nodiscard]] uint64_t count() const;
    // The latency below which `fraction` of the samples lie (the middle of
    // its bucket), nanoseconds; 0 without samples.
    [[nodiscard]] uint64_t quantileNs(double fraction) const;
    // Bucket arithmetic, exposed for its tests.
    [[nodiscard]] static int bucketOf(uint64_t microseconds);
    [[nodiscard]] static uint64_t bucketLowUs(int bucket);

private:
    std::array<std::atomic<uint64_t>, kBuckets> buckets_{};
};

class DeliveryStatistics {
public:
    // A frame read and handed to the application (message posted, snapshot
    // returned); latency from the frame's completion to now.
    void delivered(const DeliveryMetadata& metadata, uint64_t bytes, uint64_t nowMonotonicNs);
    // A frame read but not delivered: the application had not taken the
    // frames before it.
    void notDelivered() { notDelivered_.fetch_add(1); }
    // The counters start again (the transfer's are kept as a baseline).
    void reset(const TransferCountersSnapshot& transferNow);
    // The public record, with the device's transfer counters.
    void fill(const TransferCountersSnapshot& transferNow, LumvekStreamStatistics* out) const;

private:
    static constexpr uint64_t kRateWindowNs = 1'000'000'000;
    std::atomic<uint64_t> delivered_{0};
    std::atomic<uint64_t> notDelivered_{0};
    std::atomic<uint64_t> bytes_{0};
    // The rate: frames over the last window of about a second (frame loop
    // thread writes, readers read the last result).
    std::atomic<uint64_t> windowStartNs_{0};
    std::atomic<uint64_t> windowFrames_{0};
    std::atomic<uint64_t> rateMilliHz_{0};
    LatencyHistogram latency_;
    // The transfer counters at the last reset (written by reset only).
    std::atomic<uint64_t> baseLost_{0}, baseFailed_{0}, baseResets_{0}, baseOverwritten_{0};
};

// The metadata of the frames handed out: per frame record of the frame
// messages, and the one most recently delivered.
class DeliveredFrames {
public:
    static constexpr int kRecords = 4;
    void deliveredWithRecord(int record, const DeliveryMetadata& metadata) EXCLUDES(lock_);
    void delivered(const DeliveryMetadata& metadata) EXCLUDES(lock_);
    // False when no frame was delivered yet (or no such record).
    [[nodiscard]] bool latest(DeliveryMetadata* out) const EXCLUDES(lock_);
    [[nodiscard]] bool ofRecord(int record, DeliveryMetadata* out) const EXCLUDES(lock_);

private:
    mutable platform::Mutex lock_;  // a leaf
    std::array<DeliveryMetadata, kRecords> records_ GUARDED_BY(lock_){};
    DeliveryMetadata latest_ GUARDED_BY(lock_);
    bool any_ GUARDED_BY(lock_) = false;
};

} // namespace lumvek
