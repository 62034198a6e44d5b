// Mask, dot and spike filters, gray modes and defect masks on small frames.
#include <gtest/gtest.h>

#include "imaging/colour/bayer_pattern.h"
#include "imaging/correction/defect_planes.h"
#include "imaging/correction/dot_filter.h"
#include "imaging/correction/gray_mode.h"
#include "imaging/correction/mask_filter.h"
#include "imaging/correction/spike_filter.h"
#include "imaging/pipeline/row_bands.h"
#include "plane_helpers.h"

namespace lumvek {
namespace {

using test::OwnedPlane;

CaptureWindow windowOf(int w, int h, int left = 0, int top = 0) { return CaptureWindow{w, h, left, top, 0}; }

TEST(MaskFilter, WhiteReferenceGivesFullScaleAndDarkGivesZero) {
    OwnedPlane dark(16, 12, 1);
    OwnedPlane white(16, 12, 1);
    dark.fillRandom(1);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 16; ++x) {
            dark.at8(y, x) = static_cast<uint8_t>(dark.at8(y, x) % 100);
            white.at8(y, x) = static_cast<uint8_t>(dark.at8(y, x) + 1 + (x * 7 + y) % 150);
        }
    }
    RowBands bands(2);
    OwnedPlane frame = white;
    ASSERT_TRUE(maskFilterReference(frame.view(), dark.view(), white.view(), windowOf(16, 12)));
    OwnedPlane fast = white;
    ASSERT_TRUE(maskFilterOptimised(fast.view(), dark.view(), white.view(), windowOf(16, 12), bands));
    for (uint8_t v : frame.bytes()) {
        ASSERT_EQ(v, 255);  // 256 limited
    }
    EXPECT_EQ(frame.bytes(), fast.bytes());
    frame = dark;
    ASSERT_TRUE(maskFilterReference(frame.view(), dark.view(), white.view(), windowOf(16, 12)));
    for (uint8_t v : frame.bytes()) {
        ASSERT_EQ(v, 0);
    }
}

TEST(MaskFilter, DefaultReferencesScaleBy256Over255) {
    OwnedPlane dark(16, 1, 1);
    OwnedPlane white(16, 1, 1);
    white.fill(255);
    OwnedPlane frame(16, 1, 1);
    const uint8_t in[] = {0, 1, 100, 128, 200, 254, 255};
    for (int i = 0; i < 7; ++i) {
        frame.at8(0, i) = in[i];
    }
    ASSERT_TRUE(maskFilterReference(frame.view(), dark.view(), white.view(), windowOf(16, 1)));
    const uint8_t out[] = {0, 1, 100, 128, 200, 254, 255};  // trunc(v x 256 / 255)
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(frame.at8(0, i), out[i]) << int{in[i]};
    }
}

TEST(MaskFilter, PairsFramePixelsWithTheCaptureWindowAndKeepsTheSensorMargin) {
    // References 2336 wide: a full-width window leaves two pixels at each edge.
    OwnedPlane dark(kSensorWidth, 8, 1);
    OwnedPlane white(kSensorWidth, 8, 1);
    white.fill(200);
    dark.fill(100);
    dark.at8(4, 5) = 50;  // frame (2, 2) with window offset (3, 2) pairs with it
    OwnedPlane frame(8, 6, 1);
    frame.fill(150);
    ASSERT_TRUE(maskFilterReference(frame.view(), dark.view(), white.view(), windowOf(kSensorWidth, 6, 3, 2)));
    EXPECT_EQ(frame.at8(0, 4), 150);  // margin rows untouched
    EXPECT_EQ(frame.at8(3, 1), 150);  // margin columns untouched
    EXPECT_EQ(frame.at8(3, 3), 128);  // (150 - 100) x 256 / 100
    EXPECT_EQ(frame.at8(2, 2), 170);  // (150 - 50) x 256 / 150
    EXPECT_EQ(frame.at8(3, 7), 128);  // the window is wider than the frame: clipped to the frame
    EXPECT_EQ(frame.at8(4, 4), 150);  // row 4 = H - 2: margin
}

