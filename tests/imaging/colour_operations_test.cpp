// Interpolation, white balance and hue/saturation on small frames whose
// results can be worked out by hand.
#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

#include "imaging/colour/bayer_pattern.h"
#include "imaging/colour/hue_saturation.h"
#include "imaging/colour/interpolation.h"
#include "imaging/colour/white_balance.h"
#include "imaging/pipeline/row_bands.h"
#include "plane_helpers.h"

namespace lumvek {
namespace {

using test::OwnedPlane;

InterpolationParams paramsFor(int mode, int redGain = 100, int blueGain = 100) {
    return InterpolationParams{mode, bayerGainMultiplier(redGain), bayerGainMultiplier(blueGain)};
}

// A raw frame whose red, green and blue samples hold one value each.
OwnedPlane colourField(int w, int h, int mode, int red, int green, int blue) {
    OwnedPlane raw(w, h, 1);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const BayerColour c = bayerColourAt(mode, y, x);
            raw.at8(y, x) = static_cast<uint8_t>(c == BayerColour::Red ? red : c == BayerColour::Green ? green : blue);
        }
    }
    return raw;
}

TEST(BayerPattern, ModesNameTheColourOfTheFirstTwoRows) {
    // mode 0: G B / R G, 1: R G / G B, 2: B G / G R, 3: G R / B G
    EXPECT_EQ(bayerColourAt(0, 0, 1), BayerColour::Blue);
    EXPECT_EQ(bayerColourAt(0, 1, 0), BayerColour::Red);
    EXPECT_EQ(bayerColourAt(1, 0, 0), BayerColour::Red);
    EXPECT_EQ(bayerColourAt(1, 1, 1), BayerColour::Blue);
    EXPECT_EQ(bayerColourAt(2, 0, 0), BayerColour::Blue);
    EXPECT_EQ(bayerColourAt(2, 1, 1), BayerColour::Red);
    EXPECT_EQ(bayerColourAt(3, 0, 1), BayerColour::Red);
    EXPECT_EQ(bayerColourAt(3, 1, 0), BayerColour::Blue);
    EXPECT_EQ(effectiveBayerMode(0, true, false), 1);
    EXPECT_EQ(effectiveBayerMode(2, true, false), 3);
    EXPECT_EQ(effectiveBayerMode(0, false, true), 2);
    EXPECT_EQ(effectiveBayerMode(1, true, true), 2);
    EXPECT_EQ(bayerGainMultiplier(100), 128);
    EXPECT_EQ(bayerGainMultiplier(400), 512);
    EXPECT_EQ(bayerGainMultiplier(9999), 512);  // limited to the setter's range
}

TEST(Interpolation, UniformGreyStaysGreyAtEverySizeAndMode) {
    RowBands bands(2);
    for (int mode = 0; mode < 4; ++mode) {
        for (auto [w, h] : {std::pair{1, 1}, {2, 2}, {3, 1}, {4, 4}, {5, 7}, {40, 9}}) {
            OwnedPlane raw(w, h, 1);
            raw.fill(120);
            for (int bpp : {3, 4}) {
                OwnedPlane ref(w, h, bpp);
                OwnedPlane fast(w, h, bpp);
                ASSERT_TRUE(interpolateReference(raw.view(), ref.view(), paramsFor(mode)));
                ASSERT_TRUE(interpolateOptimised(raw.view(), fast.view(), paramsFor(mode), bands));
                for (int y = 0; y < h; ++y) {
                    for (int x = 0; x < w; ++x) {
                        for (int k = 0; k < 3; ++k) {
                            ASSERT_EQ(ref.at8(y, x, k), 120) << w << "x" << h << " mode " << mode;
                        }
                        if (bpp == 4) {
                            ASSERT_EQ(ref.at8(y, x, 3), 0);  // a fourth component is never written
                        }
                    }
                }
                ASSERT_EQ(ref.bytes(), fast.bytes());
            }
        }
    }
}

