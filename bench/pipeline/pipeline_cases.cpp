#include <cstring>
#include <memory>
#include <random>

#include "bench_cases.h"
#include "imaging/colour/hue_saturation.h"
#include "imaging/colour/interpolation.h"
#include "imaging/colour/white_balance.h"
#include "imaging/convert/row_reverse.h"
#include "imaging/correction/defect_planes.h"
#include "imaging/pipeline/frame_pipeline.h"

namespace lumvek::bench {

namespace {

// A smooth scene with mild noise, as a lit sensor gives: most pixels pass
// the filters untouched, as in real frames.
void fillScene(ImageBuffer& b) {
    std::mt19937 rng(42);
    const bool wide = b.bytesPerPixel() % 2 == 0;
    const int samples = b.width() * b.bytesPerPixel() / (wide ? 2 : 1);
    for (int y = 0; y < b.height(); ++y) {
        for (int i = 0; i < samples; ++i) {
            const int base = (i * 180 / samples + y * 60 / b.height()) + static_cast<int>(rng() % 9);
            if (wide) {
                reinterpret_cast<uint16_t*>(b.row(y))[i] = static_cast<uint16_t>(base * 256 + (rng() & 0xFF));
            } else {
                b.row(y)[i] = static_cast<uint8_t>(base);
            }
        }
    }
}

struct Frames {
    ImageBuffer raw8, raw16, out24, out32, out48, out64;
    DefectPlanes planes;
    Frames() {
        bool ok = raw8.create(kWidth, kHeight, 8) && raw16.create(kWidth, kHeight, 16) &&
                  out24.create(kWidth, kHeight, 24) && out32.create(kWidth, kHeight, 32) &&
                  out48.create(kWidth, kHeight, 48) && out64.create(kWidth, kHeight, 64) && planes.create();
        (void)ok;
        fillScene(raw8);
        fillScene(raw16);
        fillScene(out24);
        fillScene(out48);
    }
};

Frames& frames() {
    static Frames f;
    return f;
}

PipelineSettings everyToneControl(int colourMode) {
    PipelineSettings s;
    s.colourMode = colourMode;
    s.hue = 30;
    s.saturation = 40;
    s.gamma = 120;
    s.contrast = 20;
    s.sharpness = 10;
    s.brightness = 15;
    return s;
}

std::shared_ptr<FramePipeline> pipelineFor(KernelPath path, int threads) {
    return std::make_shared<FramePipeline>(PipelineOptions{threads, path});
}

} // namespace

Case interpolationCase(int rawBits, int outputBits, KernelPath path, int threads) {
    auto p = pipelineFor(path, threads);
    Frames& f = frames();
    ImageBuffer& raw = rawBits == 8 ? f.raw8 : f.raw16;
    ImageBuffer& out = outputBits == 24 ? f.out24 : outputBits == 32 ? f.out32 : outputBits == 48 ? f.out48 : f.out64;
    return {"interp" + std::to_string(rawBits) + "to" + std::to_string(outputBits),
            [p, &raw, &out] { p->interpolate(viewOf(raw), viewOf(out), PipelineSettings{}); }};
}

Case chainCase(int colourMode, KernelPath path, int threads) {
    auto p = pipelineFor(path, threads);
    Frames& f = frames();
    const bool wide = colourMode == kColour48;
    FrameBuffers buffers{wide ? &f.raw16 : &f.raw8, wide ? &f.out48 : &f.out24, nullptr, {}, {}};
    return {std::string("chain") + (wide ? "48" : "24"), [p, buffers, colourMode] {
                PipelineSettings s = everyToneControl(colourMode);
                (void)p->process(buffers, s, nullptr);
            }};
}

Case defaultChainCase(KernelPath path, int threads) {
    auto p = pipelineFor(path, threads);
    Frames& f = frames();
    return {"chain24_default", [p, &f] {
                PipelineSettings plain;
                (void)p->process(FrameBuffers{&f.raw8, &f.out24, nullptr, {}, {}}, plain, nullptr);
            }};
}

std::vector<Case> pipelineCases(KernelPath path, int threads) {
    Frames& f = frames();
    std::vector<Case> cases;
    for (auto [r, o] : {std::pair{8, 24}, {8, 32}, {16, 48}, {16, 64}}) {
        cases.push_back(interpolationCase(r, o, path, threads));
    }
    auto p = pipelineFor(path, threads);
    auto tone = [&](const char* name, ImageBuffer& b, PipelineSettings s) {
        cases.push_back({name, [p, &b, s] { p->toneControls(viewOf(b), s); }});
    };
    for (bool wide : {false, true}) {
        ImageBuffer& out = wide ? f.out48 : f.out24;
        const std::string suffix = wide ? "48" : "24";
        PipelineSettings s;
        s.gamma = 120;
        tone(("gamma" + suffix).c_str(), out, s);
        s = {};
        s.contrast = 20;
        tone(("contrast" + suffix).c_str(), out, s);
        s = {};
        s.brightness = 15;
        tone(("brightness" + suffix).c_str(), out, s);
        s = {};
        s.sharpness = 10;
        tone(("sharpness" + suffix).c_str(), out, s);
        s = {};
        s.hue = 30;
        s.saturation = 40;
        tone(("hue_saturation" + suffix).c_str(), out, s);
    }
    for (bool wide : {false, true}) {
        ImageBuffer& raw = wide ? f.raw16 : f.raw8;
        const std::string suffix = wide ? "16" : "8";
        cases.push_back({"white_balance" + suffix, [p, &raw] {
                             PipelineSettings s;
                             FrameOutcome o;
                             p->whiteBalance(viewOf(raw), s, o);
                         }});
        cases.push_back({"spike_filter" + suffix, [p, &raw] { p->spikeFilter(viewOf(raw), PipelineSettings{}); }});
        cases.push_back({"mask_filter" + suffix, [p, &raw, &f] {
                             PipelineSettings s;
                             s.maskFilter = true;
                             p->correctDefects(viewOf(raw), s, f.planes);
                         }});
        cases.push_back({"dot_filter" + suffix, [p, &raw, &f] {
                             PipelineSettings s;
                             s.dotFilter = true;
                             p->correctDefects(viewOf(raw), s, f.planes);
                         }});
        cases.push_back({"gray_mode1_" + suffix, [p, &raw] {
                             PipelineSettings s;
                             s.grayMode = 1;
                             s.grayLevels.gain = {140, 128, 120, 130};
                             s.grayLevels.offset = {0, 0, 0, 0};
                             FrameOutcome o;
                             (void)p->grayMode(viewOf(raw), s, nullptr, o);
                         }});
    }
    cases.push_back({"gray_mode2_8", [p, &f] {
                         PipelineSettings s;
                         s.grayMode = 2;
                         FrameOutcome o;
                         (void)p->grayMode(viewOf(f.raw8), s, &f.out24, o);
                     }});
    cases.push_back(chainCase(kColour24, path, threads));
    cases.push_back(chainCase(kColour48, path, threads));
    // A frame sent right to left, turned back row by row as it leaves the
    // camera's frame ring (8- and 16-bit samples).
    for (bool wide : {false, true}) {
        ImageBuffer& from = wide ? f.raw16 : f.raw8;
        ImageBuffer& to = wide ? f.out48 : f.out24;
        cases.push_back({wide ? "reverse_rows16" : "reverse_rows8", [path, &from, &to] {
                             const size_t width = static_cast<size_t>(from.width());
                             const size_t bytes = static_cast<size_t>(from.bytesPerPixel());
                             for (int y = 0; y < from.height(); ++y) {
                                 if (path == KernelPath::Reference) {
                                     reverseRowReference(to.row(y), from.row(y), width, bytes);
                                 } else {
                                     reverseRow(to.row(y), from.row(y), width, bytes);
                                 }
                             }
                         }});
    }
    cases.push_back(defaultChainCase(path, threads));
    return cases;
}

} // namespace lumvek::bench