TEST(MaskFilter, SixteenBitLimitsAndEqualReferences) {
    OwnedPlane dark(6, 1, 2);
    OwnedPlane white(6, 1, 2);
    OwnedPlane frame(6, 1, 2);
    const uint16_t d[] = {0, 1000, 1000, 0, 5000, 5000};
    const uint16_t w[] = {1, 3000, 1000, 65535, 4000, 9000};
    const uint16_t v[] = {65535, 2000, 4000, 65535, 4500, 1000};
    const uint16_t expect[] = {65535, 32768, 4000, 65535, 4500, 0};
    for (int i = 0; i < 6; ++i) {
        dark.at16(0, i) = d[i];
        white.at16(0, i) = w[i];
        frame.at16(0, i) = v[i];
    }
    OwnedPlane fast = frame;
    RowBands bands(1);
    ASSERT_TRUE(maskFilterReference(frame.view(), dark.view(), white.view(), windowOf(6, 1)));
    ASSERT_TRUE(maskFilterOptimised(fast.view(), dark.view(), white.view(), windowOf(6, 1), bands));
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(frame.at16(0, i), expect[i]) << i;
    }
    EXPECT_EQ(frame.bytes(), fast.bytes());
    // 8-bit: white below dark divides by a negative difference.
    OwnedPlane d8(2, 1, 1), w8(2, 1, 1), f8(2, 1, 1);
    d8.at8(0, 0) = 200; w8.at8(0, 0) = 100; f8.at8(0, 0) = 150;  // (-50 x 256) / -100 = 128
    d8.at8(0, 1) = 90; w8.at8(0, 1) = 90; f8.at8(0, 1) = 7;     // equal: unchanged
    ASSERT_TRUE(maskFilterReference(f8.view(), d8.view(), w8.view(), windowOf(2, 1)));
    EXPECT_EQ(f8.at8(0, 0), 128);
    EXPECT_EQ(f8.at8(0, 1), 7);
}

struct DotFixture {
    OwnedPlane darkMask{24, 24, 1};
    OwnedPlane whiteMask{24, 24, 1};
    std::vector<uint8_t> flags;
    DotFilterPlanes masks() const { return DotFilterPlanes{darkMask.view(), whiteMask.view()}; }
};

TEST(DotFilter, SingleHotPixelTakesTheFieldValue) {
    DotFixture f;
    OwnedPlane frame(9, 9, 1);
    frame.fill(100);
    frame.at8(4, 4) = 255;
    frame.at8(0, 6) = 255;  // outermost row: never flagged nor repaired
    OwnedPlane fast = frame;
    RowBands bands(2);
    ASSERT_TRUE(dotFilterReference(frame.view(), f.masks(), windowOf(9, 9), f.flags));
    ASSERT_TRUE(dotFilterOptimised(fast.view(), f.masks(), windowOf(9, 9), f.flags, bands));
    EXPECT_EQ(frame.at8(4, 4), 100);
    EXPECT_EQ(frame.at8(0, 6), 255);
    EXPECT_EQ(frame.bytes(), fast.bytes());
}

TEST(DotFilter, BlockOfMarkedPixelsTakesTheNearestUnflaggedOnes) {
    DotFixture f;
    OwnedPlane frame(11, 11, 1);
    frame.fill(100);
    for (int y = 4; y <= 6; ++y) {
        for (int x = 4; x <= 6; ++x) {
            f.darkMask.at8(y, x) = 1;
        }
    }
    frame.at8(5, 3) = 90;
    frame.at8(5, 7) = 110;
    frame.at8(3, 5) = 95;
    frame.at8(7, 5) = 120;
    ASSERT_TRUE(dotFilterReference(frame.view(), f.masks(), windowOf(11, 11), f.flags));
    EXPECT_EQ(frame.at8(5, 5), (90 + 110 + 95 + 120) / 4);
    EXPECT_EQ(frame.at8(5, 3), 90);  // unflagged pixels never change
}