TEST(Interpolation, RedGainDoublesRedAndGreenGainChangesNothing) {
    const OwnedPlane raw = colourField(12, 10, 2, 60, 100, 80);
    OwnedPlane plain(12, 10, 3);
    ASSERT_TRUE(interpolateReference(raw.view(), plain.view(), paramsFor(2)));
    OwnedPlane doubled(12, 10, 3);
    ASSERT_TRUE(interpolateReference(raw.view(), doubled.view(), paramsFor(2, 200)));
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 12; ++x) {
            ASSERT_EQ(plain.at8(y, x, 0), 80);
            ASSERT_EQ(plain.at8(y, x, 1), 100);
            ASSERT_EQ(plain.at8(y, x, 2), 60);
            ASSERT_EQ(doubled.at8(y, x, 2), 120);
            ASSERT_EQ(doubled.at8(y, x, 1), 100);
            ASSERT_EQ(doubled.at8(y, x, 0), 80);
        }
    }
    // Doubling a red of 200 saturates at 255; 16-bit samples at 65535.
    const OwnedPlane bright = colourField(8, 8, 2, 200, 100, 80);
    EXPECT_FALSE(interpolateReference(bright.view(), doubled.view(), paramsFor(2, 200)));  // sizes differ
    OwnedPlane out(8, 8, 3);
    ASSERT_TRUE(interpolateReference(bright.view(), out.view(), paramsFor(2, 200)));
    EXPECT_EQ(out.at8(4, 4, 2), 255);
    OwnedPlane raw16(8, 8, 2);
    raw16.fill16(40000);
    OwnedPlane out16(8, 8, 6);
    ASSERT_TRUE(interpolateReference(raw16.view(), out16.view(), paramsFor(2, 400, 50)));
    EXPECT_EQ(out16.at16(3, 3, 2), 65535);  // 4 x 40000 limited
    EXPECT_EQ(out16.at16(3, 3, 1), 40000);
    EXPECT_EQ(out16.at16(3, 3, 0), 20000);
}

TEST(Interpolation, WeightsFollowTheNearestSamplesOfEachColour) {
    OwnedPlane raw(8, 8, 1);
    raw.fillRandom(7);
    OwnedPlane out(8, 8, 3);
    // Mode 1 (R G / G B): at r = 3, c = 2 the sample is green and (r-1, c) red.
    ASSERT_TRUE(interpolateReference(raw.view(), out.view(), paramsFor(1)));
    auto s = [&](int y, int x) { return static_cast<int>(raw.at8(y, x)); };
    const int r = 3, c = 2;
    const int red = (9 * s(r - 1, c) + 3 * s(r + 1, c) + 3 * s(r - 1, c - 2) + s(r + 1, c - 2)) * 128 >> 11;
    const int blue = (9 * s(r, c - 1) + 3 * s(r - 2, c - 1) + 3 * s(r, c + 1) + s(r - 2, c + 1)) * 128 >> 11;
    const int green = (s(r - 1, c - 1) + s(r, c)) >> 1;
    EXPECT_EQ(out.at8(r, c, 2), red);
    EXPECT_EQ(out.at8(r, c, 0), blue);
    EXPECT_EQ(out.at8(r, c, 1), green);
}

TEST(Interpolation, BorderStripsOfAFourByFourFrameFoldInside) {
    OwnedPlane raw(4, 4, 1);  // packed: a read outside is a sanitizer error
    raw.fillRandom(11);
    OwnedPlane out(4, 4, 3);
    ASSERT_TRUE(interpolateReference(raw.view(), out.view(), paramsFor(2)));
    auto s = [&](int y, int x) { return static_cast<int>(raw.at8(y, x)); };
    // Mode 2 (B G / G R) at (0, 0): red inside the quad at (-1, -1), which reads (3, 3).
    const int red = (9 * s(3, 3) + 3 * s(1, 3) + 3 * s(3, 1) + s(1, 1)) * 128 >> 11;
    const int blue = (9 * s(0, 0) + 3 * s(2, 0) + 3 * s(0, 2) + s(2, 2)) * 128 >> 11;
    const int green = (s(3, 0) + s(0, 3)) >> 1;
    EXPECT_EQ(out.at8(0, 0, 2), red);
    EXPECT_EQ(out.at8(0, 0, 0), blue);
    EXPECT_EQ(out.at8(0, 0, 1), green);
    // Index 4 (the height) reads row 0: output (3, 3) has red inside at (3, 3)
    // and the one across the centre at row 1, column 1.
    const int red33 = (9 * s(3, 3) + 3 * s(1, 3) + 3 * s(3, 1) + s(1, 1)) * 128 >> 11;
    EXPECT_EQ(out.at8(3, 3, 2), red33);
}

TEST(Interpolation, RefusesLayoutsThatDoNotPair) {
    OwnedPlane raw(4, 4, 1);
    OwnedPlane wide(4, 4, 6);
    OwnedPlane raw16(4, 4, 2);
    OwnedPlane narrow(4, 4, 3);
    EXPECT_FALSE(interpolateReference(raw.view(), wide.view(), paramsFor(0)));
    EXPECT_FALSE(interpolateReference(raw16.view(), narrow.view(), paramsFor(0)));
    EXPECT_FALSE(interpolateReference(narrow.view(), narrow.view(), paramsFor(0)));
}

