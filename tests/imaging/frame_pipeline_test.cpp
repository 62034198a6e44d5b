// The per-frame chain on image buffers: order, settings written back, and
// bit-identical results of the reference and optimised kernels.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <thread>

#include "imaging/colour/interpolation.h"
#include "imaging/convert/output_copy.h"
#include "imaging/correction/defect_planes.h"
#include "imaging/pipeline/frame_pipeline.h"
#include "imaging/pipeline/row_bands.h"
#include "imaging/tone/tone_tables.h"

namespace lumvek {
namespace {

constexpr int kRawBits[6] = {8, 16, 8, 8, 16, 16};
constexpr int kOutputBits[6] = {8, 16, 24, 32, 48, 64};

void fillRandom(ImageBuffer& b, uint32_t seed) {
    std::mt19937 rng(seed);
    for (size_t i = 0; i < b.sizeBytes(); ++i) {
        b.pixels()[i] = static_cast<uint8_t>(rng());
    }
}

// The buffers of one colour mode, as the capture engine makes them.
struct Frame {
    ImageBuffer raw;
    ImageBuffer output;
    Frame(int mode, int w, int h) {
        EXPECT_TRUE(raw.create(w, h, kRawBits[mode]));
        if (mode >= kColour24) {
            EXPECT_TRUE(output.create(w, h, kOutputBits[mode]));
        }
    }
    FrameBuffers buffers() { return FrameBuffers{&raw, output.empty() ? nullptr : &output, nullptr, {}, {}}; }
    [[nodiscard]] std::vector<uint8_t> bytes(const ImageBuffer& b) const {
        return {b.pixels(), b.pixels() + b.sizeBytes()};
    }
};

FramePipeline referencePipeline() { return FramePipeline(PipelineOptions{1, KernelPath::Reference}); }

// The raw rows as a camera's ring hands them out: kept apart from the raw
// buffer, which starts as a pattern no frame has; counts the rows copied.
struct RowSource {
    std::vector<uint8_t> rows;
    size_t rowBytes = 0;
    std::atomic<int64_t> copied{0};
    explicit RowSource(const ImageBuffer& raw) : rowBytes(static_cast<size_t>(raw.width()) * raw.bytesPerPixel()) {
        for (int y = 0; y < raw.height(); ++y) {
            rows.insert(rows.end(), raw.row(y), raw.row(y) + rowBytes);
        }
    }
    RawRowSource source() const {
        return RawRowSource{this, [](const void* self, uint8_t* to, size_t stride, int y0, int y1) {
                                auto* s = const_cast<RowSource*>(static_cast<const RowSource*>(self));
                                for (int y = y0; y < y1; ++y) {
                                    std::memcpy(to + static_cast<size_t>(y) * stride,
                                                s->rows.data() + static_cast<size_t>(y) * s->rowBytes, s->rowBytes);
                                }
                                s->copied.fetch_add(y1 - y0);
                            }};
    }
};

// b's raw rows come from `source` instead of being there beforehand (the
// bytes past each row's pixels, which no source writes, stay as they are).
FrameBuffers fromSource(FrameBuffers buffers, ImageBuffer& raw, const RowSource& source) {
    for (int y = 0; y < raw.height(); ++y) {
        std::memset(raw.row(y), 0x5A, source.rowBytes);
    }
    buffers.rawSource = source.source();
    return buffers;
}

TEST(FramePipeline, NeutralSettingsDeliverThePlainInterpolation) {
    for (int mode : {kColour24, kColour32, kColour48, kColour64}) {
        Frame frame(mode, 20, 14);
        fillRandom(frame.raw, 5);
        ImageBuffer expected;
        ASSERT_TRUE(expected.createLike(frame.output));
        PipelineSettings settings;
        settings.colourMode = mode;
        // The spike filter runs on every frame: binning modes skip it.
        settings.window.subSampleMode = 0x10;
        ASSERT_TRUE(interpolateReference(viewOf(frame.raw), viewOf(expected), InterpolationParams{}));
        FramePipeline pipeline(PipelineOptions{2, KernelPath::Optimised});
        const FrameOutcome outcome = pipeline.process(frame.buffers(), settings, nullptr);
        EXPECT_TRUE(outcome.processed);
        EXPECT_FALSE(outcome.bayerGainsChanged);
        EXPECT_EQ(frame.bytes(frame.output), frame.bytes(expected)) << mode;
    }
}

TEST(FramePipeline, RefusesBuffersThatDoNotSuitTheColourMode) {
    Frame frame(kColour24, 8, 8);
    PipelineSettings settings;
    settings.colourMode = kColour48;  // wants a 16-bit raw and a 48-bit output
    FramePipeline pipeline;
    EXPECT_FALSE(pipeline.process(frame.buffers(), settings, nullptr).processed);
    settings.colourMode = kColour24;
    EXPECT_FALSE(pipeline.process(FrameBuffers{&frame.raw, nullptr, nullptr, {}, {}}, settings, nullptr).processed);
    settings.colourMode = 9;
    EXPECT_FALSE(pipeline.process(frame.buffers(), settings, nullptr).processed);
}

TEST(FramePipeline, VerticalMirrorTurnsMode0IntoMode1) {
    Frame frame(kColour24, 16, 10);
    fillRandom(frame.raw, 9);
    ImageBuffer expected;
    ASSERT_TRUE(expected.createLike(frame.output));
    ASSERT_TRUE(interpolateReference(viewOf(frame.raw), viewOf(expected), InterpolationParams{1, 128, 128}));
    PipelineSettings settings;
    settings.window.subSampleMode = 0x11;
    settings.bayerMode = 0;
    settings.mirrorV = true;
    settings.deviceMirrorsV = true;  // flipped by the camera: no software mirror
    auto pipeline = referencePipeline();
    ASSERT_TRUE(pipeline.process(frame.buffers(), settings, nullptr).processed);
    EXPECT_EQ(frame.bytes(frame.output), frame.bytes(expected));
}

TEST(FramePipeline, SoftwareMirrorReversesRowsAndColumns) {
    Frame frame(kMono16, 5, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            reinterpret_cast<uint16_t*>(frame.raw.row(y))[x] = static_cast<uint16_t>(1000 * y + x);
        }
    }
    PipelineSettings settings;
    settings.colourMode = kMono16;
    settings.mirrorH = true;
    settings.mirrorV = true;
    FramePipeline pipeline(PipelineOptions{2, KernelPath::Optimised});
    ASSERT_TRUE(pipeline.process(frame.buffers(), settings, nullptr).processed);
    EXPECT_EQ(reinterpret_cast<uint16_t*>(frame.raw.row(0))[0], 2004);
    EXPECT_EQ(reinterpret_cast<uint16_t*>(frame.raw.row(2))[4], 0);
    EXPECT_EQ(reinterpret_cast<uint16_t*>(frame.raw.row(1))[1], 1003);
}

TEST(FramePipeline, WhiteBalanceWritesGainsBackAndOneShotEndsItself) {
    Frame frame(kColour24, 8, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            // Mode 2: B G / G R. Red at half of green.
            const bool redSite = (y & 1) && (x & 1);
            const bool blueSite = !(y & 1) && !(x & 1);
            frame.raw.row(y)[x] = static_cast<uint8_t>(redSite ? 50 : blueSite ? 100 : 100);
        }
    }
    PipelineSettings settings;
    settings.window.subSampleMode = 0x10;
    settings.whiteBalanceAuto = true;
    settings.whiteBalanceOneShot1 = true;
    settings.whiteBalanceOneShot2 = true;
    auto pipeline = referencePipeline();
    const FrameOutcome outcome = pipeline.process(frame.buffers(), settings, nullptr);
    EXPECT_TRUE(outcome.bayerGainsChanged);
    EXPECT_EQ(settings.bayerGainRed, 200);
    EXPECT_EQ(settings.bayerGainBlue, 100);
    EXPECT_FALSE(settings.whiteBalanceAuto);
    EXPECT_FALSE(settings.whiteBalanceOneShot1);
    EXPECT_FALSE(settings.whiteBalanceOneShot2);
    EXPECT_EQ(frame.output.row(4)[4 * 3 + 2], 100);  // red brought to green