TEST(DotFilter, MasksPairWithTheCaptureWindowLikeTheMaskFilter) {
    DotFixture f;
    f.whiteMask.at8(6, 5) = 1;  // sensor (5, 6)
    OwnedPlane frame(8, 8, 1);
    frame.fill(100);
    frame.at8(2, 2) = 80;  // not an outlier (20 < 30): only the mask flags it
    OwnedPlane atOrigin = frame;
    ASSERT_TRUE(dotFilterReference(frame.view(), f.masks(), windowOf(8, 8, 3, 4), f.flags));
    EXPECT_EQ(frame.at8(2, 2), 100);
    ASSERT_TRUE(dotFilterReference(atOrigin.view(), f.masks(), windowOf(8, 8, 0, 0), f.flags));
    EXPECT_EQ(atOrigin.at8(2, 2), 80);
    // A window partly off the masks reads nothing outside them, in either path.
    f.darkMask.at8(22, 21) = 1;  // frame (1, 2) at window offset (20, 20)
    f.darkMask.at8(23, 23) = 1;  // frame (3, 3)
    RowBands bands(2);
    for (auto [left, top] : {std::pair{20, 20}, {-3, 18}, {19, -2}}) {
        OwnedPlane offEdge(8, 8, 1);
        offEdge.fillRandom(static_cast<uint32_t>(left * 31 + top));
        OwnedPlane fast = offEdge;
        ASSERT_TRUE(dotFilterReference(offEdge.view(), f.masks(), windowOf(8, 8, left, top), f.flags));
        ASSERT_TRUE(dotFilterOptimised(fast.view(), f.masks(), windowOf(8, 8, left, top), f.flags, bands));
        EXPECT_EQ(offEdge.bytes(), fast.bytes()) << left << "," << top;
    }
}

TEST(DotFilter, SixteenBitThresholdIs480) {
    OwnedPlane dark(12, 12, 2), white(12, 12, 2);
    std::vector<uint8_t> flags;
    OwnedPlane frame(7, 7, 2);
    frame.fill16(30000);
    frame.at16(3, 3) = 30479;  // below the threshold
    frame.at16(2, 5) = 29000;  // 1000 below
    ASSERT_TRUE(dotFilterReference(frame.view(), DotFilterPlanes{dark.view(), white.view()}, windowOf(7, 7), flags));
    EXPECT_EQ(frame.at16(3, 3), 30479);
    EXPECT_EQ(frame.at16(2, 5), 30000);
}

TEST(SpikeFilter, SixteenBitNeedsEveryNeighbourFarAway) {
    OwnedPlane frame(9, 9, 2);
    frame.fill16(10000);
    frame.at16(4, 4) = 18000;
    OwnedPlane withNeighbour = frame;
    withNeighbour.at16(3, 5) = 17000;  // within 7680 of the spike
    ASSERT_TRUE(spikeFilterReference(frame.view(), SpikeFilterParams{}));
    EXPECT_EQ(frame.at16(4, 4), 10000);
    OwnedPlane fast = withNeighbour;
    ASSERT_TRUE(spikeFilterReference(withNeighbour.view(), SpikeFilterParams{}));
    RowBands bands(1);
    SpikeFilterScratch scratch;
    ASSERT_TRUE(spikeFilterOptimised(fast.view(), SpikeFilterParams{}, bands, scratch));
    EXPECT_EQ(withNeighbour.at16(4, 4), 18000);
    EXPECT_EQ(withNeighbour.bytes(), fast.bytes());
}

TEST(SpikeFilter, EightBitReplacesColouredSpikesOnly) {
    for (int mode = 0; mode < 4; ++mode) {
        OwnedPlane frame(10, 10, 1);
        frame.fill(100);
        frame.at8(4, 4) = 200;  // a lone bright sample makes a strongly coloured pixel
        frame.at8(5, 6) = 125;  // only 25 above the mean: left alone
        ASSERT_TRUE(spikeFilterReference(frame.view(), SpikeFilterParams{mode, 128, 128}));
        EXPECT_EQ(frame.at8(4, 4), 100) << mode;
        EXPECT_EQ(frame.at8(5, 6), 125) << mode;
    }
    OwnedPlane grey(10, 10, 1);
    grey.fill(180);  // bright but uniform: nothing to do
    const OwnedPlane before = grey;
    ASSERT_TRUE(spikeFilterReference(grey.view(), SpikeFilterParams{}));
    EXPECT_EQ(grey.bytes(), before.bytes());
}

