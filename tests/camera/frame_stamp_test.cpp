// Frame numbers from the header's one-byte frame tag, and the stamps the
// ring keeps with its frames.
#include <gtest/gtest.h>

#include <cstring>

#include "camera/frame_ring.h"
#include "camera/frame_stamp.h"

namespace lumvek {
namespace {

TEST(FrameTagCounter, CountsAcrossTheTagsWrapAndTellsTheFramesSkipped) {
    FrameTagCounter counter(100);  // numbers go on from an earlier run
    uint64_t number = 0;
    uint32_t lost = 99;
    EXPECT_FALSE(counter.next(253, 0, &number, &lost)) << "the first tag says nothing about frames before it";
    EXPECT_EQ(number, 101u);
    EXPECT_EQ(lost, 0u);
    ASSERT_TRUE(counter.next(254, 0, &number, &lost));
    EXPECT_EQ(number, 102u);
    EXPECT_EQ(lost, 0u);
    ASSERT_TRUE(counter.next(1, 0, &number, &lost)) << "254 -> 1 across the wrap: 255 and 0 lost";
    EXPECT_EQ(number, 105u);
    EXPECT_EQ(lost, 2u);
    // The tag wins over the thread's own count of failed frames.
    ASSERT_TRUE(counter.next(3, 5, &number, &lost));
    EXPECT_EQ(number, 107u);
    EXPECT_EQ(lost, 1u);
    // A tag that did not change (a product that sends none): the failures count.
    EXPECT_FALSE(counter.next(3, 2, &number, &lost));
    EXPECT_EQ(number, 110u);
    EXPECT_EQ(lost, 2u);
    EXPECT_EQ(counter.nextUntagged(0), 111u);
    EXPECT_EQ(counter.last(), 111u);
}

TEST(FrameRingStamps, EachFrameKeepsItsStampAndTheRingsOwnSequence) {
    constexpr size_t kBytes = 32;
    FrameRing ring;
    ASSERT_TRUE(ring.allocate(kBytes));
    uint8_t frame[kBytes] = {};
    for (uint64_t n = 1; n <= 6; ++n) {
        std::memset(frame, static_cast<int>(n), kBytes);
        FrameStamp stamp;
        stamp.frameNumber = n * 10;
        stamp.completeMonotonicNs = n * 1000;
        stamp.storedSequence = 999;  // the ring sets its own
        ASSERT_TRUE(ring.store(frame, kBytes, -1, stamp));
    }
    EXPECT_EQ(ring.storedCount(), 6u);
    const FrameRing::ReadPin newest = ring.pin(false);
    ASSERT_TRUE(newest.valid());
    EXPECT_EQ(newest.data()[0], 6);
    EXPECT_EQ(newest.stamp().frameNumber, 60u);
    EXPECT_EQ(newest.stamp().completeMonotonicNs, 6000u);
    EXPECT_EQ(newest.stamp().storedSequence, 6u);
    const FrameRing::ReadPin oldest = ring.pin(true);  // buffer 0 holds the fifth frame
    EXPECT_EQ(oldest.data()[0], 5);
    EXPECT_EQ(oldest.stamp().frameNumber, 50u);
    EXPECT_EQ(oldest.stamp().storedSequence, 5u);
}

} // namespace
} // namespace lumvek
