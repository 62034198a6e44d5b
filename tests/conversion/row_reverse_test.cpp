// Rows sent right to left: the reversed copy keeps each pixel's bytes in
// order, and the vector body matches the reference for every width.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "imaging/convert/row_reverse.h"

namespace lumvek {
namespace {

TEST(RowReverse, PixelsSwapEndsAndTwoBytePixelsStayWhole) {
    const std::vector<uint8_t> narrow{1, 2, 3, 4, 5};
    std::vector<uint8_t> out(narrow.size());
    reverseRow(out.data(), narrow.data(), 5, 1);
    EXPECT_EQ(out, (std::vector<uint8_t>{5, 4, 3, 2, 1}));

    const std::vector<uint8_t> wide{0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    out.assign(wide.size(), 0);
    reverseRow(out.data(), wide.data(), 3, 2);
    EXPECT_EQ(out, (std::vector<uint8_t>{0x05, 0x06, 0x03, 0x04, 0x01, 0x02}));
}

TEST(RowReverse, EveryWidthMatchesTheReferenceAndWritesOnlyItsRow) {
    std::mt19937 random(7);
    for (size_t bytesPerPixel : {1u, 2u}) {
        for (size_t width = 0; width <= 200; ++width) {
            std::vector<uint8_t> from(width * bytesPerPixel);
            for (auto& byte : from) {
                byte = static_cast<uint8_t>(random());
            }
            // A guard byte past the row must stay untouched.
            std::vector<uint8_t> expected(from.size() + 1, 0xEE);
            std::vector<uint8_t> actual(from.size() + 1, 0xEE);
            reverseRowReference(expected.data(), from.data(), width, bytesPerPixel);
            reverseRow(actual.data(), from.data(), width, bytesPerPixel);
            ASSERT_EQ(actual, expected) << "width " << width << ", " << bytesPerPixel << " byte(s) per pixel";
        }
    }
}

} // namespace
} // namespace lumvek
