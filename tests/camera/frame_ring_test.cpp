// The frame ring's exchange: a received frame takes a ring buffer's place
// without a copy. Readers must see exactly the frames exchanged, a pinned
// buffer must never be handed back to the writer, and a buffer of another
// size must be refused so that the caller copies instead.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "camera/frame_ring.h"

namespace lumvek {
namespace {

constexpr size_t kBytes = 64;

platform::ZeroedBlock frameOf(uint8_t value, size_t bytes = kBytes) {
    auto buffer = platform::allocateZeroed(bytes);
    std::memset(buffer.get(), value, bytes);
    return buffer;
}

TEST(FrameRingExchange, ReadersSeeEachFrameAndTheWriterGetsTheOldestBufferBack) {
    FrameRing ring;
    ASSERT_TRUE(ring.allocate(kBytes));
    auto receive = frameOf(1);
    for (uint8_t frame = 1; frame <= 6; ++frame) {
        std::memset(receive.get(), frame, kBytes);
        const uint8_t* filled = receive.get();
        ASSERT_TRUE(ring.exchange(receive, kBytes));
        ASSERT_NE(receive.get(), filled) << "the caller fills another buffer next";
        ASSERT_NE(receive.get(), nullptr);
        EXPECT_EQ(ring.writeIndex(), frame % FrameRing::kSlots);
        const FrameRing::ReadPin newest = ring.pin(false);
        ASSERT_TRUE(newest.valid());
        EXPECT_EQ(newest.data(), filled) << "no copy: the ring holds the caller's buffer";
        EXPECT_EQ(newest.data()[0], frame);
        EXPECT_EQ(newest.data()[kBytes - 1], frame);
    }
}

TEST(FrameRingExchange, PinnedBuffersStayWithTheirReaders) {
    FrameRing ring;
    ASSERT_TRUE(ring.allocate(kBytes));
    auto receive = frameOf(1);
    ASSERT_TRUE(ring.exchange(receive, kBytes));  // buffer 0
    const FrameRing::ReadPin reader = ring.pin(false);
    ASSERT_EQ(reader.slot(), 0);
    const uint8_t* read = reader.data();
    // Three more frames go round into buffers 1..3, the fourth skips the pinned buffer 0.
    for (uint8_t frame = 2; frame <= 5; ++frame) {
        std::memset(receive.get(), frame, kBytes);
        ASSERT_TRUE(ring.exchange(receive, kBytes));
        EXPECT_NE(receive.get(), read) << "frame " << int{frame} << " handed a pinned buffer back";
    }
    EXPECT_EQ(reader.data(), read);
    EXPECT_EQ(read[0], 1) << "the frame being read is untouched";
    EXPECT_EQ(ring.pin(false).data()[0], 5);
}

TEST(FrameRingExchange, OtherSizesAndUnallocatedRingsAreRefusedAndStoreCopiesInstead) {
    FrameRing ring;
    auto receive = frameOf(9);
    EXPECT_FALSE(ring.exchange(receive, kBytes)) << "no buffers yet";
    ASSERT_TRUE(ring.allocate(kBytes));
    auto larger = frameOf(7, kBytes * 2);
    const uint8_t* kept = larger.get();
    EXPECT_FALSE(ring.exchange(larger, kBytes * 2));
    EXPECT_EQ(larger.get(), kept) << "a refused buffer stays the caller's";
    EXPECT_EQ(ring.writeIndex(), 0) << "nothing stored";
    ASSERT_TRUE(ring.store(larger.get(), kBytes));
    EXPECT_EQ(ring.pin(false).data()[kBytes - 1], 7);
    platform::ZeroedBlock none;
    EXPECT_FALSE(ring.exchange(none, kBytes));
}

TEST(FrameRingExchange, AChosenSlotKeepsTheWriteIndex) {
    FrameRing ring;
    ASSERT_TRUE(ring.allocate(kBytes));
    auto receive = frameOf(4);
    ASSERT_TRUE(ring.exchange(receive, kBytes, 0));
    EXPECT_EQ(ring.writeIndex(), 0);
    EXPECT_EQ(ring.pin(true).data()[0], 4);
    EXPECT_FALSE(ring.exchange(receive, kBytes, FrameRing::kSlots)) << "no such slot";
}

} // namespace
} // namespace lumvek
