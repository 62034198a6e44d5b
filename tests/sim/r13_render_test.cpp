// The R13 model's frame: the scene through the per-channel transform and
// into the CCD's readout order in one pass. Every readout direction must
// equal the frame read as-is and then reordered, the Bayer position of each
// sample staying that of its place in reading order; level tables follow
// every change of the settings.
#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <vector>

#include "sim/fpga_register_file.h"
#include "sim/models/level_rows.h"
#include "sim/models/r13_model.h"
#include "sim/scene.h"

namespace lumvek::sim {
namespace {

constexpr uint8_t kChannelOffsetLow = 0x70;  // offsets 0x70..0x77, gains 0x78..0x7F
constexpr uint8_t kChannelGainLow = 0x78;
constexpr uint8_t kExposureLow = 0xE2;
constexpr uint16_t kGainRegister = 0x005;
constexpr uint16_t kBlackRegister = 0x006;
constexpr uint8_t kReadAsIs = 0x03;  // both mirror bits set: rows top-down, samples left to right

// Every sample different from its neighbours and spread over the full scale.
class NoiseScene final : public Scene {
public:
    void render(uint32_t frameIndex, const FrameGeometry& g, std::span<uint8_t> out) const override {
        uint32_t state = 0x9E3779B9u ^ frameIndex;
        for (size_t i = 0; i < g.frameBytes() && i < out.size(); ++i) {
            state = state * 1664525u + 1013904223u;
            out[i] = static_cast<uint8_t>(state >> 24);
        }
    }
    bool animated() const override { return true; }
};

// The same samples in every frame: the model may reuse its last frame, and
// must still follow every change of the settings, readout order and size.
class StillNoiseScene final : public Scene {
public:
    void render(uint32_t, const FrameGeometry& g, std::span<uint8_t> out) const override { noise_.render(0, g, out); }
    bool animated() const override { return false; }

private:
    NoiseScene noise_;
};

struct Settings {
    uint16_t exposureLines;
    uint32_t gainWord;
    uint32_t black;
    std::array<uint16_t, 4> channelGain;
    std::array<uint16_t, 4> channelOffset;
};

void apply(R13Model& model, const Settings& s) {
    model.fpgaRegisterWritten(kExposureLow, static_cast<uint8_t>(s.exposureLines));
    model.fpgaRegisterWritten(kExposureLow + 1, static_cast<uint8_t>(s.exposureLines >> 8));
    (void)model.writeRegister32(kGainRegister, s.gainWord);
    (void)model.writeRegister32(kBlackRegister, s.black);
    for (uint8_t c = 0; c < 4; ++c) {
        model.fpgaRegisterWritten(static_cast<uint8_t>(kChannelGainLow + 2 * c), static_cast<uint8_t>(s.channelGain[c]));
        model.fpgaRegisterWritten(static_cast<uint8_t>(kChannelGainLow + 2 * c + 1),
                                  static_cast<uint8_t>(s.channelGain[c] >> 8));
        model.fpgaRegisterWritten(static_cast<uint8_t>(kChannelOffsetLow + 2 * c),
                                  static_cast<uint8_t>(s.channelOffset[c]));
        model.fpgaRegisterWritten(static_cast<uint8_t>(kChannelOffsetLow + 2 * c + 1),
                                  static_cast<uint8_t>(s.channelOffset[c] >> 8));
    }
}

std::vector<uint8_t> renderFrame(R13Model& model, const Scene& scene, const FrameGeometry& g, uint8_t mirror,
                                 uint32_t frameIndex = 7) {
    FpgaRegisterFile fpga;
    fpga.set(fpga::kMirror, mirror);
    std::vector<uint8_t> pixels(g.frameBytes(), 0xCD);
    model.render(RenderContext{g, frameIndex, fpga, scene}, pixels);
    return pixels;
}

// Distinct gains and offsets per channel, so a sample that takes its
// neighbour's Bayer position comes out different.
const Settings kUneven{600, 420, 9, {3000, 4096, 5200, 7000}, {0x1000, 0x3000, 0x0000, 0x7000}};
const Settings kDimmer{300, 350, 0, {4096, 2000, 4096, 6000}, {0x2000, 0x0000, 0x5000, 0x0000}};

TEST(R13Render, EveryReadoutOrderIsTheAsReadFrameReordered) {
    const NoiseScene scene;
    for (const uint32_t bytes : {1u, 2u}) {
        for (const auto& [width, height] : {std::pair{1u, 1u}, {2u, 1u}, {1u, 3u}, {5u, 3u}, {6u, 4u}, {37u, 11u}, {203u, 5u}, {256u, 2u}}) {
            const FrameGeometry g{width, height, bytes};
            R13Model model;
            apply(model, kUneven);
            const std::vector<uint8_t> asRead = renderFrame(model, scene, g, kReadAsIs);
            for (const uint8_t mirror : {0x00, 0x01, 0x02}) {
                const bool rowsReversed = (mirror & 0x02) == 0;
                const bool samplesReversed = (mirror & 0x01) == 0;
                const int code = 1 + (samplesReversed ? 1 : 0) + (rowsReversed ? 2 : 0);
                std::vector<uint8_t> expected = asRead;
                applyRawOrientation(code, g, expected);
                EXPECT_EQ(renderFrame(model, scene, g, mirror), expected)
                    << width << "x" << height << " bytes " << bytes << " mirror " << int{mirror};
            }
        }
    }
}

TEST(R13Render, ChangedSettingsGiveTheFrameOfAFreshModel) {
    const NoiseScene moving;
    const StillNoiseScene still;
    for (const Scene* scene : {static_cast<const Scene*>(&moving), static_cast<const Scene*>(&still)}) {
        for (const uint32_t bytes : {1u, 2u}) {
            const FrameGeometry g{6, 4, bytes};
            R13Model used;
            apply(used, kUneven);
            const std::vector<uint8_t> first = renderFrame(used, *scene, g, 0x00);
            EXPECT_EQ(renderFrame(used, *scene, g, 0x00), first) << "nothing changed: the same frame";
            apply(used, kDimmer);
            const std::vector<uint8_t> second = renderFrame(used, *scene, g, 0x00);

            R13Model fresh;
            apply(fresh, kDimmer);
            EXPECT_EQ(second, renderFrame(fresh, *scene, g, 0x00)) << "bytes " << bytes;
            EXPECT_NE(first, second) << "the settings change the frame";
            EXPECT_EQ(renderFrame(used, *scene, g, kReadAsIs), renderFrame(fresh, *scene, g, kReadAsIs))
                << "the readout order changes the frame";
            // Back to the first settings: the first frame again.
            apply(used, kUneven);
            EXPECT_EQ(renderFrame(used, *scene, g, 0x00), first) << "bytes " << bytes;
        }
    }
}

TEST(R13Render, WidthChangesBetweenFramesKeepNoStaleSamples) {
    const NoiseScene moving;
    const StillNoiseScene still;
    for (const Scene* scene : {static_cast<const Scene*>(&moving), static_cast<const Scene*>(&still)}) {
        R13Model model;
        apply(model, kUneven);
        (void)renderFrame(model, *scene, FrameGeometry{37, 11, 2}, 0x00);
        const FrameGeometry small{5, 3, 1};
        R13Model fresh;
        apply(fresh, kUneven);
        EXPECT_EQ(renderFrame(model, *scene, small, 0x00), renderFrame(fresh, *scene, small, 0x00));
        EXPECT_EQ(renderFrame(model, *scene, small, 0x00), renderFrame(fresh, *scene, small, 0x00)) << "again";
    }
}

// The wide row path against the plain meaning of its tables: sample x goes
// through the even or odd table by its place and lands at x, or at
// width - 1 - x; the samples it leaves are untouched.
TEST(R13Render, WideRowPathMatchesItsTablesInBothDirections) {
    std::array<uint8_t, 256> even{};
    std::array<uint8_t, 256> odd{};
    uint32_t state = 12345;
    auto next = [&] { return static_cast<uint8_t>((state = state * 1664525u + 1013904223u) >> 24); };
    for (size_t i = 0; i < even.size(); ++i) {
        even[i] = next();
        odd[i] = next();
    }
    for (const size_t width : {63u, 64u, 65u, 130u, 255u, 256u}) {
        std::vector<uint8_t> row(width);
        for (auto& sample : row) sample = next();
        row[0] = 0x00;
        row[width - 1] = 0xFF;  // both ends of both table halves
        for (const bool reversed : {false, true}) {
            std::vector<uint8_t> out(width, 0x5A);
            const size_t done = transformRow8Wide(row.data(), out.data(), width, even.data(), odd.data(), reversed);
            if (done == 0 && width >= 64) {
                GTEST_SKIP() << "no AVX-512 VBMI on this processor";
            }
            EXPECT_EQ(done, width / 64 * 64);
            for (size_t x = 0; x < width; ++x) {
                const size_t at = reversed ? width - 1 - x : x;
                const uint8_t expected = x < done ? ((x & 1) != 0 ? odd : even)[row[x]] : 0x5A;
                ASSERT_EQ(out[at], expected) << "width " << width << " x " << x << " reversed " << reversed;
            }
        }
    }
}

} // namespace
} // namespace lumvek::sim
