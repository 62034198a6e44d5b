// The vector bodies against the scalar reference on frames whose widths put
// every column of a row in the vector steps, the overlapping last step, the
// masked row end or the scalar remainder. The suite runs once per processor
// level (see CMakeLists.txt), so each body is checked where it is chosen.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "imaging/colour/bayer_pattern.h"
#include "imaging/colour/interpolation.h"
#include "imaging/pipeline/row_bands.h"
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

} // namespace
} // namespace lumvek