    // A black red channel: the previous gains stay, automation stays on.
    std::memset(frame.raw.pixels(), 0, frame.raw.sizeBytes());
    settings.whiteBalanceAuto = true;
    settings.bayerGainRed = 150;
    settings.bayerGainBlue = 170;
    const FrameOutcome dark = pipeline.process(frame.buffers(), settings, nullptr);
    EXPECT_FALSE(dark.bayerGainsChanged);
    EXPECT_EQ(settings.bayerGainRed, 150);
    EXPECT_EQ(settings.bayerGainBlue, 170);
    EXPECT_TRUE(settings.whiteBalanceAuto);
}

TEST(FramePipeline, ToneControlsInOrderAndAtTheirExtremes) {
    Frame frame(kMono8, 4, 1);
    const uint8_t in[] = {0, 20, 23, 24};
    std::memcpy(frame.raw.row(0), in, 4);
    PipelineSettings settings;
    settings.colourMode = kMono8;
    settings.brightness = 255;  // x 11
    FramePipeline pipeline(PipelineOptions{2, KernelPath::Optimised});
    ASSERT_TRUE(pipeline.process(frame.buffers(), settings, nullptr).processed);
    EXPECT_EQ(frame.raw.row(0)[1], 220);
    EXPECT_EQ(frame.raw.row(0)[2], 253);
    EXPECT_EQ(frame.raw.row(0)[3], 255);
    settings.brightness = -255;
    ASSERT_TRUE(pipeline.process(frame.buffers(), settings, nullptr).processed);
    EXPECT_EQ(frame.raw.row(0)[3], 0);

    EXPECT_EQ(brightnessFactor(255), 11.0f);
    const ToneTable gamma0 = gammaTable(0, false);
    EXPECT_EQ(gamma0[254], 0);
    EXPECT_EQ(gamma0[255], 255);
    EXPECT_EQ(gammaTable(200, false)[64], 127);
    EXPECT_EQ(gammaTable(100, true)[40000], 40000);
    const ToneTable hard = contrastTable(127, false);
    EXPECT_EQ(hard[126], 0);
    EXPECT_EQ(hard[128], 128);
    EXPECT_EQ(hard[129], 255);
    const ToneTable soft = contrastTable(-127, false);
    EXPECT_EQ(soft[0], 63);
    EXPECT_EQ(soft[255], 191);
    EXPECT_EQ(contrastTable(-127, true)[65535], 49215);  // 65536 / 130560 x 98047
}