// Frames whose replacements reach across band edges: random samples (a
// replacement in most rows), a column of bright samples whose every
// replacement changes the mean of the next one two rows down through the
// whole frame, and smooth frames with few spikes. Every band count, both
// depths, every Bayer mode and the gain extremes give the reference's bytes,
// with the same scratch reused from frame to frame.
TEST(SpikeFilter, BandsGiveTheScanOrderResult) {
    RowBands one(1), two(2), four(4);
    SpikeFilterScratch scratch;
    const std::pair<int, int> sizes[] = {{5, 5}, {6, 40}, {37, 36}, {70, 64}, {131, 100}, {9, 131}};
    uint32_t seed = 7;
    for (int bytes : {1, 2}) {
        for (auto [w, h] : sizes) {
            for (int pattern = 0; pattern < 3; ++pattern) {
                OwnedPlane frame(w, h, bytes);
                ++seed;
                if (pattern == 0) {
                    frame.fillRandom(seed);
                } else if (bytes == 1) {
                    frame.fill(100);
                } else {
                    frame.fill16(10000);
                }
                std::mt19937 rng(seed);
                for (int y = 0; y < h && pattern > 0; ++y) {
                    const int x = pattern == 1 ? w / 2 : static_cast<int>(rng() % static_cast<uint32_t>(w));
                    if (pattern == 1 && y % 2 != 0) {
                        continue;
                    }
                    if (bytes == 1) {
                        frame.at8(y, x) = 200;
                    } else {
                        frame.at16(y, x) = 60000;
                    }
                }
                for (int mode = 0; mode < 4; ++mode) {
                    const SpikeFilterParams params{mode, mode == 1 ? 0 : 128, mode == 3 ? 400 : 128 + mode};
                    OwnedPlane expected = frame;
                    ASSERT_TRUE(spikeFilterReference(expected.view(), params));
                    for (RowBands* bands : {&one, &two, &four}) {
                        OwnedPlane fast = frame;
                        ASSERT_TRUE(spikeFilterOptimised(fast.view(), params, *bands, scratch));
                        ASSERT_EQ(fast.bytes(), expected.bytes())
                            << bytes << " bytes, " << w << "x" << h << ", pattern " << pattern << ", mode " << mode
                            << ", " << bands->threads() << " threads";
                    }
                }
            }
        }
    }
}

TEST(SpikeFilter, EightBitPixelsAtTheLimitAreFoundAtEveryColumnOfTheVectorSteps) {
    // A field of 100..103, so the four-sample mean takes every remainder, with
    // pixels 29, 30 and 31 above their mean at every column: the vector marks
    // must round the mean as the scalar sum does, or a pixel at the limit is
    // missed (or one below it taken).
    RowBands one(1);
    SpikeFilterScratch scratch;
    constexpr int kRows = 24;
    for (int w : {37, 70, 100, 131}) {
        OwnedPlane frame(w, kRows, 1);
        std::mt19937 rng(static_cast<uint32_t>(w));
        for (int y = 0; y < kRows; ++y) {
            for (int x = 0; x < w; ++x) {
                frame.at8(y, x) = static_cast<uint8_t>(100 + rng() % 4);
            }
        }
        for (int y = 2; y < kRows - 2; y += 3) {
            for (int x = 2 + y % 4; x < w - 2; x += 4) {
                const int mean = (frame.at8(y, x - 2) + frame.at8(y, x + 2) + frame.at8(y - 2, x) + frame.at8(y + 2, x)) >> 2;
                frame.at8(y, x) = static_cast<uint8_t>(mean + 29 + (x + y) % 3);
            }
        }
        // Red at four times its level and no blue: every spike looks coloured.
        const SpikeFilterParams params{2, bayerGainMultiplier(400), bayerGainMultiplier(0)};
        OwnedPlane expected = frame;
        ASSERT_TRUE(spikeFilterReference(expected.view(), params));
        ASSERT_NE(expected.bytes(), frame.bytes());
        ASSERT_TRUE(spikeFilterOptimised(frame.view(), params, one, scratch));
        EXPECT_EQ(frame.bytes(), expected.bytes()) << w;
    }
}

