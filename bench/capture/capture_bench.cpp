// The frame loop's cost per frame: a simulated R13 streams full frames as
// fast as the loop takes them; the benchmark reports the process's CPU time,
// the simulator's share of it and the SDK's own, and the wall time per
// delivered frame, for each colour mode, with the default chain and with
// every tone control on; and the delivery latency at a camera's own rate.
#include <benchmark/benchmark.h>

#include "frame_loop_cost.h"

namespace {

constexpr int kFrames = 20;
constexpr int kLatencyFrames = 60;
constexpr int kCameraFps = 20;

void FrameLoop(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    const bool toneControls = state.range(1) != 0;
    lumvek::bench::FrameLoopCost cost;
    for (auto _ : state) {
        cost = lumvek::bench::measureFrameLoop(bits, toneControls, kFrames);
        if (!cost.error.empty()) {
            state.SkipWithError(cost.error.c_str());
            return;
        }
        state.SetIterationTime(cost.wallMs * 1e-3);
    }
    state.counters["cpu_ms_per_frame"] = cost.processCpuMs;
    state.counters["sim_cpu_ms_per_frame"] = cost.simulatorCpuMs;
    state.counters["sdk_cpu_ms_per_frame"] = cost.sdkCpuMs;
    state.counters["minor_faults_per_frame"] = cost.minorFaults;
    state.counters["frames"] = cost.frames;
}

// The delivery latency at a camera's own rate (20 frames/s, the loop
// waits for each frame), from the frame's completion in the transfer thread
// to its message going out.
void DeliveryLatency(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    const bool toneControls = state.range(1) != 0;
    lumvek::bench::FrameLoopCost cost;
    for (auto _ : state) {
        cost = lumvek::bench::measureFrameLoop(bits, toneControls, kLatencyFrames, kCameraFps);
        if (!cost.error.empty()) {
            state.SkipWithError(cost.error.c_str());
            return;
        }
        state.SetIterationTime(cost.latencyMedianMs * 1e-3);
    }
    state.counters["latency_median_ms"] = cost.latencyMedianMs;
    state.counters["latency_p99_ms"] = cost.latencyP99Ms;
    state.counters["sdk_cpu_ms_per_frame"] = cost.sdkCpuMs;
    state.counters["frames"] = cost.frames;
}

} // namespace

BENCHMARK(DeliveryLatency)
    ->ArgsProduct({{8, 16, 24, 32, 48, 64}, {0, 1}})
    ->ArgNames({"bits", "tone"})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

BENCHMARK(FrameLoop)
    ->ArgsProduct({{8, 16, 24, 32, 48, 64}, {0, 1}})
    ->ArgNames({"bits", "tone"})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

BENCHMARK_MAIN();