TEST(FramePipeline, SharpnessLiftsAnEdgeAndKeepsTheBorder) {
    Frame frame(kMono8, 9, 9);
    std::memset(frame.raw.pixels(), 100, frame.raw.sizeBytes());
    frame.raw.row(4)[4] = 180;
    frame.raw.row(0)[0] = 7;
    PipelineSettings settings;
    settings.colourMode = kMono8;
    settings.window.subSampleMode = 0x10;
    settings.sharpness = 10;
    auto pipeline = referencePipeline();
    ASSERT_TRUE(pipeline.process(frame.buffers(), settings, nullptr).processed);
    EXPECT_EQ(frame.raw.row(4)[4], 255);  // 180 + (180 - 105), limited
    EXPECT_EQ(frame.raw.row(4)[3], 95);   // 100 + (100 - 105)
    EXPECT_EQ(frame.raw.row(2)[2], 106);  // its block reaches (0, 0): blur 94, 100 + 6
    EXPECT_EQ(frame.raw.row(0)[0], 7);
}

TEST(FramePipeline, ToneControlsNeverTouchAFourthComponent) {
    for (int mode : {kColour32, kColour64}) {
        for (KernelPath path : {KernelPath::Reference, KernelPath::Optimised}) {
            Frame frame(mode, 21, 9);
            fillRandom(frame.raw, 31);
            FramePipeline pipeline(PipelineOptions{2, path});
            PipelineSettings settings;
            settings.colourMode = mode;
            settings.gamma = 150;
            settings.contrast = 40;
            settings.sharpness = 30;
            settings.brightness = -100;
            ASSERT_TRUE(pipeline.process(frame.buffers(), settings, nullptr).processed);
            const int bpp = frame.output.bytesPerPixel();
            for (int y = 0; y < frame.output.height(); ++y) {
                for (int x = 0; x < frame.output.width(); ++x) {
                    for (int b = bpp * 3 / 4; b < bpp; ++b) {
                        frame.output.row(y)[x * bpp + b] = 0x5A;
                    }
                }
            }
            ASSERT_TRUE(pipeline.process(frame.buffers(), settings, nullptr).processed);
            for (int y = 0; y < frame.output.height(); ++y) {
                for (int x = 0; x < frame.output.width(); ++x) {
                    ASSERT_EQ(frame.output.row(y)[x * bpp + bpp - 1], 0x5A) << mode << " " << x << "," << y;
                }
            }
        }
    }
}

