#include <gtest/gtest.h>

#include <cstring>

#include "conversion/pattern.h"
#include "imaging/convert/preview_scaler.h"

namespace lumvek {
namespace {

TEST(PreviewScaler, OneToOneReadsRowsFlippedOrInOrder) {
    for (int bits : {8, 24}) {
        ImageBuffer src;
        ImageBuffer dst;
        ASSERT_TRUE(src.create(7, 5, bits));
        ASSERT_TRUE(dst.create(7, 5, bits));
        test::fillPattern(src, 4);
        const size_t rowBytes = 7u * (bits / 8);
        ASSERT_TRUE(scaleNearest(dst, {0, 0, 7, 5}, src, {0, 0, 7, 5}, ScaleRows::Flipped));
        for (int r = 0; r < 5; ++r) {
            EXPECT_EQ(0, std::memcmp(dst.row(r), src.row(4 - r), rowBytes)) << bits << " row " << r;
        }
        ASSERT_TRUE(scaleNearest(dst, {0, 0, 7, 5}, src, {0, 0, 7, 5}, ScaleRows::InOrder));
        for (int r = 0; r < 5; ++r) {
            EXPECT_EQ(0, std::memcmp(dst.row(r), src.row(r), rowBytes)) << bits << " row " << r;
        }
    }
}

TEST(PreviewScaler, NearestNeighbourPicksTruncatedSourcePositions) {
    ImageBuffer src;
    ImageBuffer down;
    ImageBuffer up;
    ASSERT_TRUE(src.create(6, 4, 8));
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 6; ++c) {
            src.row(r)[c] = static_cast<uint8_t>(10 * r + c);
        }
    }
    // Halving: column j takes 2j, row i takes source row 3 - 2i (flipped).
    ASSERT_TRUE(down.create(3, 2, 8));
    ASSERT_TRUE(scaleNearest(down, {0, 0, 3, 2}, src, {0, 0, 6, 4}));
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(10 * (3 - 2 * i) + 2 * j, down.row(i)[j]) << i << "," << j;
        }
    }
    // Enlarging 6 -> 9 columns: ratio 2/3, column j takes trunc(j * 2/3).
    ASSERT_TRUE(up.create(9, 4, 8));
    ASSERT_TRUE(scaleNearest(up, {0, 0, 9, 4}, src, {0, 0, 6, 4}, ScaleRows::InOrder));
    const int want[9] = {0, 0, 1, 2, 2, 3, 4, 4, 5};
    for (int j = 0; j < 9; ++j) {
        EXPECT_EQ(want[j], up.row(0)[j]) << j;
    }
}

TEST(PreviewScaler, RefusesMismatchedDepthsAndRectanglesOutsideTheBuffers) {
    ImageBuffer src;
    ImageBuffer dst8;
    ImageBuffer dst24;
    ImageBuffer src16;
    ASSERT_TRUE(src.create(4, 4, 8));
    ASSERT_TRUE(dst8.create(4, 4, 8));
    ASSERT_TRUE(dst24.create(4, 4, 24));
    ASSERT_TRUE(src16.create(4, 4, 16));
    test::fillPattern(src, 5);
    EXPECT_FALSE(scaleNearest(dst24, {0, 0, 4, 4}, src, {0, 0, 4, 4}));
    EXPECT_FALSE(scaleNearest(dst8, {0, 0, 5, 4}, src, {0, 0, 4, 4}));
    EXPECT_FALSE(scaleNearest(dst8, {0, 0, 4, 4}, src, {0, -1, 4, 4}));
    EXPECT_FALSE(scaleNearest(dst8, {2, 2, 2, 4}, src, {0, 0, 4, 4}));
    EXPECT_FALSE(scaleNearest(dst8, {0, 0, 4, 4}, src16, {0, 0, 4, 4}));
    for (size_t i = 0; i < dst8.sizeBytes(); ++i) {
        ASSERT_EQ(0, dst8.pixels()[i]);
    }
}

} // namespace
} // namespace lumvek