TEST(SpikeFilter, RefusesWhatIsNotARawFrame) {
    RowBands bands(2);
    SpikeFilterScratch scratch;
    OwnedPlane colour(8, 8, 3);
    EXPECT_FALSE(spikeFilterOptimised(colour.view(), SpikeFilterParams{}, bands, scratch));
    EXPECT_FALSE(spikeFilterReference(colour.view(), SpikeFilterParams{}));
    EXPECT_FALSE(spikeFilterOptimised(PlaneView{}, SpikeFilterParams{}, bands, scratch));
    OwnedPlane tiny(4, 30, 1);
    tiny.fillRandom(3);
    const OwnedPlane before = tiny;
    EXPECT_TRUE(spikeFilterOptimised(tiny.view(), SpikeFilterParams{}, bands, scratch));
    EXPECT_EQ(tiny.bytes(), before.bytes());
}

TEST(GrayMode, UnityLevelsAndGainOffsetOfOneCell) {
    GrayLevels unity;
    EXPECT_TRUE(unity.allUnity());
    GrayLevels levels;
    levels.gain[kGrayR] = 255;
    levels.offset[kGrayR] = -255;
    EXPECT_FALSE(levels.allUnity());
    // Mode 0: R is row phase 0, column phase 1.
    EXPECT_EQ(grayCellAt(0, 0, 1), kGrayR);
    EXPECT_EQ(grayCellAt(0, 0, 0), kGrayG1);
    EXPECT_EQ(grayCellAt(0, 1, 0), kGrayB);
    EXPECT_EQ(grayCellAt(0, 1, 1), kGrayG2);
    EXPECT_EQ(grayCellAt(3, 1, 0), kGrayR);
    OwnedPlane frame(4, 2, 1);
    frame.at8(0, 1) = 200;
    frame.at8(0, 3) = 100;
    OwnedPlane fast = frame;
    ASSERT_TRUE(grayGainOffsetReference(frame.view(), 0, levels));
    RowBands bands(2);
    ASSERT_TRUE(grayGainOffsetOptimised(fast.view(), 0, levels, bands));
    EXPECT_EQ(frame.at8(0, 1), 143);  // 200 x 255 / 128 - 255
    EXPECT_EQ(frame.at8(0, 3), 0);    // 199 - 255, not negative
    EXPECT_EQ(frame.at8(0, 0), 128);  // the other cells: 0 x 128 / 128 + 128
    EXPECT_EQ(frame.bytes(), fast.bytes());
    OwnedPlane wide(2, 1, 2);
    wide.at16(0, 1) = 40000;
    ASSERT_TRUE(grayGainOffsetReference(wide.view(), 0, levels));
    EXPECT_EQ(wide.at16(0, 1), 65535);  // 79687 - 255 limited
}