TEST(FramePipeline, GrayModesOnMonochromeFrames) {
    Frame frame(kMono8, 16, 8);
    fillRandom(frame.raw, 21);
    const std::vector<uint8_t> before = frame.bytes(frame.raw);
    PipelineSettings settings;
    settings.colourMode = kMono8;
    settings.window.subSampleMode = 0x10;
    settings.grayMode = 1;  // all gains and offsets 128: nothing changes
    auto pipeline = referencePipeline();
    ASSERT_TRUE(pipeline.process(frame.buffers(), settings, nullptr).processed);
    EXPECT_EQ(frame.bytes(frame.raw), before);

    std::memset(frame.raw.pixels(), 77, frame.raw.sizeBytes());
    settings.grayMode = 2;
    ASSERT_TRUE(pipeline.process(frame.buffers(), settings, nullptr).processed);
    EXPECT_EQ(frame.raw.row(3)[5], 77);
    EXPECT_EQ(frame.raw.row(7)[15], 77);

    settings.grayMode = 1;
    settings.grayMeasureRequest = true;
    const FrameOutcome outcome = pipeline.process(frame.buffers(), settings, nullptr);
    EXPECT_TRUE(outcome.grayGainsChanged);
    EXPECT_FALSE(settings.grayMeasureRequest);
    EXPECT_EQ(settings.grayLevels.gain[kGrayR], 128);
}

TEST(FramePipeline, DefectCorrectionsUseTheInstancePlanes) {
    DefectPlanes planes;
    ASSERT_TRUE(planes.create(32, 32));
    {
        auto access = planes.access();
        access.writableMask(PlaneDepth::Bits8, ReferenceKind::Dark)->row(13)[12] = 1;  // sensor (12, 13)
    }
    Frame frame(kMono8, 8, 8);
    std::memset(frame.raw.pixels(), 100, frame.raw.sizeBytes());
    frame.raw.row(3)[2] = 90;
    PipelineSettings settings;
    settings.colourMode = kMono8;
    settings.window = CaptureWindow{8, 8, 10, 10, 0x10};
    settings.maskFilter = true;  // default references: 100 -> 100, 90 -> 90
    settings.dotFilter = true;
    auto pipeline = referencePipeline();
    ASSERT_TRUE(pipeline.process(frame.buffers(), settings, &planes).processed);
    EXPECT_EQ(frame.raw.row(3)[2], 100);
    EXPECT_EQ(frame.raw.row(3)[3], 100);
}

