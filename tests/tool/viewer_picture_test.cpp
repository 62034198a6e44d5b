// The viewer's picture of an SDK frame: each colour mode's samples land in
// the right channel at the right depth, rows padded to 4 bytes are stepped
// over, and the histogram counts the brightness of the sampled pixels.
#include <gtest/gtest.h>

#include <vector>

#include "viewer/frame_picture.h"

namespace lumvek::viewer {
namespace {

uint32_t rgb(int r, int g, int b) {
    return static_cast<uint32_t>(r << 16 | g << 8 | b);
}

TEST(ViewerPicture, EveryColourModeGivesTheSameColoursAtItsDepth) {
    // One pixel, blue 10, green 100, red 200 (8-bit terms), per mode.
    const std::vector<uint8_t> bgr24 = {10, 100, 200, 0};
    const std::vector<uint8_t> bgrx32 = {10, 100, 200, 77};
    const std::vector<uint8_t> bgr48 = {0x34, 10, 0x56, 100, 0x78, 200, 0, 0};  // 16-bit little-endian
    const std::vector<uint8_t> bgrx64 = {0x34, 10, 0x56, 100, 0x78, 200, 1, 2};
    for (const auto& [bits, bytes] : {std::pair{24, bgr24}, std::pair{32, bgrx32}, std::pair{48, bgr48},
                                      std::pair{64, bgrx64}}) {
        Picture picture;
        ASSERT_TRUE(convertFrame(bytes.data(), bytes.size(), 1, 1, bits, picture)) << bits;
        EXPECT_EQ(picture.pixels.at(0), rgb(200, 100, 10)) << bits;
    }
    // Grey: 8 bits as they are; 16 bits carry the sensor's 10 bits.
    const std::vector<uint8_t> grey8 = {123, 0, 0, 0};
    const std::vector<uint8_t> grey16 = {0xFF, 0x03, 0, 0};  // 1023: full scale
    Picture picture;
    ASSERT_TRUE(convertFrame(grey8.data(), grey8.size(), 1, 1, 8, picture));
    EXPECT_EQ(picture.pixels.at(0), rgb(123, 123, 123));
    ASSERT_TRUE(convertFrame(grey16.data(), grey16.size(), 1, 1, 16, picture));
    EXPECT_EQ(picture.pixels.at(0), rgb(255, 255, 255));
}

TEST(ViewerPicture, PaddedRowsAreSteppedOverAndShortOrOddFramesRefused) {
    // 3 x 2 pixels of 8 bits: rows of 3 bytes padded to 4.
    const std::vector<uint8_t> frame = {1, 2, 3, 99, 4, 5, 6, 99};
    Picture picture;
    ASSERT_TRUE(convertFrame(frame.data(), frame.size(), 3, 2, 8, picture));
    ASSERT_EQ(picture.pixels.size(), 6u);
    EXPECT_EQ(picture.pixels[3], rgb(4, 4, 4));
    EXPECT_EQ(picture.pixels[5], rgb(6, 6, 6));
    EXPECT_FALSE(convertFrame(frame.data(), frame.size() - 1, 3, 2, 8, picture));
    EXPECT_FALSE(convertFrame(frame.data(), frame.size(), 3, 2, 12, picture));
    EXPECT_FALSE(convertFrame(frame.data(), frame.size(), 0, 2, 8, picture));
    EXPECT_FALSE(convertFrame(nullptr, 0, 1, 1, 8, picture));
}

TEST(ViewerPicture, TheHistogramCountsSampledPixelsAndItsMeanFollowsThePicture) {
    // 8 x 8 grey: left half 40, right half 200. Every 4th pixel of every 4th row
    // is sampled: columns 0 and 4, rows 0 and 4.
    const int size = 8;
    std::vector<uint8_t> frame(static_cast<size_t>(size * size));
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) frame[static_cast<size_t>(y * size + x)] = x < size / 2 ? 40 : 200;
    Picture picture;
    ASSERT_TRUE(convertFrame(frame.data(), frame.size(), size, size, 8, picture));
    EXPECT_EQ(picture.histogram.samples, 4u);
    EXPECT_EQ(picture.histogram.bins[40], 2u);
    EXPECT_EQ(picture.histogram.bins[200], 2u);
    EXPECT_DOUBLE_EQ(picture.histogram.mean(), 120.0);
    EXPECT_NEAR(meanBrightness(picture), 120.0, 0.5);

    // A colour pixel counts by its brightness: pure green is brighter than pure blue.
    const std::vector<uint8_t> green = {0, 255, 0, 0}, blue = {255, 0, 0, 0};
    Picture g, b;
    ASSERT_TRUE(convertFrame(green.data(), green.size(), 1, 1, 24, g));
    ASSERT_TRUE(convertFrame(blue.data(), blue.size(), 1, 1, 24, b));
    EXPECT_GT(g.histogram.mean(), 3 * b.histogram.mean());
    EXPECT_EQ(Histogram{}.mean(), 0.0);
}

} // namespace
} // namespace lumvek::viewer
