#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "conversion/pattern.h"
#include "imaging/convert/output_copy.h"
#include "imaging/convert/restride.h"

namespace lumvek {
namespace {

// Writes packed rows (width x bpp bytes back to back) the way the device
// delivers them, returning the packed copy.
std::vector<uint8_t> deliverPacked(ImageBuffer& raw, uint32_t seed) {
    const size_t packedRow = static_cast<size_t>(raw.width()) * raw.bytesPerPixel();
    std::vector<uint8_t> packed(packedRow * static_cast<size_t>(raw.height()));
    uint32_t s = seed;
    for (auto& b : packed) {
        s = s * 1103515245u + 12345u;
        b = static_cast<uint8_t>(s >> 16);
    }
    std::memcpy(raw.pixels(), packed.data(), packed.size());
    return packed;
}

TEST(Restride, PackedRowsMoveToTheirStrideWithoutCorruptingLaterRows) {
    const int shapes[][3] = {{10, 7, 8}, {10, 7, 16}, {1, 1, 8}, {3, 5, 16}, {2335, 4, 8}, {1167, 3, 16}};
    for (const auto& shape : shapes) {
        for (KernelPath path : {KernelPath::Reference, KernelPath::Optimised}) {
            ImageBuffer raw;
            ASSERT_TRUE(raw.create(shape[0], shape[1], shape[2]));
            const auto packed = deliverPacked(raw, static_cast<uint32_t>(shape[0] + shape[2]));
            restridePackedRows(raw, path);
            const size_t packedRow = static_cast<size_t>(raw.width()) * raw.bytesPerPixel();
            for (int r = 0; r < raw.height(); ++r) {
                ASSERT_EQ(0, std::memcmp(raw.row(r), packed.data() + packedRow * r, packedRow))
                    << shape[0] << "x" << shape[1] << "@" << shape[2] << " row " << r;
            }
        }
    }
}

TEST(Restride, FullWidthFrameNeedsNoMove) {
    ImageBuffer raw;
    ASSERT_TRUE(raw.create(2336, 3, 8));
    EXPECT_EQ(2336, raw.stride());
    EXPECT_FALSE(needsRestride(raw));
    const auto packed = deliverPacked(raw, 9);
    restridePackedRows(raw);
    EXPECT_EQ(0, std::memcmp(raw.pixels(), packed.data(), packed.size()));

    ImageBuffer colour;
    ASSERT_TRUE(colour.create(292, 219, 24));
    EXPECT_EQ(876, colour.stride());
    ImageBuffer ten;
    ASSERT_TRUE(ten.create(10, 2, 8));
    EXPECT_EQ(12, ten.stride());
    EXPECT_TRUE(needsRestride(ten));
}

TEST(OutputCopy, RowOrderFollowsTheTopDownFlagAndPaddingTravels) {
    ImageBuffer picture;
    ASSERT_TRUE(picture.create(5, 3, 24));  // stride 16: one padding byte per row
    test::fillPattern(picture, 11);
    const size_t need = callerBytesFor(picture);
    ASSERT_EQ(48u, need);

    std::vector<uint8_t> topDown(need);
    ASSERT_TRUE(copyToCaller(picture, topDown.data(), topDown.size(), true));
    EXPECT_EQ(0, std::memcmp(topDown.data(), picture.pixels(), need));

    std::vector<uint8_t> bottomUp(need);
    ASSERT_TRUE(copyToCaller(picture, bottomUp.data(), bottomUp.size(), false));
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(0, std::memcmp(bottomUp.data() + 16 * r, picture.row(2 - r), 16)) << r;
    }
}

TEST(OutputCopy, ShortOrMissingDestinationCopiesNothing) {
    ImageBuffer picture;
    ASSERT_TRUE(picture.create(5, 3, 8));
    test::fillPattern(picture, 12);
    std::vector<uint8_t> out(callerBytesFor(picture) - 1, 0xAA);
    EXPECT_FALSE(copyToCaller(picture, out.data(), out.size(), true));
    EXPECT_FALSE(copyToCaller(picture, out.data(), out.size(), false));
    for (uint8_t b : out) {
        ASSERT_EQ(0xAA, b);
    }
    EXPECT_FALSE(copyToCaller(picture, nullptr, 1000, true));
    ImageBuffer empty;
    EXPECT_FALSE(copyToCaller(empty, out.data(), out.size(), true));
    EXPECT_EQ(0u, callerBytesFor(empty));
}

} // namespace
} // namespace lumvek
