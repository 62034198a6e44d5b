// The image buffer and the apply frame every pixel kernel runs through.
#include <gtest/gtest.h>

#include <cstdint>

#include "imaging/apply.h"
#include "imaging/image_buffer.h"

using namespace lumvek;

TEST(ImageBuffer, RowsStartOnFourByteBoundaries) {
    ImageBuffer b;
    ASSERT_TRUE(b.create(2336, 4, 8));
    EXPECT_EQ(b.stride(), 2336);
    ASSERT_TRUE(b.create(292, 219, 24));
    EXPECT_EQ(b.stride(), 876);
    ASSERT_TRUE(b.create(10, 3, 8));
    EXPECT_EQ(b.stride(), 12);
    ASSERT_TRUE(b.create(1, 1, 48));
    EXPECT_EQ(b.stride(), 8);
    EXPECT_EQ(b.sizeBytes(), 8u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b.pixels()) % kPixelAlignment, 0u);
}

TEST(ImageBuffer, HeaderDescribesTheBitmapAndEightBitBuffersGetTheGreyTable) {
    ImageBuffer b;
    ASSERT_TRUE(b.create(640, 480, 8));
    const BitmapInfoHeader& h = b.header();
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 640);
    EXPECT_EQ(h.biHeight, 480);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biCompression, kBiRgb);
    const RgbQuad& entry = b.colorTable()[128];
    EXPECT_EQ(entry.blue, 128);
    EXPECT_EQ(entry.green, 128);
    EXPECT_EQ(entry.red, 128);
    EXPECT_EQ(entry.reserved, 0);
    EXPECT_EQ(b.colorTable()[255].red, 255);
    for (size_t i = 0; i < b.sizeBytes(); ++i) {
        ASSERT_EQ(b.pixels()[i], 0) << i;
    }
}

TEST(ImageBuffer, RefusedSizesLeaveThePreviousContents) {
    ImageBuffer b;
    ASSERT_TRUE(b.create(4, 4, 24));
    b.pixels()[5] = 77;
    EXPECT_FALSE(b.create(0, 4, 24));
    EXPECT_FALSE(b.create(4, 0, 24));
    EXPECT_FALSE(b.create(4, 4, 0));
    EXPECT_FALSE(b.create(-3, 4, 8));
    EXPECT_FALSE(b.create(4, 4, 12));       // not a whole number of bytes
    EXPECT_FALSE(b.create(1 << 30, 4, 8));  // beyond any frame the library makes
    EXPECT_EQ(b.width(), 4);
    EXPECT_EQ(b.bitsPerPixel(), 24);
    EXPECT_EQ(b.pixels()[5], 77);

    ImageBuffer like;
    EXPECT_FALSE(like.createLike(ImageBuffer{}));
    ASSERT_TRUE(like.createLike(b));
    EXPECT_EQ(like.stride(), b.stride());
    EXPECT_EQ(like.pixels()[5], 0);  // contents are not copied

    b.destroy();
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(b.header().biSize, 40u);
    EXPECT_EQ(b.header().biWidth, 0);
}

namespace {

struct Call {
    int count = 0;
    Rect rect;
    int x = -1, y = -1;
    uint16_t dstBpp = 0, srcBpp = 0;
    int dstStride = 0, srcStride = 0;
};

int recordingKernel(uint8_t*, const uint8_t*, const Rect& rect, int x, int y, uint16_t dstBpp, uint16_t srcBpp,
                    int dstStride, int srcStride, const void* p1, const void*) {
    auto* call = static_cast<Call*>(const_cast<void*>(p1));
    ++call->count;
    call->rect = rect;
    call->x = x;
    call->y = y;
    call->dstBpp = dstBpp;
    call->srcBpp = srcBpp;
    call->dstStride = dstStride;
    call->srcStride = srcStride;
    return 7;
}

} // namespace

TEST(Apply, WholeImageByDefaultWithItsStridesAndPixelSizes) {
    ImageBuffer dst, src;
    ASSERT_TRUE(dst.create(10, 6, 24));
    ASSERT_TRUE(src.create(10, 6, 8));
    Call call;
    EXPECT_EQ(apply(dst, &recordingKernel, src, nullptr, 0, 0, &call, nullptr), 7);
    EXPECT_EQ(call.count, 1);
    EXPECT_EQ(call.rect, (Rect{0, 0, 10, 6}));
    EXPECT_EQ(call.x, 0);
    EXPECT_EQ(call.y, 0);
    EXPECT_EQ(call.dstBpp, 3);
    EXPECT_EQ(call.srcBpp, 1);
    EXPECT_EQ(call.dstStride, 32);
    EXPECT_EQ(call.srcStride, 12);
}

TEST(Apply, ClipsAgainstBothBuffersKeepingPixelsPairedAndTurnsRows) {
    ImageBuffer dst, src;
    ASSERT_TRUE(dst.create(8, 8, 8));
    ASSERT_TRUE(src.create(10, 10, 8));
    Call call;
    // Source rectangle 2..9 x 1..5 placed at (4, 6): 4 columns and 2 rows fit.
    Rect rect{2, 1, 9, 5};
    EXPECT_EQ(apply(dst, &recordingKernel, src, &rect, 4, 6, &call, nullptr), 7);
    EXPECT_EQ(rect, (Rect{2, 1, 6, 3}));  // the clipped rectangle, as the caller sees it
    EXPECT_EQ(call.x, 4);
    EXPECT_EQ(call.y, 8 - (6 + 2));          // destination rows counted from the other end
    EXPECT_EQ(call.rect, (Rect{2, 10 - 3, 6, 10 - 1}));

    // A negative origin moves the rectangle with it.
    rect = Rect{0, 0, 5, 5};
    EXPECT_EQ(apply(dst, &recordingKernel, src, &rect, -2, -1, &call, nullptr), 7);
    EXPECT_EQ(rect, (Rect{2, 1, 5, 5}));
    EXPECT_EQ(call.x, 0);
}

TEST(Apply, NothingLeftAfterClippingCallsNothingAndZeroesTheRectangle) {
    ImageBuffer dst, src;
    ASSERT_TRUE(dst.create(8, 8, 8));
    ASSERT_TRUE(src.create(8, 8, 8));
    Call call;
    Rect outside{0, 0, 4, 4};
    EXPECT_EQ(apply(dst, &recordingKernel, src, &outside, 100, 3, &call, nullptr), 0);
    EXPECT_EQ(call.count, 0);
    EXPECT_EQ(outside, Rect{});
    Rect empty{3, 3, 3, 5};
    EXPECT_EQ(apply(dst, &recordingKernel, src, &empty, 0, 0, &call, nullptr), 0);
    EXPECT_EQ(apply(dst, nullptr, src, nullptr, 0, 0, &call, nullptr), 0);
    ImageBuffer none;
    EXPECT_EQ(apply(none, &recordingKernel, src, nullptr, 0, 0, &call, nullptr), 0);
    EXPECT_EQ(call.count, 0);
}
