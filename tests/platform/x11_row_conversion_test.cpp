// The row conversion the X11 drawing path uses against its plain reference.
#ifdef LUMVEK_HAVE_X11
#include <gtest/gtest.h>

#include <vector>

#include "platform/window/x11/x11_picture.h"

namespace x11 = lumvek::platform::window::x11;

TEST(X11RowConversion, FastPathMatchesTheReferenceAtEveryLengthAndExtreme) {
    for (const int fill : {-1, 0x00, 0xFF}) {
        for (int count : {0, 1, 2, 3, 4, 5, 7, 8, 9, 13, 2336}) {
            std::vector<uint8_t> source(3 * static_cast<size_t>(count) + 5);
            for (size_t i = 0; i < source.size(); ++i)
                source[i] = fill < 0 ? static_cast<uint8_t>(i * 37 + 11) : static_cast<uint8_t>(fill);
            std::vector<uint8_t> expected(4 * static_cast<size_t>(count) + 4, 0xCD);
            std::vector<uint8_t> actual(expected.size(), 0xCD);
            x11::bgrToBgrxRowReference(source.data(), count, expected.data());
            x11::bgrToBgrxRow(source.data(), count, actual.data());
            ASSERT_EQ(expected, actual) << count << " pixels, fill " << fill;
            EXPECT_EQ(actual[4 * static_cast<size_t>(count)], 0xCD) << "wrote past the row";
            if (count > 0) {
                EXPECT_EQ(actual[0], source[0]);
                EXPECT_EQ(actual[2], source[2]);
                EXPECT_EQ(actual[3], 0);
            }
        }
    }
}
#endif