TEST(WhiteBalance, RedAtHalfOfGreenGivesRedGain200) {
    const OwnedPlane raw = colourField(16, 12, 2, 50, 100, 100);
    WhiteBalanceGains gains;
    ASSERT_TRUE(whiteBalanceGainsFrom(sumColoursReference(raw.view(), 2), gains));
    EXPECT_EQ(gains.red, 200);
    EXPECT_EQ(gains.green, 100);
    EXPECT_EQ(gains.blue, 100);

    const OwnedPlane dim = colourField(16, 12, 2, 20, 100, 80);  // ratio 5: limited to 400
    ASSERT_TRUE(whiteBalanceGainsFrom(sumColoursReference(dim.view(), 2), gains));
    EXPECT_EQ(gains.red, 400);
    EXPECT_EQ(gains.blue, 125);

    RowBands bands(2);
    const ColourSums a = sumColoursReference(dim.view(), 1);
    const ColourSums b = sumColoursOptimised(dim.view(), 1, bands);
    EXPECT_EQ(a.red, b.red);
    EXPECT_EQ(a.green, b.green);
    EXPECT_EQ(a.blueCount, b.blueCount);
}

TEST(WhiteBalance, ZeroMeanOrMissingColourGivesNoGains) {
    WhiteBalanceGains gains{150, 100, 170};
    const OwnedPlane noRed = colourField(8, 8, 2, 0, 100, 100);
    EXPECT_FALSE(whiteBalanceGainsFrom(sumColoursReference(noRed.view(), 2), gains));
    OwnedPlane single(1, 1, 1);  // one sample: two colours have none
    single.fill(90);
    EXPECT_FALSE(whiteBalanceGainsFrom(sumColoursReference(single.view(), 2), gains));
    EXPECT_EQ(gains.red, 150);
    EXPECT_EQ(gains.blue, 170);
}

TEST(HueSaturation, HueOffsetsOfTheIntegerHueCircle) {
    EXPECT_EQ(hueOffsetFor(90), 382);
    EXPECT_EQ(hueOffsetFor(120), 509);
    EXPECT_EQ(hueOffsetFor(-90), 1148);
    EXPECT_EQ(hueOffsetFor(360), 0);
    EXPECT_EQ(hueOffsetFor(-360), 0);
    for (int hue = -360; hue <= 360; ++hue) {
        const int a = hueOffsetFor(hue);
        ASSERT_GE(a, 0);
        ASSERT_LE(a, 1529);
    }
}

// Runs the transform on one pixel given as (red, green, blue).
std::array<int, 3> transformed(int red, int green, int blue, int hue, int saturation, int bpp = 3) {
    OwnedPlane px(1, 1, bpp);
    const HueSaturationTables tables(saturation);
    if (bpp >= 6) {
        px.at16(0, 0, 0) = static_cast<uint16_t>(blue << 8 | 0x7F);
        px.at16(0, 0, 1) = static_cast<uint16_t>(green << 8 | 0xFF);
        px.at16(0, 0, 2) = static_cast<uint16_t>(red << 8 | 0x01);
        if (bpp == 8) {
            px.at16(0, 0, 3) = 0xABCD;
        }
        EXPECT_TRUE(hueSaturationReference(px.view(), hueOffsetFor(hue), tables));
        if (bpp == 8) {
            EXPECT_EQ(px.at16(0, 0, 3), 0);
        }
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(px.at16(0, 0, k) & 0xFF, 0);
        }
        return {px.at16(0, 0, 2) >> 8, px.at16(0, 0, 1) >> 8, px.at16(0, 0, 0) >> 8};
    }
    px.at8(0, 0, 0) = static_cast<uint8_t>(blue);
    px.at8(0, 0, 1) = static_cast<uint8_t>(green);
    px.at8(0, 0, 2) = static_cast<uint8_t>(red);
    if (bpp == 4) {
        px.at8(0, 0, 3) = 0x55;
    }
    EXPECT_TRUE(hueSaturationReference(px.view(), hueOffsetFor(hue), tables));
    if (bpp == 4) {
        EXPECT_EQ(px.at8(0, 0, 3), 0);
    }
    return {px.at8(0, 0, 2), px.at8(0, 0, 1), px.at8(0, 0, 0)};
}

