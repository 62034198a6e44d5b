#pragma once
// The frame loop's cost per delivered frame: an in-process simulated R13
// streams full frames as fast as an SDK instance takes them into a callback
// preview buffer. The simulator's own work (rendering and copying frames,
// which a real camera and the USB controller do) runs on the SDK's threads
// and is counted apart, so `sdkCpuMs` is the SDK's own processor time.
#include <string>

namespace lumvek::bench {

inline constexpr int kSaturatingFps = 200;

struct FrameLoopCost {
    double processCpuMs = 0.0;    // per frame, the whole process
    double simulatorCpuMs = 0.0;  // per frame, the simulator's share of it
    double sdkCpuMs = 0.0;        // per frame, processCpuMs - simulatorCpuMs
    double wallMs = 0.0;          // per frame
    double minorFaults = 0.0;     // per frame: pages the process touched for the first time
    // From the frame's completion in the transfer thread to its message
    // going out, over the measured frames (the instance's own histogram).
    double latencyMedianMs = 0.0;
    double latencyP99Ms = 0.0;
    int frames = 0;
    std::string error;            // empty when measured
};

// bits: the colour mode (8, 16, 24, 32, 48, 64); toneControls: brightness,
// contrast, hue, saturation, sharpness and gamma on; fps: the simulated
// camera's rate (the default is faster than the loop, so that it never
// waits; a camera's own rate gives the latency an application meets). Uses
// its own settings store and device table under the temporary directory.
[[nodiscard]] FrameLoopCost measureFrameLoop(int bits, bool toneControls, int frames, int fps = kSaturatingFps);

} // namespace lumvek::bench
