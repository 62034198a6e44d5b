// The delivery latency histogram and the statistics record's arithmetic.
#include <gtest/gtest.h>

#include "instance/stream_statistics.h"

namespace lumvek {
namespace {

TEST(LatencyHistogram, BucketsRiseWithTheLatencyAndQuantilesLandWithinABucket) {
    for (uint64_t us = 1; us < 20'000'000; us = us * 5 / 4 + 1) {
        const int bucket = LatencyHistogram::bucketOf(us);
        EXPECT_LE(LatencyHistogram::bucketLowUs(bucket), us) << us;
        if (bucket + 1 < LatencyHistogram::kBuckets) {
            EXPECT_GT(LatencyHistogram::bucketLowUs(bucket + 1), us) << us;
        }
        EXPECT_LE(LatencyHistogram::bucketOf(us), LatencyHistogram::bucketOf(us + 1));
    }
    LatencyHistogram histogram;
    EXPECT_EQ(histogram.quantileNs(0.5), 0u) << "no samples";
    for (uint64_t ms = 1; ms <= 100; ++ms) {
        histogram.add(ms * 1'000'000);
    }
    EXPECT_EQ(histogram.count(), 100u);
    // A bucket is 1/16 of its power of two wide: the middle is within 3.2 %.
    EXPECT_NEAR(static_cast<double>(histogram.quantileNs(0.5)), 50e6, 50e6 * 0.04);
    EXPECT_NEAR(static_cast<double>(histogram.quantileNs(0.99)), 99e6, 99e6 * 0.04);
    histogram.add(uint64_t{3600} * 1'000'000'000);  // an hour lands in the last bucket
    EXPECT_GT(histogram.quantileNs(1.0), uint64_t{16} * 1'000'000'000);
    histogram.clear();
    EXPECT_EQ(histogram.count(), 0u);
}

TEST(DeliveryStatistics, TransferCountersAreCountedFromTheLastReset) {
    DeliveryStatistics statistics;
    TransferCountersSnapshot transfer;
    transfer.lostInTransfer = 7;
    transfer.overwrittenInRing = 3;
    statistics.reset(transfer);
    DeliveryMetadata frame;
    frame.stamp.completeMonotonicNs = 1'000'000;
    statistics.delivered(frame, 100, 3'000'000);
    statistics.notDelivered();
    transfer.lostInTransfer = 9;
    transfer.overwrittenInRing = 3;
    LumvekStreamStatistics out{};
    out.size = sizeof out;
    statistics.fill(transfer, &out);
    EXPECT_EQ(out.framesDelivered, 1u);
    EXPECT_EQ(out.framesNotDelivered, 1u);
    EXPECT_EQ(out.framesLostInTransfer, 2u);
    EXPECT_EQ(out.framesOverwritten, 0u);
    EXPECT_EQ(out.bytesDelivered, 100u);
    EXPECT_EQ(out.latencySamples, 1u);
    EXPECT_NEAR(static_cast<double>(out.latencyMedianNs), 2e6, 2e6 * 0.2);
    // A device made anew (counters from zero) never gives negative counts.
    statistics.fill(TransferCountersSnapshot{}, &out);
    EXPECT_EQ(out.framesLostInTransfer, 0u);
}

} // namespace
} // namespace lumvek