// ---- reference and optimised paths give the same bytes ----

struct Extremes {
    const char* name;
    void (*apply)(PipelineSettings&);
};

const Extremes kExtremes[] = {
    {"neutral", [](PipelineSettings&) {}},
    {"all high", [](PipelineSettings& s) {
         s.hue = 360; s.saturation = 255; s.gamma = 200; s.contrast = 127; s.sharpness = 30; s.brightness = 255;
         s.bayerGainRed = 400; s.bayerGainBlue = 400; s.bayerMode = 3; }},
    {"all low", [](PipelineSettings& s) {
         s.hue = -360; s.saturation = -255; s.gamma = 0; s.contrast = -127; s.sharpness = 1; s.brightness = -255;
         s.bayerGainRed = 0; s.bayerGainBlue = 0; s.bayerMode = 0; }},
    {"mid", [](PipelineSettings& s) {
         s.hue = 120; s.saturation = 37; s.gamma = 57; s.contrast = 33; s.sharpness = 12; s.brightness = -1;
         s.bayerGainRed = 255; s.bayerGainBlue = 13; s.bayerMode = 1; s.mirrorH = true; }},
    {"sharp and bright", [](PipelineSettings& s) {
         s.sharpness = 30; s.brightness = 200; s.gamma = 150; s.mirrorV = true; s.bayerMode = 2; }},
    {"corrections", [](PipelineSettings& s) {
         s.maskFilter = true; s.dotFilter = true; s.whiteBalanceAuto = true; s.mirrorV = true; s.mirrorH = true;
         s.grayMode = 1; s.grayMeasureRequest = true; s.grayLevels.offset = {-255, 0, 255, 3}; }},
    {"luminance", [](PipelineSettings& s) { s.grayMode = 2; s.whiteBalanceAuto = true; s.contrast = -50; }},
    {"brightness only", [](PipelineSettings& s) { s.brightness = 77; }},
    {"darkness only", [](PipelineSettings& s) { s.brightness = -200; s.hue = -45; }},
};

void fillPlanes(DefectPlanes& planes, uint32_t seed) {
    auto access = planes.access();
    std::mt19937 rng(seed);
    for (PlaneDepth d : {PlaneDepth::Bits8, PlaneDepth::Bits16}) {
        for (ReferenceKind k : {ReferenceKind::Dark, ReferenceKind::White}) {
            ImageBuffer& ref = *access.writableReference(d, k);
            for (size_t i = 0; i < ref.sizeBytes(); ++i) {
                ref.pixels()[i] = static_cast<uint8_t>(k == ReferenceKind::Dark ? rng() % 90 : 120 + rng() % 136);
            }
            ImageBuffer& mask = *access.writableMask(d, k);
            for (int y = 0; y < mask.height(); ++y) {
                mask.row(y)[(y * 7) % mask.stride()] = 1;
            }
        }
    }
}

