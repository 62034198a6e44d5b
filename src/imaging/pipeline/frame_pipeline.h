#pragma once
// The per-frame chain, in its fixed order, on an instance's image buffers:
//  (exposure automation: run by the capture engine before process())
//  1. under the mask lock: mask filter, then dot filter, when enabled;
//  2. spike filter, unless the sub-sample mode bins;
//  3. monochrome modes: the gray mode;
//  4. software mirror of the raw frame for flags the device does not apply;
//  5. colour modes: white balance (when automatic) and interpolation;
//  6. hue/saturation (colour modes), gamma, contrast, sharpness, brightness,
//     each when not at its neutral value, in place on the output.
// One FramePipeline per SDK instance: it holds the kernels chosen for this
// machine, the tables of the current parameters (rebuilt only when a
// parameter changes), scratch buffers and the worker threads. Called with
// the instance's frame lock held, from one thread at a time.
#include <memory>
#include <optional>
#include <vector>

#include "imaging/pipeline/kernel_path.h"
#include "imaging/pipeline/pipeline_settings.h"
#include "imaging/pipeline/plane_view.h"

namespace lumvek {

class DefectPlanes;
class RowBands;
class HueSaturationTables;
class SharpnessTable;
struct SpikeFilterScratch;

struct PipelineOptions {
    int threads = 2;                      // 1: everything on the calling thread
    std::optional<KernelPath> path;       // default: kernelPathFromEnvironment()
};

struct InterpolationParams;
// The interpolation parameters of the settings (mirrors folded into the mode).
[[nodiscard]] InterpolationParams interpolationParamsOf(const PipelineSettings& settings);

class FramePipeline {
public:
    explicit FramePipeline(const PipelineOptions& options = {});
    ~FramePipeline();
    FramePipeline(const FramePipeline&) = delete;
    FramePipeline& operator=(const FramePipeline&) = delete;

    // Runs the chain on one frame. planes (may be null: no mask or dot
    // filter) is locked for the defect corrections only. Writes back the
    // settings a measurement changes (see FrameOutcome).
    FrameOutcome process(const FrameBuffers& buffers, PipelineSettings& settings, DefectPlanes* planes);

    [[nodiscard]] KernelPath path() const { return path_; }
    [[nodiscard]] int threads() const;

    // Single steps, for the chain and for measuring them one by one.
    void correctDefects(const PlaneView& raw, const PipelineSettings& settings, DefectPlanes& planes);
    // With a source, the rows come from it as the filter reaches them.
    void spikeFilter(const PlaneView& raw, const PipelineSettings& settings, const RawRowSource* source = nullptr);
    bool grayMode(const PlaneView& raw, PipelineSettings& settings, ImageBuffer* colour24, FrameOutcome& outcome);
    void mirror(const PlaneView& raw, const PipelineSettings& settings);
    void whiteBalance(const PlaneView& raw, PipelineSettings& settings, FrameOutcome& outcome);
    void interpolate(const PlaneView& raw, const PlaneView& output, const PipelineSettings& settings);
    void toneControls(const PlaneView& output, const PipelineSettings& settings);

private:
    struct ToneKey {
        bool wide = false;
        int gamma = 100;
        int contrast = 0;
        int brightness = 0;
        bool operator==(const ToneKey&) const = default;
    };
    const std::vector<uint16_t>& toneTable(const ToneKey& key);
    // raw, when given, is interpolated into output first. True when the
    // finished rows were also copied to `delivery` (given only when output is
    // the whole picture).
    bool toneControlsFrom(const PlaneView& output, const PipelineSettings& settings, const PlaneView* raw,
                          const RowDelivery* delivery = nullptr);
    void toneReference(const PlaneView& output, const PipelineSettings& settings);
    // The optimised chain (band_chain.cpp): interpolation when raw is given,
    // hue/saturation, the tone tables, sharpness and brightness.
    bool bandChain(const PlaneView* raw, const PlaneView& output, const PipelineSettings& settings,
                   const HueSaturationTables* hue, int hueOffset, const RowDelivery* delivery);
    [[nodiscard]] PlaneView sharpnessScratchLike(const PlaneView& output);

    KernelPath path_;
    std::unique_ptr<RowBands> bands_;
    std::unique_ptr<HueSaturationTables> hueTables_;  // this instance's, for one saturation value
    std::unique_ptr<SharpnessTable> sharpnessTable_;
    std::optional<ToneKey> toneKey_;
    std::vector<uint16_t> toneTable_;
    std::optional<ToneKey> brightnessKey_;
    std::vector<uint16_t> brightnessTable_;
    ImageBuffer sharpnessScratch_;
    std::vector<uint8_t> rowsSharpened_;  // the band chain's marks, one per output row
    ImageBuffer grayColour_;
    std::vector<uint8_t> dotFlags_;
    std::unique_ptr<SpikeFilterScratch> spikeScratch_;
};

} // namespace lumvek
