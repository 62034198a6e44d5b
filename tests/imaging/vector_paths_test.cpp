// The vector bodies against the scalar reference on frames whose widths put
// every column of a row in the vector steps, the overlapping last step, the
// masked row end or the scalar remainder. The suite runs once per processor
// level (see CMakeLists.txt), so each body is checked where it is chosen.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "imaging/colour/bayer_pattern.h"
#include "imaging/colour/hue_saturation.h"
#include "imaging/colour/interpolation.h"
#include "imaging/convert/stream_copy.h"
#include "imaging/pipeline/kernel_path.h"
#include "imaging/pipeline/row_bands.h"
#include "imaging/tone/sharpness.h"
#include "imaging/tone/tone_tables.h"
#include "plane_helpers.h"

namespace lumvek {
namespace {

using test::OwnedPlane;

constexpr int kWidths[] = {1, 2, 3, 4, 5, 6, 7, 33, 34, 35, 36, 37, 38, 50, 65, 66, 67, 97, 130};
constexpr int kHeights[] = {1, 2, 3, 4, 5, 6, 9};

struct Gains {
    int red;
    int blue;
};
constexpr Gains kGains[] = {{100, 100}, {0, 400}, {400, 0}, {255, 13}};

// Random raw samples over the whole range, so the gains saturate; 16-bit
// frames also get runs at the top value.
OwnedPlane randomRaw(int w, int h, int bytes, uint32_t seed) {
    OwnedPlane raw(w, h, bytes);
    raw.fillRandom(seed);
    if (bytes == 2) {
        for (int y = 0; y < h; y += 3) {
            for (int x = 0; x < w; x += 2) {
                raw.at16(y, x) = 0xFFFF;
            }
        }
    }
    return raw;
}

void expectInterpolationAgrees(int w, int h, int rawBytes, int outBytes, RowBands& bands, uint32_t& seed) {
    const OwnedPlane raw = randomRaw(w, h, rawBytes, ++seed);
    for (int mode = 0; mode < 4; ++mode) {
        for (const Gains& g : kGains) {
            const InterpolationParams params{mode, bayerGainMultiplier(g.red), bayerGainMultiplier(g.blue)};
            // Both outputs start with the same bytes: a fourth component must survive.
            OwnedPlane ref(w, h, outBytes);
            ref.fillRandom(seed * 7);
            OwnedPlane fast = ref;
            ASSERT_TRUE(interpolateReference(raw.view(), ref.view(), params));
            ASSERT_TRUE(interpolateOptimised(raw.view(), fast.view(), params, bands));
            ASSERT_EQ(ref.bytes(), fast.bytes()) << w << "x" << h << " raw " << rawBytes << " out " << outBytes
                                                 << " mode " << mode << " gains " << g.red << "/" << g.blue;
        }
    }
}

TEST(VectorPaths, InterpolationMatchesTheReferenceAtEveryWidthLayoutAndGain) {
    RowBands bands(2);
    uint32_t seed = 1;
    for (int w : kWidths) {
        for (int h : kHeights) {
            for (auto [rawBytes, outBytes] : {std::pair{1, 3}, {1, 4}, {2, 6}, {2, 8}}) {
                expectInterpolationAgrees(w, h, rawBytes, outBytes, bands, seed);
            }
        }
    }
    // Frames tall enough for the two workers to take separate bands.
    for (auto [rawBytes, outBytes] : {std::pair{1, 3}, {1, 4}, {2, 6}, {2, 8}}) {
        expectInterpolationAgrees(131, 70, rawBytes, outBytes, bands, seed);
    }
}

// The 128-bit bodies step 16 (8-bit) or 8 (16-bit) pixels: widths where a
// row is too narrow for one step, takes exactly one, or one and an
// overlapping last one.
TEST(VectorPaths, InterpolationMatchesTheReferenceAroundTheNarrowSteps) {
    RowBands bands(2);
    uint32_t seed = 500;
    for (int w : {11, 12, 13, 14, 15, 19, 20, 21, 22, 23, 25}) {
        for (int h : {3, 6}) {
            for (auto [rawBytes, outBytes] : {std::pair{1, 3}, {1, 4}, {2, 6}, {2, 8}}) {
                expectInterpolationAgrees(w, h, rawBytes, outBytes, bands, seed);
            }
        }
    }
}

// A table with no structure, so that a wrong slice or half shows.
ToneTable scrambledTable(uint32_t seed) {
    std::mt19937 rng(seed);
    ToneTable table(256);
    for (auto& entry : table) {
        entry = static_cast<uint16_t>(rng() & 0xFF);
    }
    return table;
}

TEST(VectorPaths, ToneTableMatchesAHandLookupAtEveryWidthAndLayout) {
    RowBands bands(2);
    const ToneTable table = scrambledTable(5);
    uint32_t seed = 40;
    for (int bytes : {1, 3, 4}) {
        for (int w : kWidths) {
            for (int h : {1, 3, 17}) {
                OwnedPlane image(w, h, bytes);
                image.fillRandom(++seed);
                OwnedPlane expected = image;
                for (int y = 0; y < h; ++y) {
                    for (int x = 0; x < w; ++x) {
                        for (int k = 0; k < std::min(bytes, 3); ++k) {
                            expected.at8(y, x, k) = static_cast<uint8_t>(table[image.at8(y, x, k)]);
                        }
                    }
                }
                OwnedPlane banded = image;
                ASSERT_TRUE(applyToneTable(banded.view(), table, bands));
                ASSERT_EQ(expected.bytes(), banded.bytes()) << w << "x" << h << " bytes " << bytes;
                applyToneTableRows(image.view(), table, 0, h);
                ASSERT_EQ(expected.bytes(), image.bytes()) << w << "x" << h << " bytes " << bytes;
            }
        }
    }
}

// Widths around the sixteen-pixel steps of the hue/saturation bodies.
constexpr int kHueWidths[] = {1, 2, 3, 7, 8, 11, 15, 16, 17, 21, 31, 32, 33, 47, 48, 49, 100};

// Every entry of a 16-bit table random over the whole range, so that a low
// and high byte taken from the wrong entry or swapped show.
ToneTable scrambledWideTable(uint32_t seed) {
    std::mt19937 rng(seed);
    ToneTable table(65536);
    for (auto& entry : table) {
        entry = static_cast<uint16_t>(rng());
    }
    return table;
}

// The table by hand on the first three components (a fourth keeps its value).
void lookUpByHand(OwnedPlane& image, const ToneTable& table) {
    const PlaneView& v = image.view();
    const bool wide = v.bytesPerPixel >= 6;
    for (int y = 0; y < v.height; ++y) {
        for (int x = 0; x < v.width; ++x) {
            for (int k = 0; k < 3; ++k) {
                if (wide) {
                    image.at16(y, x, k) = table[image.at16(y, x, k)];
                } else {
                    image.at8(y, x, k) = static_cast<uint8_t>(table[image.at8(y, x, k)]);
                }
            }
        }
    }
}

TEST(VectorPaths, HueSaturationThenToneTableMatchTwoReferencePasses) {
    uint32_t seed = 70;
    for (int bpp : {3, 4, 6, 8}) {
        const bool wide = bpp >= 6;
        const std::vector<ToneTable> tones = {
            wide ? scrambledWideTable(++seed) : scrambledTable(++seed),
            gammaTable(0, wide),
            composeTables(gammaTable(200, wide), contrastTable(-127, wide)),
            composeTables(contrastTable(127, wide), brightnessTable(255, wide)),
            brightnessTable(-255, wide),
        };
        for (int w : kHueWidths) {
            for (int h : {1, 3}) {
                OwnedPlane frame(w, h, bpp);
                frame.fillRandom(++seed);
                for (int saturation : {-255, 0, 40, 255}) {
                    const HueSaturationTables tables(saturation);
                    for (int hue : {-360, -1, 30, 360}) {
                        const int offset = hueOffsetFor(hue);
                        SCOPED_TRACE(testing::Message() << bpp << " bytes " << w << "x" << h << " saturation "
                                                        << saturation << " hue " << hue);
                        OwnedPlane expected = frame;
                        ASSERT_TRUE(hueSaturationReference(expected.view(), offset, tables));
                        OwnedPlane alone = frame;
                        hueSaturationToneRows(alone.view(), offset, tables, nullptr, 0, h);
                        ASSERT_EQ(expected.bytes(), alone.bytes());
                        for (const ToneTable& tone : tones) {
                            OwnedPlane fused = frame;
                            hueSaturationToneRows(fused.view(), offset, tables, &tone, 0, h);
                            OwnedPlane looked = expected;
                            lookUpByHand(looked, tone);
                            ASSERT_EQ(looked.bytes(), fused.bytes());
                        }
                    }
                }
            }
        }
        // A table of the other sample width is not applied: hue/saturation alone.
        OwnedPlane frame(37, 2, bpp);
        frame.fillRandom(++seed);
        OwnedPlane expected = frame;
        const HueSaturationTables tables(100);
        ASSERT_TRUE(hueSaturationReference(expected.view(), 200, tables));
        const ToneTable otherWidth = wide ? scrambledTable(3) : scrambledWideTable(3);
        hueSaturationToneRows(frame.view(), 200, tables, &otherWidth, 0, 2);
        EXPECT_EQ(expected.bytes(), frame.bytes()) << bpp;
    }
}

TEST(VectorPaths, WideToneTableMatchesAHandLookupAtEveryWidthAndLayout) {
    RowBands bands(2);
    const ToneTable table = scrambledWideTable(11);
    uint32_t seed = 60;
    for (int bytes : {2, 6, 8}) {
        for (int w : kWidths) {
            for (int h : {1, 3, 17}) {
                OwnedPlane image(w, h, bytes);
                image.fillRandom(++seed);
                for (int x = 0; x < w; x += 2) {
                    image.at16(0, x) = 0xFFFF;  // the last entry, whose gather lane is masked
                }
                OwnedPlane expected = image;
                for (int y = 0; y < h; ++y) {
                    for (int x = 0; x < w; ++x) {
                        for (int k = 0; k < std::min(bytes / 2, 3); ++k) {
                            expected.at16(y, x, k) = table[image.at16(y, x, k)];
                        }
                    }
                }
                OwnedPlane banded = image;
                ASSERT_TRUE(applyToneTable(banded.view(), table, bands));
                ASSERT_EQ(expected.bytes(), banded.bytes()) << w << "x" << h << " bytes " << bytes;
                applyToneTableRows(image.view(), table, 0, h);
                ASSERT_EQ(expected.bytes(), image.bytes()) << w << "x" << h << " bytes " << bytes;
            }
        }
    }
}

TEST(VectorPaths, SharpeningInPlaceInRunsMatchesTheReference) {
    // Runs of one, two, three and seven rows: the ring carries the source
    // values of overwritten rows from one run to the next, and a reset ring
    // starts from rows that were not touched. Brightness after it, by its
    // factor (in the vector lanes on 8-bit samples) or by its table, must
    // give what the two reference passes give, down to a factor of 0 and
    // one that limits most samples; 34 has no multiplier, so its rows are
    // brightened after the sharpening instead of in the lanes.
    uint32_t seed = 120;
    for (int bpp : {1, 2, 3, 4, 6, 8}) {
        const bool wide = bpp == 2 || bpp >= 6;
        for (int w : {1, 2, 4, 5, 6, 17, 33, 67}) {
            for (int h : {1, 2, 4, 5, 6, 13}) {
                for (int sharpness : {1, 10, 30}) {
                    for (int brightness : {0, -255, -100, 34, 37, 255}) {
                        for (bool byTable : {false, true}) {
                            // Brightness on the shapes that take the vector
                            // bodies, their tails and the one-row runs.
                            const bool brightShape = sharpness == 10 && (w == 5 || w == 33 || w == 67) &&
                                                     (h == 5 || h == 13);
                            if (brightness == 0 ? byTable : !brightShape) {
                                continue;
                            }
                            OwnedPlane frame(w, h, bpp);
                            frame.fillRandom(++seed);
                            OwnedPlane expected = frame;
                            OwnedPlane scratch(w, h, bpp);
                            ASSERT_TRUE(sharpnessReference(expected.view(), scratch.view(), sharpness));
                            const ToneTable brightnessEntries = brightnessTable(brightness, wide);
                            AfterSharpening after;
                            if (brightness != 0) {
                                ASSERT_TRUE(brightnessReference(expected.view(), brightness));
                                after = byTable ? AfterSharpening::tableOf(&brightnessEntries)
                                                : AfterSharpening::brightnessOf(brightnessFactor(brightness));
                            }
                            const SharpnessTable table(sharpness, wide);
                            SharpnessRing ring;
                            ring.reset();
                            OwnedPlane inPlace = frame;
                            int y = 0;
                            for (int run = 1; y < h; run = run % 3 + 1) {
                                const int end = std::min(h, y + (run == 3 ? 7 : run));
                                sharpnessInPlaceRows(inPlace.view(), ring, table, y, end, after);
                                y = end;
                            }
                            ASSERT_EQ(expected.bytes(), inPlace.bytes())
                                << bpp << " bytes " << w << "x" << h << " sharpness " << sharpness << " brightness "
                                << brightness << (byTable ? " by table" : " by factor");
                        }
                    }
                }
            }
        }
    }
}

TEST(VectorPaths, BrightnessMultipliersCoverAllButAFewFactors) {
    int missing = 0;
    for (int brightness = -255; brightness <= 255; ++brightness) {
        const float factor = brightnessFactor(brightness);
        const std::optional<ByteBrightness> m = byteBrightnessOf(factor);
        if (!m) {
            ++missing;
            continue;
        }
        for (int v = 0; v <= 255; ++v) {
            const int scaled = (v * m->high) + ((v * m->low) >> 16);
            ASSERT_EQ(std::min(scaled, 255), brightenSample(v, factor, 255)) << brightness << " at " << v;
        }
    }
    EXPECT_FALSE(byteBrightnessOf(brightnessFactor(34)).has_value());
    EXPECT_LE(missing, 10);
}

TEST(VectorPaths, BrightnessOfWideSamplesMatchesItsTable) {
    const bool vector = cpuFeatures().avx2 || cpuFeatures().sse41;
    uint32_t seed = 90;
    for (int bpp : {2, 6, 8}) {
        for (int w : kWidths) {
            OwnedPlane frame(w, 3, bpp);
            frame.fillRandom(++seed);
            for (int x = 0; x < w; x += 3) {
                frame.at16(1, x) = 0xFFFF;  // the top value, where the brightest factors limit
                frame.at16(2, x) = 0;
            }
            for (int brightness : {-255, -254, -1, 1, 15, 128, 255}) {
                const ToneTable table = brightnessTable(brightness, true);
                OwnedPlane expected = frame;
                for (int y = 0; y < 3; ++y) {
                    for (int x = 0; x < w; ++x) {
                        for (int k = 0; k < std::min(bpp / 2, 3); ++k) {
                            expected.at16(y, x, k) = table[frame.at16(y, x, k)];
                        }
                    }
                }
                OwnedPlane image = frame;
                ASSERT_EQ(detail::brightenRows16Avx2(image.view(), brightnessFactor(brightness), 0, 3), vector);
                if (vector) {
                    ASSERT_EQ(expected.bytes(), image.bytes()) << bpp << " bytes " << w << " wide " << brightness;
                }
            }
        }
    }
}

// The 8-bit arithmetic against its table: every byte value in every lane
// position, and a fourth component left alone.
TEST(VectorPaths, BrightnessOfNarrowSamplesMatchesItsTable) {
    const bool vector = cpuFeatures().avx2 || cpuFeatures().sse41;
    uint32_t seed = 95;
    for (int bpp : {1, 3, 4}) {
        for (int w : kWidths) {
            OwnedPlane frame(w, 3, bpp);
            frame.fillRandom(++seed);
            for (int x = 0; x < w; x += 2) {
                frame.at8(1, x) = 0xFF;
                frame.at8(2, x) = 0;
            }
            for (int brightness : {-255, -254, -1, 1, 15, 128, 200, 255}) {
                const ToneTable table = brightnessTable(brightness, false);
                OwnedPlane expected = frame;
                for (int y = 0; y < 3; ++y) {
                    for (int x = 0; x < w; ++x) {
                        for (int k = 0; k < std::min(bpp, 3); ++k) {
                            expected.at8(y, x, k) = static_cast<uint8_t>(table[frame.at8(y, x, k)]);
                        }
                    }
                }
                // By floats, and by the factor's multiplier where it has one.
                const float factor = brightnessFactor(brightness);
                const std::optional<ByteBrightness> multiplier = byteBrightnessOf(factor);
                for (const ByteBrightness* m : {static_cast<const ByteBrightness*>(nullptr),
                                                multiplier ? &*multiplier : nullptr}) {
                    OwnedPlane image = frame;
                    ASSERT_EQ(detail::brightenRows8Avx2(image.view(), factor, 0, 3, m), vector);
                    if (vector) {
                        ASSERT_EQ(expected.bytes(), image.bytes())
                            << bpp << " bytes " << w << " wide " << brightness << (m ? " by multiplier" : "");
                    }
                }
            }
        }
    }
}

TEST(VectorPaths, StreamingCopyMatchesMemcpyAtEveryLengthAndAlignment) {
    // Lengths around whole 64-byte lines, from every alignment of either end.
    std::mt19937 rng(31);
    std::vector<uint8_t> source(600);
    for (uint8_t& v : source) {
        v = static_cast<uint8_t>(rng());
    }
    for (size_t dstOffset = 0; dstOffset < 64; dstOffset += 7) {
        for (size_t srcOffset = 0; srcOffset < 3; ++srcOffset) {
            for (size_t bytes : {size_t{0}, size_t{1}, size_t{15}, size_t{63}, size_t{64}, size_t{65}, size_t{127},
                                 size_t{128}, size_t{129}, size_t{200}, size_t{513}}) {
                std::vector<uint8_t> out(bytes + 200, 0x5A);
                std::vector<uint8_t> expected = out;
                std::memcpy(expected.data() + dstOffset, source.data() + srcOffset, bytes);
                streamCopy(out.data() + dstOffset, source.data() + srcOffset, bytes);
                ASSERT_EQ(out, expected) << dstOffset << " " << srcOffset << " " << bytes;
            }
        }
    }
}

} // namespace
} // namespace lumvek