void expectPathsAgree(int mode, int w, int h, const Extremes& extremes, DefectPlanes& planes, uint32_t seed) {
    Frame a(mode, w, h);
    fillRandom(a.raw, seed);
    Frame b(mode, w, h);
    std::memcpy(b.raw.pixels(), a.raw.pixels(), a.raw.sizeBytes());
    PipelineSettings sa;
    sa.colourMode = mode;
    sa.window = CaptureWindow{w, h, 1, 2, 0};
    extremes.apply(sa);
    PipelineSettings sb = sa;
    auto reference = referencePipeline();
    FramePipeline optimised(PipelineOptions{2, KernelPath::Optimised});
    // The optimised side also delivers its rows, in one row order or the
    // other, into a buffer that starts out as a pattern no picture has.
    FrameBuffers buffersB = b.buffers();
    // Every third frame's raw rows come in from a source as the chain reaches them.
    const RowSource rows(b.raw);
    if (seed % 3 == 0) {
        buffersB = fromSource(buffersB, b.raw, rows);
    }
    std::vector<uint8_t> delivered(b.output.sizeBytes() + 1, 0xA5);
    buffersB.delivery = RowDelivery{delivered.data() + 1, seed % 2 == 0};  // an odd address on purpose
    const FrameOutcome oa = reference.process(a.buffers(), sa, &planes);
    const FrameOutcome ob = optimised.process(buffersB, sb, &planes);
    SCOPED_TRACE(testing::Message() << "mode " << mode << " " << w << "x" << h << " " << extremes.name);
    ASSERT_TRUE(oa.processed);
    ASSERT_EQ(oa.bayerGainsChanged, ob.bayerGainsChanged);
    ASSERT_EQ(sa.bayerGainRed, sb.bayerGainRed);
    ASSERT_EQ(sa.grayLevels.gain, sb.grayLevels.gain);
    ASSERT_EQ(a.bytes(a.raw), b.bytes(b.raw));
    if (!a.output.empty()) {
        ASSERT_EQ(a.bytes(a.output), b.bytes(b.output));
    }
    if (buffersB.rawSource.given()) {
        EXPECT_GE(rows.copied.load(), h) << "every row from the source";
    }
    if (!ob.delivered) {
        EXPECT_TRUE(std::all_of(delivered.begin(), delivered.end(), [](uint8_t v) { return v == 0xA5; }));
        return;
    }
    const size_t stride = static_cast<size_t>(b.output.stride());
    for (int y = 0; y < h; ++y) {
        const int at = buffersB.delivery.bottomUp ? h - 1 - y : y;
        ASSERT_EQ(std::memcmp(delivered.data() + 1 + static_cast<size_t>(at) * stride, b.output.row(y), stride), 0)
            << "row " << y;
    }
    EXPECT_EQ(delivered.front(), 0xA5);
}

TEST(PathsAgree, TinyAndOddFramesEveryLayoutEveryExtreme) {
    DefectPlanes planes;
    ASSERT_TRUE(planes.create(64, 64));
    fillPlanes(planes, 4);
    const std::pair<int, int> sizes[] = {{1, 1}, {2, 2}, {3, 1}, {1, 3}, {4, 4}, {5, 5}, {7, 3}, {6, 9},
                                         {17, 11}, {33, 20}, {40, 41}};
    uint32_t seed = 100;
    for (int mode = 0; mode < 6; ++mode) {
        for (auto [w, h] : sizes) {
            for (const Extremes& e : kExtremes) {
                expectPathsAgree(mode, w, h, e, planes, ++seed);
            }
        }
    }
}

TEST(PathsAgree, FullSensorFramesWithEveryControlOn) {
    DefectPlanes planes;
    ASSERT_TRUE(planes.create());
    fillPlanes(planes, 8);
    for (int mode : {kMono8, kMono16, kColour24, kColour32, kColour48, kColour64}) {
        expectPathsAgree(mode, kSensorWidth, kSensorHeight, kExtremes[mode % 2 == 0 ? 1 : 3], planes, 900 + mode);
    }
}

