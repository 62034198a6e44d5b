#include "imaging/pipeline/frame_pipeline.h"

#include <algorithm>
#include <thread>

#include "imaging/colour/bayer_pattern.h"
#include "imaging/colour/hue_saturation.h"
#include "imaging/colour/interpolation.h"
#include "imaging/colour/white_balance.h"
#include "imaging/correction/defect_planes.h"
#include "imaging/correction/dot_filter.h"
#include "imaging/correction/gray_mode.h"
#include "imaging/correction/mask_filter.h"
#include "imaging/correction/software_mirror.h"
#include "imaging/correction/spike_filter.h"
#include "imaging/pipeline/row_bands.h"
#include "imaging/tone/sharpness.h"
#include "imaging/tone/tone_tables.h"

namespace lumvek {

namespace {

constexpr int kNeutralGamma = 100;

} // namespace

InterpolationParams interpolationParamsOf(const PipelineSettings& s) {
    InterpolationParams p;
    p.bayerMode = effectiveBayerMode(s.bayerMode, s.mirrorV, s.mirrorH);
    p.redMultiplier = bayerGainMultiplier(s.bayerGainRed);
    p.blueMultiplier = bayerGainMultiplier(s.bayerGainBlue);
    return p;
}

namespace {

bool isMonochrome(int colourMode) { return colourMode == kMono8 || colourMode == kMono16; }

// Bytes per pixel of the raw and output buffers of a colour mode.
bool buffersSuit(const FrameBuffers& b, int colourMode) {
    static constexpr int kRawBytes[6] = {1, 2, 1, 1, 2, 2};
    static constexpr int kOutputBytes[6] = {0, 0, 3, 4, 6, 8};
    if (colourMode < 0 || colourMode > 5 || b.raw == nullptr || b.raw->empty() ||
        b.raw->bytesPerPixel() != kRawBytes[colourMode]) {
        return false;
    }
    if (isMonochrome(colourMode)) {
        return true;
    }
    return b.output != nullptr && !b.output->empty() && b.output->bytesPerPixel() == kOutputBytes[colourMode];
}

// The top-left part two views have in common.
PlaneView clippedTo(PlaneView v, const PlaneView& other) {
    v.width = std::min(v.width, other.width);
    v.height = std::min(v.height, other.height);
    return v;
}

int defaultThreads(int wanted) {
    const int available = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return std::clamp(wanted, 1, std::max(available, 1));
}

} // namespace

FramePipeline::FramePipeline(const PipelineOptions& options)
    : path_(options.path.value_or(kernelPathFromEnvironment())),
      bands_(std::make_unique<RowBands>(path_ == KernelPath::Reference ? 1 : defaultThreads(options.threads))),
      spikeScratch_(std::make_unique<SpikeFilterScratch>()) {}

FramePipeline::~FramePipeline() = default;

int FramePipeline::threads() const { return bands_->threads(); }

FrameOutcome FramePipeline::process(const FrameBuffers& buffers, PipelineSettings& settings, DefectPlanes* planes) {
    FrameOutcome outcome;
    // The raw frame's rows come in with the spike filter's scan when it is
    // the first step; otherwise, and whatever happens, all of them at once.
    const RawRowSource* source = buffers.rawSource.given() ? &buffers.rawSource : nullptr;
    auto fillRaw = [&] {
        if (source != nullptr && buffers.raw != nullptr && !buffers.raw->empty()) {
            source->copy(buffers.raw->pixels(), static_cast<size_t>(buffers.raw->stride()), 0, buffers.raw->height());
        }
        source = nullptr;
    };
    if (!buffersSuit(buffers, settings.colourMode)) {
        fillRaw();
        return outcome;
    }
    outcome.processed = true;
    const PlaneView raw = viewOf(*buffers.raw);
    const RowBands::Burst burst(*bands_);

    if (planes != nullptr && (settings.maskFilter || settings.dotFilter)) {
        fillRaw();
        correctDefects(raw, settings, *planes);
    }
    if (!isBinningMode(settings.window.subSampleMode)) {
        spikeFilter(raw, settings, source);
        source = nullptr;
    }
    fillRaw();
    if (isMonochrome(settings.colourMode)) {
        grayMode(raw, settings, buffers.colour24, outcome);
    }
    mirror(raw, settings);

    PlaneView output = raw;
    if (!isMonochrome(settings.colourMode)) {
        output = clippedTo(viewOf(*buffers.output), raw);
        if (settings.whiteBalanceAuto) {
            whiteBalance(raw, settings, outcome);
        }
        const PlaneView rawPart = clippedTo(raw, output);
        if (path_ == KernelPath::Optimised) {
            // Interpolation runs band by band with the tone controls; the
            // rows go on to the delivery only when they are the whole picture.
            const bool whole = output.width == buffers.output->width() && output.height == buffers.output->height();
            const RowDelivery* delivery =
                whole && buffers.delivery.rows != nullptr ? &buffers.delivery : nullptr;
            outcome.delivered = toneControlsFrom(output, settings, &rawPart, delivery);
            return outcome;
        }
        interpolate(rawPart, output, settings);
    }
    toneControls(output, settings);
    return outcome;
}

void FramePipeline::correctDefects(const PlaneView& raw, const PipelineSettings& settings, DefectPlanes& planes) {
    const PlaneDepth depth = raw.bytesPerPixel == 1 ? PlaneDepth::Bits8 : PlaneDepth::Bits16;
    auto access = planes.access();  // the mask lock, inside the caller's frame lock
    if (settings.maskFilter) {
        const PlaneView dark = viewOf(access.reference(depth, ReferenceKind::Dark));
        const PlaneView white = viewOf(access.reference(depth, ReferenceKind::White));
        if (path_ == KernelPath::Reference) {
            (void)maskFilterReference(raw, dark, white, settings.window);
        } else {
            (void)maskFilterOptimised(raw, dark, white, settings.window, *bands_);
        }
    }
    if (settings.dotFilter) {
        const DotFilterPlanes masks{viewOf(access.mask(depth, ReferenceKind::Dark)),
                                    viewOf(access.mask(depth, ReferenceKind::White))};
        if (path_ == KernelPath::Reference) {
            (void)dotFilterReference(raw, masks, settings.window, dotFlags_);
        } else {
            (void)dotFilterOptimised(raw, masks, settings.window, dotFlags_, *bands_);
        }
    }
}

void FramePipeline::spikeFilter(const PlaneView& raw, const PipelineSettings& settings, const RawRowSource* source) {
    SpikeFilterParams p;
    p.bayerMode = settings.bayerMode & 3;
    p.redMultiplier = bayerGainMultiplier(settings.bayerGainRed);
    p.blueMultiplier = bayerGainMultiplier(settings.bayerGainBlue);
    if (path_ == KernelPath::Reference) {
        if (source != nullptr) {
            source->copy(raw.data, static_cast<size_t>(raw.stride), 0, raw.height);
        }
        (void)spikeFilterReference(raw, p);
    } else {
        (void)spikeFilterOptimised(raw, p, *bands_, *spikeScratch_, source);
    }
}

bool FramePipeline::grayMode(const PlaneView& raw, PipelineSettings& settings, ImageBuffer* colour24,
                             FrameOutcome& outcome) {
    const int mode = settings.bayerMode & 3;
    if (settings.grayMode == 1) {
        if (settings.grayMeasureRequest) {
            measureGrayGains(raw, mode, settings.grayLevels.gain);
            settings.grayMeasureRequest = false;
            outcome.grayGainsChanged = true;
        }
        if (settings.grayLevels.allUnity()) {
            return true;
        }
        return path_ == KernelPath::Reference ? grayGainOffsetReference(raw, mode, settings.grayLevels)
                                              : grayGainOffsetOptimised(raw, mode, settings.grayLevels, *bands_);
    }
    if (settings.grayMode != 2 || raw.bytesPerPixel != 1) {
        // Gray mode 2 reads and writes the 8-bit buffers only: on a 16-bit
        // frame it could not change the output, so it is not run there.
        return true;
    }
    ImageBuffer* colour = colour24;
    if (colour == nullptr || colour->width() != raw.width || colour->height() != raw.height ||
        colour->bytesPerPixel() != 3) {
        if (grayColour_.width() != raw.width || grayColour_.height() != raw.height) {
            if (!grayColour_.create(raw.width, raw.height, 24)) {
                return false;
            }
        }
        colour = &grayColour_;
    }
    if (settings.whiteBalanceAuto) {
        whiteBalance(raw, settings, outcome);
    }
    const PlaneView colourView = viewOf(*colour);
    interpolate(raw, colourView, settings);
    return path_ == KernelPath::Reference ? grayLuminanceReference(raw, colourView)
                                          : grayLuminanceOptimised(raw, colourView, *bands_);
}

void FramePipeline::mirror(const PlaneView& raw, const PipelineSettings& settings) {
    const bool horizontal = settings.mirrorH && !settings.deviceMirrorsH;
    const bool vertical = settings.mirrorV && !settings.deviceMirrorsV;
    if (!horizontal && !vertical) {
        return;
    }
    if (path_ == KernelPath::Reference) {
        (void)mirrorReference(raw, horizontal, vertical);
    } else {
        (void)mirrorOptimised(raw, horizontal, vertical, *bands_);
    }
}

void FramePipeline::whiteBalance(const PlaneView& raw, PipelineSettings& settings, FrameOutcome& outcome) {
    const int mode = effectiveBayerMode(settings.bayerMode, settings.mirrorV, settings.mirrorH);
    const ColourSums sums =
        path_ == KernelPath::Reference ? sumColoursReference(raw, mode) : sumColoursOptimised(raw, mode, *bands_);
    WhiteBalanceGains gains;
    // A channel with a zero mean keeps the previous gains for this frame.
    if (whiteBalanceGainsFrom(sums, gains)) {
        settings.bayerGainRed = gains.red;
        settings.bayerGainGreen = gains.green;
        settings.bayerGainBlue = gains.blue;
        outcome.bayerGainsChanged = true;
    }
    if (settings.whiteBalanceOneShot1 && settings.whiteBalanceOneShot2) {
        settings.whiteBalanceAuto = false;
        settings.whiteBalanceOneShot1 = false;
        settings.whiteBalanceOneShot2 = false;
    }
}

void FramePipeline::interpolate(const PlaneView& raw, const PlaneView& output, const PipelineSettings& settings) {
    const InterpolationParams params = interpolationParamsOf(settings);
    if (path_ == KernelPath::Reference) {
        (void)interpolateReference(raw, output, params);
    } else {
        (void)interpolateOptimised(raw, output, params, *bands_);
    }
}

void FramePipeline::toneControls(const PlaneView& output, const PipelineSettings& settings) {
    (void)toneControlsFrom(output, settings, nullptr);
}

bool FramePipeline::toneControlsFrom(const PlaneView& output, const PipelineSettings& settings, const PlaneView* raw,
                                     const RowDelivery* delivery) {
    SampleLayout layout = SampleLayout::Mono8;
    if (output.empty() || !layoutFor(output.bytesPerPixel, layout)) {
        if (raw != nullptr) {
            interpolate(*raw, output, settings);
        }
        return false;
    }
    const bool colour = layout == SampleLayout::Colour8 || layout == SampleLayout::Colour16;
    const HueSaturationTables* hue = nullptr;
    if (colour && (settings.hue != 0 || settings.saturation != 0)) {
        const int saturation = std::clamp(settings.saturation, -255, 255);
        if (!hueTables_ || hueTables_->saturation() != saturation) {
            hueTables_ = std::make_unique<HueSaturationTables>(saturation);
        }
        hue = hueTables_.get();
    }
    const int hueOffset = hueOffsetFor(std::clamp(settings.hue, -360, 360));
    if (path_ == KernelPath::Reference) {
        if (raw != nullptr) {
            interpolate(*raw, output, settings);
        }
        if (hue != nullptr) {
            (void)hueSaturationReference(output, hueOffset, *hue);
        }
        toneReference(output, settings);
        return false;
    }
    return bandChain(raw, output, settings, hue, hueOffset, delivery);
}

void FramePipeline::toneReference(const PlaneView& output, const PipelineSettings& settings) {
    if (settings.gamma != kNeutralGamma) {
        (void)gammaReference(output, settings.gamma);
    }
    if (settings.contrast != 0) {
        (void)contrastReference(output, settings.contrast);
    }
    if (settings.sharpness != 0) {
        (void)sharpnessReference(output, sharpnessScratchLike(output), settings.sharpness);
    }
    if (settings.brightness != 0) {
        (void)brightnessReference(output, settings.brightness);
    }
}

const std::vector<uint16_t>& FramePipeline::toneTable(const ToneKey& key) {
    if (toneKey_ == key) {
        return toneTable_;
    }
    std::vector<uint16_t> table;
    auto then = [&table](std::vector<uint16_t> next) {
        table = table.empty() ? std::move(next) : composeTables(table, next);
    };
    if (key.gamma != kNeutralGamma) {
        then(gammaTable(key.gamma, key.wide));
    }
    if (key.contrast != 0) {
        then(contrastTable(key.contrast, key.wide));
    }
    if (key.brightness != 0) {
        then(brightnessTable(key.brightness, key.wide));
    }
    toneTable_ = std::move(table);
    toneKey_ = key;
    return toneTable_;
}

PlaneView FramePipeline::sharpnessScratchLike(const PlaneView& output) {
    if (sharpnessScratch_.width() != output.width || sharpnessScratch_.height() != output.height ||
        sharpnessScratch_.bytesPerPixel() != output.bytesPerPixel) {
        if (!sharpnessScratch_.create(output.width, output.height, output.bytesPerPixel * 8)) {
            return {};
        }
    }
    return viewOf(sharpnessScratch_);
}

} // namespace lumvek
