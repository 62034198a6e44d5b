#include "instance/stream_statistics.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

namespace lumvek {

namespace {

constexpr uint64_t kNsPerUs = 1000;
// Buckets per power of two: 6 % wide, so that a median of a few
// milliseconds is known to a few hundred microseconds.
constexpr int kSubBucketBits = 4;
constexpr int kSubBuckets = 1 << kSubBucketBits;

// Copies what both sides know of a record that starts with its size word.
template <typename Record>
void copySized(const Record& full, Record* out) {
    const size_t asked = out->size;
    const size_t bytes = std::min(asked, sizeof(Record));
    std::memcpy(reinterpret_cast<unsigned char*>(out) + sizeof(uint32_t),
                reinterpret_cast<const unsigned char*>(&full) + sizeof(uint32_t), bytes - sizeof(uint32_t));
    out->size = static_cast<uint32_t>(bytes);
}

} // namespace

void fillPublicRecord(const DeliveryMetadata& metadata, LumvekFrameMetadata* out) {
    LumvekFrameMetadata full{};
    full.size = sizeof full;
    full.flags = metadata.stamp.fromFrameTag ? LUMVEK_FRAME_NUMBER_FROM_CAMERA : 0u;
    full.frameNumber = metadata.stamp.frameNumber;
    full.headerMonotonicNs = metadata.stamp.headerMonotonicNs;
    full.headerWallNs = metadata.stamp.headerWallNs;
    full.completeMonotonicNs = metadata.stamp.completeMonotonicNs;
    full.completeWallNs = metadata.stamp.completeWallNs;
    full.deliveredMonotonicNs = metadata.deliveredMonotonicNs;
    full.exposure = metadata.exposure;
    full.gain = metadata.gain;
    full.colorMode = metadata.colourModeBits;
    full.windowLeft = metadata.window.left;
    full.windowTop = metadata.window.top;
    full.windowWidth = metadata.window.width;
    full.windowHeight = metadata.window.height;
    full.framesLostBefore = metadata.framesLostBefore;
    copySized(full, out);
}

// ---- LatencyHistogram ----

int LatencyHistogram::bucketOf(uint64_t us) {
    if (us < kSubBuckets) {
        return static_cast<int>(us);
    }
    const int octave = std::bit_width(us) - 1;  // >= kSubBucketBits
    const int sub = static_cast<int>((us >> (octave - kSubBucketBits)) & (kSubBuckets - 1));
    return std::min(kSubBuckets * (octave - kSubBucketBits + 1) + sub, kBuckets - 1);
}

uint64_t LatencyHistogram::bucketLowUs(int bucket) {
    if (bucket < kSubBuckets) {
        return static_cast<uint64_t>(bucket);
    }
    const int octave = bucket / kSubBuckets + kSubBucketBits - 1;
    const uint64_t sub = static_cast<uint64_t>(bucket % kSubBuckets);
    return (uint64_t{1} << octave) + (sub << (octave - kSubBucketBits));
}

void LatencyHistogram::add(uint64_t nanoseconds) {
    buckets_[static_cast<size_t>(bucketOf(nanoseconds / kNsPerUs))].fetch_add(1, std::memory_order_relaxed);
}

void LatencyHistogram::clear() {
    for (auto& bucket : buckets_) {
        bucket.store(0, std::memory_order_relaxed);
    }
}

uint64_t LatencyHistogram::count() const {
    uint64_t total = 0;
    for (const auto& bucket : buckets_) {
        total += bucket.load(std::memory_order_relaxed);
    }
    return total;
}

uint64_t LatencyHistogram::quantileNs(double fraction) const {
    std::array<uint64_t, kBuckets> counts{};
    uint64_t total = 0;
    for (size_t i = 0; i < counts.size(); ++i) {
        counts[i] = buckets_[i].load(std::memory_order_relaxed);
        total += counts[i];
    }
    if (total == 0) {
        return 0;
    }
    // The sample of rank ceil(fraction x total), counted from 1.
    const double wanted = std::clamp(fraction, 0.0, 1.0) * static_cast<double>(total);
    const uint64_t rank = std::max<uint64_t>(1, static_cast<uint64_t>(wanted + 0.999999));
    uint64_t seen = 0;
    for (int i = 0; i < kBuckets; ++i) {
        seen += counts[static_cast<size_t>(i)];
        if (seen >= rank) {
            const uint64_t low = bucketLowUs(i);
            const uint64_t high = i + 1 < kBuckets ? bucketLowUs(i + 1) : low * 2;
            return (low + high) * kNsPerUs / 2;
        }
    }
    return bucketLowUs(kBuckets - 1) * kNsPerUs;
}

// ---- DeliveryStatistics ----

void DeliveryStatistics::delivered(const DeliveryMetadata& metadata, uint64_t bytes, uint64_t now) {
    delivered_.fetch_add(1);
    bytes_.fetch_add(bytes);
    const uint64_t complete = metadata.stamp.completeMonotonicNs;
    if (complete != 0 && now >= complete) {
        latency_.add(now - complete);
    }
    const uint64_t start = windowStartNs_.load();
    if (start == 0) {
        windowStartNs_.store(now);
        windowFrames_.store(0);
        return;
    }
    const uint64_t frames = windowFrames_.fetch_add(1) + 1;
    if (now - start >= kRateWindowNs) {
        rateMilliHz_.store(frames * 1'000'000'000'000u / (now - start));
        windowStartNs_.store(now);
        windowFrames_.store(0);
    }
}

void DeliveryStatistics::reset(const TransferCountersSnapshot& transferNow) {
    delivered_.store(0);
    notDelivered_.store(0);
    bytes_.store(0);
    windowStartNs_.store(0);
    windowFrames_.store(0);
    rateMilliHz_.store(0);
    latency_.clear();
    baseLost_.store(transferNow.lostInTransfer);
    baseFailed_.store(transferNow.failedFrames);
    baseResets_.store(transferNow.streamResets);
    baseOverwritten_.store(transferNow.overwrittenInRing);
}

void DeliveryStatistics::fill(const TransferCountersSnapshot& transferNow, LumvekStreamStatistics* out) const {
    LumvekStreamStatistics full{};
    full.size = sizeof full;
    full.framesDelivered = delivered_.load();
    full.framesLostInTransfer = transferNow.lostInTransfer - std::min(transferNow.lostInTransfer, baseLost_.load());
    full.framesFailed = transferNow.failedFrames - std::min(transferNow.failedFrames, baseFailed_.load());
    full.transferResets = transferNow.streamResets - std::min(transferNow.streamResets, baseResets_.load());
    full.framesOverwritten =
        transferNow.overwrittenInRing - std::min(transferNow.overwrittenInRing, baseOverwritten_.load());
    full.framesNotDelivered = notDelivered_.load();
    full.bytesDelivered = bytes_.load();
    full.frameRate = static_cast<double>(rateMilliHz_.load()) / 1000.0;
    full.latencySamples = latency_.count();
    full.latencyMedianNs = latency_.quantileNs(0.5);
    full.latencyP99Ns = latency_.quantileNs(0.99);
    copySized(full, out);
}

// ---- DeliveredFrames ----

void DeliveredFrames::deliveredWithRecord(int record, const DeliveryMetadata& metadata) {
    platform::MutexLock hold(lock_);
    if (record >= 0 && record < kRecords) {
        records_[static_cast<size_t>(record)] = metadata;
    }
    latest_ = metadata;
    any_ = true;
}

void DeliveredFrames::delivered(const DeliveryMetadata& metadata) {
    platform::MutexLock hold(lock_);
    latest_ = metadata;
    any_ = true;
}

bool DeliveredFrames::latest(DeliveryMetadata* out) const {
    platform::MutexLock hold(lock_);
    if (!any_) {
        return false;
    }
    *out = latest_;
    return true;
}

bool DeliveredFrames::ofRecord(int record, DeliveryMetadata* out) const {
    platform::MutexLock hold(lock_);
    if (record < 0 || record >= kRecords || records_[static_cast<size_t>(record)].deliveredMonotonicNs == 0) {
        return false;
    }
    *out = records_[static_cast<size_t>(record)];
    return true;
}

} // namespace lumvek