TEST(FramePipeline, TheDeliveryGetsEveryRowOfTheWholePictureOnly) {
    for (const bool bottomUp : {false, true}) {
        for (const int sharpness : {0, 8}) {
            // The tone controls with and without sharpness (which finishes
            // rows after their piece and the band edges last), on a frame of
            // several pieces per band (rows padded to a multiple of four bytes).
            Frame frame(kColour24, 1999, 301);
            fillRandom(frame.raw, 77);
            PipelineSettings settings;
            settings.colourMode = kColour24;
            settings.window = CaptureWindow{1999, 301, 0, 0, 0};
            settings.gamma = 130;
            settings.hue = 20;
            settings.sharpness = sharpness;
            std::vector<uint8_t> delivered(frame.output.sizeBytes(), 0xA5);
            FrameBuffers buffers = frame.buffers();
            buffers.delivery = RowDelivery{delivered.data(), bottomUp};
            FramePipeline pipeline(PipelineOptions{2, KernelPath::Optimised});
            const FrameOutcome outcome = pipeline.process(buffers, settings, nullptr);
            ASSERT_TRUE(outcome.delivered) << bottomUp;
            std::vector<uint8_t> expected(frame.output.sizeBytes());
            ASSERT_TRUE(copyToCaller(frame.output, expected.data(), expected.size(), !bottomUp));
            EXPECT_EQ(delivered, expected) << bottomUp << " sharpness " << sharpness;
        }
    }
    // A window smaller than the picture: the picture's other rows are not the
    // pipeline's to deliver.
    Frame frame(kColour24, 40, 30);
    fillRandom(frame.raw, 78);
    PipelineSettings settings;
    settings.colourMode = kColour24;
    settings.window = CaptureWindow{20, 10, 0, 0, 0};
    std::vector<uint8_t> delivered(frame.output.sizeBytes(), 0xA5);
    FrameBuffers buffers = frame.buffers();
    ImageBuffer smallRaw;
    ASSERT_TRUE(smallRaw.create(20, 10, 8));
    buffers.raw = &smallRaw;
    buffers.delivery = RowDelivery{delivered.data(), false};
    FramePipeline pipeline(PipelineOptions{2, KernelPath::Optimised});
    EXPECT_FALSE(pipeline.process(buffers, settings, nullptr).delivered);
    EXPECT_TRUE(std::all_of(delivered.begin(), delivered.end(), [](uint8_t v) { return v == 0xA5; }));
}

TEST(PathsAgree, BandsOfSeveralPiecesOnTwoAndThreeThreads) {
    // Frames wide enough for a band to be walked in several pieces, and a
    // third thread for a band with neighbours on both sides.
    DefectPlanes planes;
    ASSERT_TRUE(planes.create(64, 64));
    uint32_t seed = 500;
    for (int threads : {2, 3}) {
        for (int mode : {kColour24, kColour32, kColour48, kColour64}) {
            for (auto [w, h] : {std::pair{2336, 97}, std::pair{1999, 64}}) {
                for (const Extremes* e : {&kExtremes[1], &kExtremes[3], &kExtremes[4]}) {
                    Frame a(mode, w, h);
                    fillRandom(a.raw, ++seed);
                    Frame b(mode, w, h);
                    std::memcpy(b.raw.pixels(), a.raw.pixels(), a.raw.sizeBytes());
                    PipelineSettings sa;
                    sa.colourMode = mode;
                    sa.window = CaptureWindow{w, h, 1, 2, 0};
                    e->apply(sa);
                    PipelineSettings sb = sa;
                    auto reference = referencePipeline();
                    FramePipeline optimised(PipelineOptions{threads, KernelPath::Optimised});
                    const RowSource rows(b.raw);  // the spike filter's bands take their rows from it
                    (void)reference.process(a.buffers(), sa, &planes);
                    (void)optimised.process(fromSource(b.buffers(), b.raw, rows), sb, &planes);
                    ASSERT_EQ(a.bytes(a.raw), b.bytes(b.raw))
                        << threads << " threads mode " << mode << " " << w << "x" << h << " " << e->name;
                    ASSERT_EQ(a.bytes(a.output), b.bytes(b.output))
                        << threads << " threads mode " << mode << " " << w << "x" << h << " " << e->name;
                }
            }
        }
    }
}