TEST(HueSaturation, KnownColoursInEveryLayout) {
    using Rgb = std::array<int, 3>;
    for (int bpp : {3, 4, 6, 8}) {
        SCOPED_TRACE(bpp);
        EXPECT_EQ(transformed(255, 0, 0, 360, 0, bpp), (Rgb{255, 0, 0}));
        EXPECT_EQ(transformed(255, 0, 0, -360, 0, bpp), (Rgb{255, 0, 0}));
        EXPECT_EQ(transformed(200, 100, 0, 360, 0, bpp), (Rgb{200, 99, 0}));
        EXPECT_EQ(transformed(255, 0, 0, 120, 0, bpp), (Rgb{2, 255, 0}));
        EXPECT_EQ(transformed(200, 100, 50, 0, 100, bpp), (Rgb{229, 89, 20}));
        EXPECT_EQ(transformed(90, 90, 90, 200, 255, bpp), (Rgb{90, 90, 90}));  // grey has no hue
    }
}

TEST(HueSaturation, TablesBelongToTheirOwnerAndBandsMatchTheReference) {
    // Two sets of tables used in turn never disturb each other.
    const HueSaturationTables pale(-200);
    const HueSaturationTables vivid(200);
    OwnedPlane frame(37, 9, 4);
    frame.fillRandom(3);
    OwnedPlane a = frame, b = frame, c = frame;
    ASSERT_TRUE(hueSaturationReference(a.view(), 300, pale));
    ASSERT_TRUE(hueSaturationReference(b.view(), 300, vivid));
    RowBands bands(2);
    ASSERT_TRUE(hueSaturationOptimised(c.view(), 300, HueSaturationTables(-200), bands));
    EXPECT_EQ(a.bytes(), c.bytes());
    EXPECT_NE(a.bytes(), b.bytes());
}

TEST(HueSaturation, VectorLanesMatchThePixelFormulaAcrossTheColourCube) {
    // Every 8th level of each component, the cube's faces and every
    // difference between the largest and smallest component, in every layout.
    std::vector<std::array<int, 3>> colours;
    for (int b = 0; b < 256; b += 8) {
        for (int g = 0; g < 256; g += 8) {
            for (int r = 0; r < 256; r += 8) {
                colours.push_back({b, g, r});
            }
        }
    }
    for (int v = 0; v < 256; ++v) {
        colours.push_back({v, v, v});
        colours.push_back({255, v, 0});
        colours.push_back({0, 255, v});
        colours.push_back({v, v / 3, 0});
        colours.push_back({255 - v / 2, 255, 255 - v});
    }
    const int width = 256;
    const int height = static_cast<int>((colours.size() + width - 1) / width);
    RowBands bands(2);
    for (int bpp : {3, 4, 6, 8}) {
        OwnedPlane frame(width, height, bpp);
        for (size_t i = 0; i < colours.size(); ++i) {
            const int y = static_cast<int>(i) / width;
            const int x = static_cast<int>(i) % width;
            for (int k = 0; k < 3; ++k) {
                if (bpp >= 6) {
                    frame.at16(y, x, k) = static_cast<uint16_t>(colours[i][static_cast<size_t>(k)] << 8 | (x & 0xFF));
                } else {
                    frame.at8(y, x, k) = static_cast<uint8_t>(colours[i][static_cast<size_t>(k)]);
                }
            }
        }
        for (int saturation : {-255, -1, 0, 1, 100, 255}) {
            const HueSaturationTables tables(saturation);
            for (int offset : {0, 1, 254, 255, 382, 509, 1148, 1529}) {
                OwnedPlane a = frame;
                OwnedPlane b = frame;
                ASSERT_TRUE(hueSaturationReference(a.view(), offset, tables));
                ASSERT_TRUE(hueSaturationOptimised(b.view(), offset, tables, bands));
                ASSERT_EQ(a.bytes(), b.bytes()) << bpp << " " << saturation << " " << offset;
            }
        }
    }
}

TEST(HueSaturation, VectorLanesMatchThePixelFormulaForEveryColour) {
    // All 2^24 colours of 8-bit pixels, one per pixel in rows of 4096: the
    // vector bodies take 32, 16 and 8 pixels at a time, so every colour
    // passes through each lane position of the widest one.
    constexpr int kSide = 4096;
    OwnedPlane frame(kSide, kSide, 3);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const int colour = y * kSide + x;
            for (int k = 0; k < 3; ++k) {
                frame.at8(y, x, k) = static_cast<uint8_t>(colour >> (8 * k));
            }
        }
    }
    RowBands bands(2);
    for (auto [saturation, offset] : {std::pair{255, 1529}, {-128, 382}, {37, 700}}) {
        const HueSaturationTables tables(saturation);
        OwnedPlane a = frame;
        OwnedPlane b = frame;
        ASSERT_TRUE(hueSaturationReference(a.view(), offset, tables));
        ASSERT_TRUE(hueSaturationOptimised(b.view(), offset, tables, bands));
        ASSERT_TRUE(a.bytes() == b.bytes()) << saturation << " " << offset;
    }
}

} // namespace
} // namespace lumvek