TEST(GrayMode, MeasurementLeavesOutExtremesAndReadsSixteenBitSamplesWhole) {
    OwnedPlane frame(8, 8, 1);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const GrayCell cell = grayCellAt(2, y, x);
            frame.at8(y, x) = static_cast<uint8_t>(cell == kGrayG1 ? 100 : cell == kGrayR ? 64 : cell == kGrayG2 ? 80 : 200);
        }
    }
    frame.at8(0, 0) = 255;  // extremes are not counted
    frame.at8(2, 2) = 0;
    std::array<int, 4> gains{1, 2, 3, 4};
    measureGrayGains(frame.view(), 2, gains);
    EXPECT_EQ(gains[kGrayR], 200);
    EXPECT_EQ(gains[kGrayG1], 128);
    EXPECT_EQ(gains[kGrayG2], 160);
    EXPECT_EQ(gains[kGrayB], 64);

    OwnedPlane wide(8, 8, 2);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const GrayCell cell = grayCellAt(1, y, x);
            wide.at16(y, x) =
                static_cast<uint16_t>(cell == kGrayG1 ? 20000 : cell == kGrayR ? 16000 : cell == kGrayG2 ? 40000 : 25600);
        }
    }
    wide.at16(1, 1) = 65535;
    wide.at16(3, 3) = 0;
    gains = {1, 2, 3, 4};
    measureGrayGains(wide.view(), 1, gains);
    EXPECT_EQ(gains[kGrayR], 160);
    EXPECT_EQ(gains[kGrayG2], 64);
    EXPECT_EQ(gains[kGrayB], 100);

    // A cell with no usable sample keeps its gain; ratios above the range are limited.
    OwnedPlane sparse(2, 1, 1);
    sparse.at8(0, 0) = 200;  // mode 0: G1
    sparse.at8(0, 1) = 20;   // R: 200 / 20 x 128 = 1280, limited to 255
    gains = {1, 2, 3, 4};
    measureGrayGains(sparse.view(), 0, gains);
    EXPECT_EQ(gains[kGrayR], 255);
    EXPECT_EQ(gains[kGrayG2], 3);
    EXPECT_EQ(gains[kGrayB], 4);
}

TEST(GrayMode, LuminanceWeightsGreenRedBlue) {
    OwnedPlane raw(2, 1, 1);
    OwnedPlane colour(2, 1, 3);
    colour.at8(0, 0, 0) = 255; colour.at8(0, 0, 1) = 0; colour.at8(0, 0, 2) = 0;    // blue
    colour.at8(0, 1, 0) = 10;  colour.at8(0, 1, 1) = 200; colour.at8(0, 1, 2) = 90; // mixed
    ASSERT_TRUE(grayLuminanceReference(raw.view(), colour.view()));
    EXPECT_EQ(raw.at8(0, 0), 28);                          // 11 x 255 / 100
    EXPECT_EQ(raw.at8(0, 1), (59 * 200 + 30 * 90 + 11 * 10) / 100);
}

TEST(DefectMasks, BuildMaskMarksHotAndDeadPixelsInsideTheBorder) {
    DefectPlanes planes;
    ASSERT_TRUE(planes.create(16, 12));
    auto access = planes.access();
    ImageBuffer& dark8 = *access.writableReference(PlaneDepth::Bits8, ReferenceKind::Dark);
    ImageBuffer& white16 = *access.writableReference(PlaneDepth::Bits16, ReferenceKind::White);
    EXPECT_EQ(access.reference(PlaneDepth::Bits8, ReferenceKind::White).row(5)[5], 255);
    EXPECT_EQ(reinterpret_cast<uint16_t*>(white16.row(5))[5], 65535);
    dark8.row(5)[6] = 193;
    dark8.row(6)[6] = 192;
    dark8.row(1)[6] = 255;  // in the two-pixel border
    reinterpret_cast<uint16_t*>(white16.row(4))[3] = 4095;
    reinterpret_cast<uint16_t*>(white16.row(4))[4] = 4096;
    access.buildAllMasks();
    const ImageBuffer& darkMask = access.mask(PlaneDepth::Bits8, ReferenceKind::Dark);
    int marked = 0;
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 16; ++x) {
            marked += darkMask.row(y)[x];
        }
    }
    EXPECT_EQ(marked, 1);
    EXPECT_EQ(darkMask.row(5)[6], 1);
    const ImageBuffer& whiteMask16 = access.mask(PlaneDepth::Bits16, ReferenceKind::White);
    EXPECT_EQ(reinterpret_cast<const uint16_t*>(whiteMask16.row(4))[3], 1);
    EXPECT_EQ(reinterpret_cast<const uint16_t*>(whiteMask16.row(4))[4], 0);
    EXPECT_EQ(access.mask(PlaneDepth::Bits8, ReferenceKind::White).row(5)[5], 0);
}

} // namespace
} // namespace lumvek