TEST(PathsAgree, SaturatedFrames) {
    DefectPlanes planes;
    ASSERT_TRUE(planes.create(64, 64));
    for (int mode = 0; mode < 6; ++mode) {
        for (uint8_t fill : {uint8_t{0}, uint8_t{255}}) {
            for (const Extremes& e : kExtremes) {
                Frame a(mode, 23, 13);
                Frame b(mode, 23, 13);
                std::memset(a.raw.pixels(), fill, a.raw.sizeBytes());
                std::memset(b.raw.pixels(), fill, b.raw.sizeBytes());
                PipelineSettings sa;
                sa.colourMode = mode;
                e.apply(sa);
                PipelineSettings sb = sa;
                auto reference = referencePipeline();
                FramePipeline optimised(PipelineOptions{2, KernelPath::Optimised});
                (void)reference.process(a.buffers(), sa, &planes);
                (void)optimised.process(b.buffers(), sb, &planes);
                ASSERT_EQ(a.bytes(a.raw), b.bytes(b.raw)) << mode << " " << e.name;
                if (!a.output.empty()) {
                    ASSERT_EQ(a.bytes(a.output), b.bytes(b.output)) << mode << " " << e.name;
                }
            }
        }
    }
}

// Every row once, whether the workers sleep between jobs or watch for the
// next one inside a burst, and a job's writes are seen by the next job (a
// frame's steps read what the one before wrote, across band edges).
TEST(RowBands, EveryRowOnceAndNoneTwiceInAndOutOfBursts) {
    RowBands bands(3);
    auto coverOnce = [&](int rows) {
        std::vector<int> seen(static_cast<size_t>(rows), 0);
        bands.run(0, rows, [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                ++seen[static_cast<size_t>(y)];
            }
        }, 1);
        for (int v : seen) {
            ASSERT_EQ(v, 1);
        }
    };
    for (int rows : {0, 1, 15, 16, 33, 1000}) {
        coverOnce(rows);
    }
    {
        const RowBands::Burst burst(bands);
        std::vector<int> values(999, 1);
        for (int pass = 0; pass < 200; ++pass) {
            // Each row becomes its mirror row's value plus one: rows of other bands.
            std::vector<int> next(values.size());
            bands.run(0, static_cast<int>(values.size()), [&](int y0, int y1) {
                for (int y = y0; y < y1; ++y) {
                    next[static_cast<size_t>(y)] = values[values.size() - 1 - static_cast<size_t>(y)] + 1;
                }
            }, 1);
            values.swap(next);
        }
        for (int v : values) {
            ASSERT_EQ(v, 201);
        }
        coverOnce(1000);
    }
    coverOnce(1000);  // workers asleep again still take their bands
    // Workers still watching when their bands go: the destructor ends them.
    auto shortLived = std::make_unique<RowBands>(2);
    {
        const RowBands::Burst burst(*shortLived);
        shortLived->run(0, 64, [](int, int) {}, 1);
    }
    shortLived.reset();
}

// A band that runs slow does not keep the others waiting for it: the free
// thread takes every other band meanwhile (one band per thread would leave
// half the rows behind the slow one).
TEST(RowBands, AFreeThreadTakesTheBandsASlowOneHasNotReached) {
    RowBands bands(2);
    const int count = bands.bandsFor(1000, 16);
    ASSERT_GT(count, 2);
    EXPECT_EQ(RowBands(1).bandsFor(1000, 16), 1);
    EXPECT_EQ(bands.bandsFor(40, 16), 2) << "no band below the smallest size";
    std::atomic<int> done{0};
    std::atomic<bool> othersFinishedFirst{false};
    std::atomic<int> slowBands{0};
    bands.run(0, 1000, [&](int y0, int) {
        if (y0 == 0) {
            ++slowBands;
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (done.load() < count - 1 && std::chrono::steady_clock::now() < until) {
                std::this_thread::yield();
            }
            othersFinishedFirst = done.load() == count - 1;
        }
        ++done;
    });
    EXPECT_EQ(slowBands.load(), 1);
    EXPECT_EQ(done.load(), count);
    EXPECT_TRUE(othersFinishedFirst.load());
}

} // namespace
} // namespace lumvek
